#include "FrameParser.h"

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
    m_lines.clear();
    m_pending.clear();
    m_pending.squeeze();
}

QList<QByteArray> FrameParser::takeLines()
{
    QList<QByteArray> lines;
    lines.swap(m_lines);
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

    qsizetype pos = 0;
    while (m_state == State::ReadingCount && pos < bytes.size()) {
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

    // The CR of a CR LF may have come at the end of the previous piece.
    if (m_state == State::ReadingLines && pos < bytes.size() && bytes[pos] == '\n'
        && m_pending.endsWith('\r')) {
        if (m_frameBytes + 1 > m_limits.maxBytes) {
            refuse(Refusal::TooLarge);
            return m_state;
        }
        ++m_frameBytes;
        ++pos;
        m_pending.chop(1);
        m_lines.append(m_pending);
        m_pending.clear();
        if (++m_linesDone == m_expected)
            m_state = State::Complete;
    }

    while (m_state == State::ReadingLines && pos < bytes.size()) {
        const qsizetype end = bytes.indexOf(QByteArrayView("\r\n", 2), pos);
        const qsizetype taken = end < 0 ? bytes.size() - pos : end + 2 - pos;
        if (m_frameBytes + taken > m_limits.maxBytes) {
            refuse(Refusal::TooLarge);
            return m_state;
        }
        m_frameBytes += taken;
        if (end < 0) {
            m_pending.append(bytes.sliced(pos));
            pos = bytes.size();
            break;
        }
        m_pending.append(bytes.sliced(pos, end - pos));
        m_lines.append(m_pending);
        m_pending.clear();
        pos = end + 2;
        if (++m_linesDone == m_expected)
            m_state = State::Complete;
    }

    if (m_state == State::Complete)
        m_trailing += bytes.size() - pos;
    return m_state;
}
