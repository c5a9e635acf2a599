// The INI reader fed arbitrary files. Whatever the bytes, reading, writing back and reading
// again must give every key the value it had: the settings file is rewritten on every save
// and must not drift. A value written with writeString must read back as written (line
// breaks become spaces) and survive a save too, without touching any other key.
//
// The one exception is a UTF-16 file holding a lone surrogate: that is not text, and its
// UTF-8 rewrite cannot keep it, so such a file is only parsed.
#include "Ansi.h"
#include "IniFile.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using Pair = QPair<QString, QString>; // section, key

// Printable ASCII as it is, everything else as \uXXXX.
QString escaped(const QString &s)
{
    QString out;
    for (const QChar c : s) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out;
}

QString shown(const std::optional<QString> &v)
{
    return v ? QLatin1Char('"') + escaped(*v) + QLatin1Char('"') : QStringLiteral("(none)");
}

[[noreturn]] void fail(const char *what, const Pair &p, const std::optional<QString> &want,
                       const std::optional<QString> &got)
{
    std::fprintf(stderr, "fuzz_ini: %s [%s] %s: %s, then %s\n", what, qUtf8Printable(escaped(p.first)),
                 qUtf8Printable(escaped(p.second)), qUtf8Printable(shown(want)), qUtf8Printable(shown(got)));
    std::abort();
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedBlanks(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return s.sliced(b, e - b).toString();
}

bool hasLoneSurrogate(QStringView s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

bool isUtf16WithLoneSurrogate(QByteArrayView bytes)
{
    const bool le = bytes.startsWith("\xFF\xFE");
    if (!le && !bytes.startsWith("\xFE\xFF"))
        return false;
    QString text;
    for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
        const auto b0 = quint8(bytes[i]), b1 = quint8(bytes[i + 1]);
        text.append(QChar(le ? char16_t(b0 | (b1 << 8)) : char16_t((b0 << 8) | b1)));
    }
    return hasLoneSurrogate(text);
}

// The text of a file as we wrote it: UTF-8 (with or without its mark) or Windows-1252.
QString decodeWritten(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return utf8.decode(bytes.sliced(3));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? Ansi::decode(bytes) : text;
}

// Every section and key name the text shows, in a reading of our own; a name it gets
// wrong only finds nothing in both files, so the comparison stays sound.
QList<Pair> namesIn(const QString &text)
{
    QList<Pair> pairs;
    QString section;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString t = trimmedBlanks(line);
        if (t.isEmpty() || t.front() == u';' || t.front() == u'#')
            continue;
        if (t.front() == u'[') {
            const qsizetype close = t.indexOf(u']');
            section = trimmedBlanks(close < 0 ? QStringView(t).sliced(1)
                                              : QStringView(t).sliced(1, close - 1));
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        pairs.append({section, trimmedBlanks(line.left(eq))});
        if (pairs.size() >= 64)
            break;
    }
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    IniFile first{QString()};
    first.loadFromBytes(input);
    const QByteArray written = first.toBytes();
    IniFile second{QString()};
    second.loadFromBytes(written);

    // Names as the text shows them, and as a reader that drops every leading mark sees them.
    QList<Pair> pairs = namesIn(decodeWritten(written));
    pairs += namesIn(QString::fromUtf8(written.startsWith("\xEF\xBB\xBF") ? written.sliced(3) : written));
    for (const Pair &p : pairs) {
        (void)first.readInteger(p.first, p.second, -1);
        (void)second.readString(p.first, p.second, QString());
    }
    if (isUtf16WithLoneSurrogate(input))
        return 0;

    QList<std::optional<QString>> before;
    for (const Pair &p : pairs) {
        const std::optional<QString> v = first.value(p.first, p.second);
        const std::optional<QString> reread = second.value(p.first, p.second);
        if (reread != v)
            fail("value changed by a write and read back", p, v, reread);
        before.append(reread);
    }

    // Overwrite the first key that exists with text taken from the input.
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        if (!before.at(i))
            continue;
        const Pair &p = pairs.at(i);
        const QString value = QString::fromUtf8(input.right(40));
        QString expected = value;
        expected.replace(u'\r', u' ').replace(u'\n', u' ');
        second.writeString(p.first, p.second, value);
        const std::optional<QString> got = second.value(p.first, p.second);
        if (got != expected)
            fail("written value does not read back", p, expected, got);
        IniFile third{QString()};
        third.loadFromBytes(second.toBytes());
        for (qsizetype j = 0; j < pairs.size(); ++j) {
            const Pair &q = pairs.at(j);
            const bool same = q.first.compare(p.first, Qt::CaseInsensitive) == 0
                              && q.second.compare(p.second, Qt::CaseInsensitive) == 0;
            const std::optional<QString> want = same ? std::optional<QString>(expected) : before.at(j);
            const std::optional<QString> got = third.value(q.first, q.second);
            if (got != want)
                fail(same ? "written value lost by a save" : "another key changed by a write", q,
                     want, got);
        }
        break;
    }
    return 0;
}
