#include "IniFile.h"

#include "Ansi.h"
#include "AppError.h"
#include "DurableFile.h"
#include "IntConv.h"

#include <QFile>
#include <QStringDecoder>

// Values follow the Windows profile functions: spaces and tabs around a value are not
// part of it, and one pair of matching quotes (" or ') around it is dropped on reading.
// A value that would lose something that way (a name typed with a leading space, or one
// that starts and ends with a quote) is written wrapped in double quotes, so everything we
// write reads back unchanged, here and on Windows. A line break cannot live in a value:
// CR and LF are written as spaces.

namespace {

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QStringView name; // section or key name, trimmed
    qsizetype eq = -1; // position of the first "=" of a key line
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return s.sliced(b, e - b);
}

ParsedLine parseLine(const QString &line)
{
    ParsedLine p;
    const QStringView t = trimBlanks(line);
    if (t.isEmpty() || t.front() == u';' || t.front() == u'#')
        return p;
    if (t.front() == u'[') {
        const qsizetype close = t.indexOf(u']');
        p.kind = LineKind::Section;
        p.name = trimBlanks(close < 0 ? t.sliced(1) : t.sliced(1, close - 1));
        return p;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return p;
    p.name = trimBlanks(QStringView(line).left(eq));
    if (p.name.isEmpty())
        return p;
    p.kind = LineKind::Key;
    p.eq = eq;
    return p;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

QString decodeValue(QStringView raw)
{
    QStringView v = trimBlanks(raw);
    if (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    return v.toString();
}

QString encodeValue(const QString &value)
{
    QString v = value;
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    const bool wrap = !v.isEmpty()
                      && (isBlank(v.front()) || isBlank(v.back())
                          || (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front()));
    return wrap ? QLatin1Char('"') + v + QLatin1Char('"') : v;
}

QString decodeUtf16(QByteArrayView bytes, bool littleEndian)
{
    const qsizetype units = bytes.size() / 2;
    QString out(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i) {
        const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        out[i] = QChar(littleEndian ? char16_t(b0 | (b1 << 8)) : char16_t((b0 << 8) | b1));
    }
    return out;
}

// Bytes without a mark that the reader takes for UTF-8: valid UTF-8 with some non-ASCII.
bool readsAsUtf8(QByteArrayView bytes)
{
    bool ascii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes); // decodes only once made a QString
    return !utf8.hasError();
}

struct Lookup {
    int sectionLine = -1; // header of the first section of that name
    int keyLine = -1;
    int insertAt = -1; // after the last non-blank line of that section
};

Lookup find(const QStringList &lines, const QString &section, const QString &key)
{
    // As on Windows, only the first section of a name counts, and the first key in it.
    Lookup r;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const ParsedLine p = parseLine(lines.at(i));
        if (p.kind == LineKind::Section) {
            if (inSection)
                break;
            if (sameName(p.name, section)) {
                inSection = true;
                r.sectionLine = i;
                r.insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!trimBlanks(lines.at(i)).isEmpty())
            r.insertAt = i + 1;
        if (p.kind == LineKind::Key && sameName(p.name, key)) {
            r.keyLine = i;
            break;
        }
    }
    return r;
}

}

IniFile::IniFile(QString path) : m_path(std::move(path))
{
    // A file that cannot be read counts as empty, like a missing one: every default applies.
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly))
        loadFromBytes(file.readAll());
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const Lookup l = find(m_lines, section, key);
    if (l.keyLine < 0)
        return std::nullopt;
    const QString &line = m_lines.at(l.keyLine);
    return decodeValue(QStringView(line).sliced(parseLine(line).eq + 1));
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    return value(section, key).value_or(def);
}

qint32 IniFile::readInteger(const QString &section, const QString &key, qint32 def) const
{
    const auto text = value(section, key);
    if (!text)
        return def;
    return tryStrToInt(*text).value_or(def);
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString encoded = encodeValue(value);
    const Lookup l = find(m_lines, section, key);
    if (l.keyLine >= 0) {
        // Keep the line's own spelling of the key and its spacing around "=".
        QString &line = m_lines[l.keyLine];
        qsizetype start = parseLine(line).eq + 1;
        while (start < line.size() && isBlank(line.at(start)))
            ++start;
        line = line.left(start) + encoded;
        return;
    }
    const QString keyLine = key + QLatin1Char('=') + encoded;
    if (l.sectionLine >= 0) {
        m_lines.insert(l.insertAt, keyLine);
        return;
    }
    if (!m_lines.isEmpty() && !trimBlanks(m_lines.last()).isEmpty())
        m_lines.append(QString());
    m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
    m_lines.append(keyLine);
}

void IniFile::writeInteger(const QString &section, const QString &key, qint32 value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::save() const
{
    const QString reason = DurableFile::write(m_path, toBytes());
    if (!reason.isEmpty())
        throw AppError(QStringLiteral("Impossible d'écrire dans %1").arg(m_path), reason);
}

void IniFile::loadFromBytes(const QByteArray &bytes)
{
    const QByteArrayView all(bytes);
    QString text;
    m_utf8 = false;
    m_bom = false;
    if (all.startsWith("\xEF\xBB\xBF")) {
        m_utf8 = m_bom = true;
        // A second mark is text: QString::fromUtf8 would drop it, and the next save with it.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        text = utf8.decode(all.sliced(3));
    } else if (all.startsWith("\xFF\xFE") || all.startsWith("\xFE\xFF")) {
        // Windows also keeps profiles in UTF-16; such a file is written back as UTF-8 with
        // its mark, which keeps every character.
        m_utf8 = m_bom = true;
        text = decodeUtf16(all.sliced(2), all.startsWith("\xFF\xFE"));
    } else {
        bool ascii = true;
        for (const char c : all) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
        }
        if (!ascii) {
            // Valid UTF-8 with accents is almost never Windows-1252 text by chance.
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            text = utf8.decode(all);
            m_utf8 = !utf8.hasError();
        }
        if (!m_utf8)
            text = Ansi::decode(all);
    }

    if (text.contains(QLatin1String("\r\n")) || !text.contains(u'\n'))
        m_newline = QStringLiteral("\r\n");
    else
        m_newline = QStringLiteral("\n");

    m_lines = text.split(u'\n');
    if (m_lines.last().isEmpty())
        m_lines.removeLast(); // the break after the last line ends it, it starts none
    for (QString &line : m_lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    // In a LF file only an unfinished last line can end with CR: what is left of its line
    // break goes too, or the LF written after it would make the file CR LF and change how
    // that line reads.
    if (m_newline == QLatin1String("\n")) {
        while (!m_lines.isEmpty() && m_lines.last().endsWith(u'\r'))
            m_lines.last().chop(1);
    }
}

QByteArray IniFile::toBytes() const
{
    QString text;
    for (const QString &line : m_lines) {
        text += line;
        text += m_newline;
    }
    // A file read as UTF-8 stays UTF-8; a Windows-1252 file stays so while every
    // character fits, else it becomes UTF-8 with its mark so nothing turns into "?".
    // Windows-1252 bytes that happen to form UTF-8 ("Ã©" is the UTF-8 of "é") would read
    // back as other characters: such a text is written as UTF-8 with its mark too.
    if (!m_utf8 && Ansi::canEncode(text)) {
        QByteArray ansi = Ansi::encode(text);
        if (!readsAsUtf8(ansi))
            return ansi;
    }
    const bool bom = m_bom || !m_utf8;
    return (bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
}
