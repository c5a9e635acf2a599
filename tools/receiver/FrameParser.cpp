#include "FrameParser.h"

#include <cstring>

QString FrameParser::refusalText() const
{
    switch (m_refusal) {
    case Refusal::TooManyLines:
        return QStringLiteral("%1 lignes annoncées, plus que les %2 admises")
            .arg(m_expected)
            .arg(m_limits.maxLines);
    case Refusal::TooLarge:
        return QStringLiteral("trame de plus de %1 octets").arg(m_limits.maxBytes);
    case Refusal::None:
        break;
    }
    return QString();
}

void FrameParser::refuse(Refusal why)
{
    m_state = State::Refused;
    m_refusal = why;
    // Nothing of a refused frame is kept.
    m_done.clear();
    m_done.squeeze();
    m_pending.clear();
    m_pending.squeeze();
}

QByteArray FrameParser::takeBytes()
{
    QByteArray bytes;
    bytes.swap(m_done);
    return bytes;
}

QByteArray FrameParser::takeStreamBytes()
{
    QByteArray bytes = takeBytes();
    if (bytes.isEmpty())
        bytes.swap(m_pending);
    else
        bytes += m_pending;
    m_pending.clear();
    return bytes;
}

QList<QByteArray> FrameParser::takeLines()
{
    return splitLines(takeBytes());
}

QList<QByteArray> FrameParser::splitLines(QByteArrayView bytes)
{
    // A line holds no CR LF, so the first CR LF after the start of a line is its end.
    QList<QByteArray> lines;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf("\r\n", pos);
        if (end < 0)
            end = bytes.size();
        lines.append(bytes.sliced(pos, end - pos).toByteArray());
        pos = end + 2;
    }
    return lines;
}

FrameParser::State FrameParser::feed(QByteArrayView bytes)
{
    m_received += bytes.size();
    if (m_state == State::Complete) {
        m_trailing += bytes.size();
        return m_state;
    }
    if (m_state == State::Refused)
        return m_state;

    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    while (m_state == State::ReadingCount && pos < size) {
        m_expected = (m_expected << 8) | quint8(bytes[pos]);
        ++pos;
        ++m_countBytes;
        ++m_frameBytes;
        if (m_countBytes == 4) {
            if (m_expected > m_limits.maxLines) {
                refuse(Refusal::TooManyLines);
                return m_state;
            }
            m_state = m_expected == 0 ? State::Complete : State::ReadingLines;
        }
    }

    if (m_state == State::ReadingLines && pos < size) {
        // Only the bytes the limit still allows are looked at: a frame that has not ended
        // within them is too large.
        const qint64 allowed = m_limits.maxBytes - m_frameBytes;
        const qsizetype window = pos + qsizetype(qBound<qint64>(0, allowed, size - pos));

        const char *data = bytes.data();
        qsizetype lastEnd = pos; // just past the CR LF of the last line completed in this piece
        qsizetype at = pos;
        while (at < window) {
            const void *hit = std::memchr(data + at, '\n', size_t(window - at));
            if (!hit)
                break;
            const qsizetype lf = static_cast<const char *>(hit) - data;
            // The byte before the LF: in this piece, or the end of the line in progress when
            // the piece starts with the LF (its CR came at the end of the previous piece).
            const bool afterCr = lf > lastEnd ? data[lf - 1] == '\r'
                                              : lf == pos && m_pendingCr;
            at = lf + 1;
            if (afterCr) {
                lastEnd = at;
                if (++m_linesDone == m_expected) {
                    m_state = State::Complete;
                    break;
                }
            }
        }

        const qsizetype used = m_state == State::Complete ? lastEnd : size;
        if (used > window) {
            refuse(Refusal::TooLarge);
            return m_state;
        }
        m_frameBytes += used - pos;
        if (lastEnd > pos) {
            m_done += m_pending;
            m_done.append(data + pos, lastEnd - pos);
            m_pending.clear();
        }
        m_pending.append(data + lastEnd, used - lastEnd);
        if (used > lastEnd)
            m_pendingCr = data[used - 1] == '\r';
        else if (lastEnd > pos)
            m_pendingCr = false;
        pos = used;
    }

    if (m_state == State::Complete)
        m_trailing += size - pos;
    return m_state;
}
