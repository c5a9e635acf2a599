#include "LineList.h"

#include "Ansi.h"
#include "AppError.h"
#include "DurableFile.h"

#include <QFile>
#include <QStringDecoder>

#include <cstring>

namespace {

QString decodeUtf16(QByteArrayView bytes, bool littleEndian)
{
    // An odd byte at the end is half a code unit: it is dropped.
    const qsizetype units = bytes.size() / 2;
    QString out(units, Qt::Uninitialized);
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    auto *dst = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < units; ++i) {
        const unsigned b0 = src[2 * i];
        const unsigned b1 = src[2 * i + 1];
        dst[i] = littleEndian ? char16_t(b0 | (b1 << 8)) : char16_t((b0 << 8) | b1);
    }
    return out;
}

char *encodeUtf16Into(QStringView text, bool littleEndian, char *out)
{
    const char16_t *src = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char lo = char(src[i] & 0xFF);
        const char hi = char(src[i] >> 8);
        *out++ = littleEndian ? lo : hi;
        *out++ = littleEndian ? hi : lo;
    }
    return out;
}

template <typename Ch>
inline bool isBreak(Ch c)
{
    return c == Ch('\r') || c == Ch('\n');
}

// Cuts `n` characters at `text` into entries: an entry runs to the next CR or LF, then
// one CR and one LF are skipped if present. `make(position, length)` builds an entry.
template <typename Ch, typename Make>
void splitEntries(const Ch *text, qsizetype n, QStringList &entries, Make make)
{
    // One quick pass for the number of entries, so the list is allocated once.
    qsizetype count = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == Ch('\n') || (text[i] == Ch('\r') && (i + 1 == n || text[i + 1] != Ch('\n'))))
            ++count;
    }
    if (n > 0 && !isBreak(text[n - 1]))
        ++count;
    entries.clear();
    entries.reserve(count);

    qsizetype pos = 0;
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && !isBreak(text[end]))
            ++end;
        entries.append(make(pos, end - pos));
        pos = end;
        if (pos < n && text[pos] == Ch('\r'))
            ++pos;
        if (pos < n && text[pos] == Ch('\n'))
            ++pos;
    }
}

// Entries taken from decoded text; the text ends at its first NUL.
void splitText(const QString &text, QStringList &entries)
{
    qsizetype n = text.indexOf(QChar(0));
    if (n < 0)
        n = text.size();
    const QChar *chars = text.constData();
    splitEntries(text.utf16(), n, entries,
                 [chars](qsizetype pos, qsizetype len) { return QString(chars + pos, len); });
}

}

void LineList::loadFromBytes(const QByteArray &bytes)
{
    const QByteArrayView all(bytes);
    if (all.startsWith("\xEF\xBB\xBF")) {
        encoding = TextEncoding::Utf8;
        // A second mark is text: QString::fromUtf8 would drop it, and the next save with it.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        splitText(utf8.decode(all.sliced(3)), entries);
    } else if (all.startsWith("\xFF\xFE")) {
        encoding = TextEncoding::Utf16LE;
        splitText(decodeUtf16(all.sliced(2), true), entries);
    } else if (all.startsWith("\xFE\xFF")) {
        encoding = TextEncoding::Utf16BE;
        splitText(decodeUtf16(all.sliced(2), false), entries);
    } else {
        // Windows-1252 is one byte a character and keeps CR, LF and NUL as they are, so the
        // bytes are cut first and each entry decoded straight from them.
        encoding = TextEncoding::Ansi;
        const char *data = all.data();
        const void *nul = all.isEmpty() ? nullptr : std::memchr(data, 0, size_t(all.size()));
        const qsizetype n = nul ? static_cast<const char *>(nul) - data : all.size();
        splitEntries(data, n, entries, [data](qsizetype pos, qsizetype len) {
            return Ansi::decode(QByteArrayView(data + pos, len));
        });
    }
}

QByteArray LineList::toBytes() const
{
    // Code units of the whole text, line breaks included.
    qsizetype units = 0;
    for (const QString &entry : entries)
        units += entry.size() + 2;

    switch (encoding) {
    case TextEncoding::Utf8: {
        QByteArray out;
        out.reserve(3 + units);
        out.append("\xEF\xBB\xBF", 3);
        // Entry by entry: a line break always ends what an entry left unfinished, so this is
        // the encoding of the whole text (a lone surrogate becomes "?").
        for (const QString &entry : entries) {
            out += entry.toUtf8();
            out.append("\r\n", 2);
        }
        return out;
    }
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool littleEndian = encoding == TextEncoding::Utf16LE;
        QByteArray out(2 + 2 * units, Qt::Uninitialized);
        char *end = out.data();
        *end++ = littleEndian ? '\xFF' : '\xFE';
        *end++ = littleEndian ? '\xFE' : '\xFF';
        for (const QString &entry : entries) {
            end = encodeUtf16Into(entry, littleEndian, end);
            end = encodeUtf16Into(u"\r\n", littleEndian, end);
        }
        return out;
    }
    case TextEncoding::None:
    case TextEncoding::Ansi:
        break;
    }
    QByteArray out(units, Qt::Uninitialized);
    char *end = out.data();
    for (const QString &entry : entries) {
        end = Ansi::encodeInto(entry, end);
        *end++ = '\r';
        *end++ = '\n';
    }
    // A surrogate pair or a letter with its combining marks takes one byte.
    out.truncate(end - out.constData());
    return out;
}

void LineList::loadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                           .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    // A read that fails half-way must not pass for a shorter history: the rewrite that
    // follows would drop the rest of the file.
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                           .arg(path, file.errorString()));
    loadFromBytes(bytes);
}

void LineList::saveToFile(const QString &path, bool atomic) const
{
    const QByteArray bytes = toBytes();
    bool ok = true;
    QString reason;
    if (atomic) {
        reason = DurableFile::write(path, bytes);
        ok = reason.isEmpty();
    } else {
        QFile file(path);
        ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate)
             && file.write(bytes) == bytes.size() && file.flush();
        if (ok) {
            file.close();
            ok = file.error() == QFileDevice::NoError;
        }
        if (!ok)
            reason = file.errorString();
    }
    if (!ok)
        throw AppError(QStringLiteral("Impossible de créer le fichier \"%1\". %2").arg(path, reason));
}
