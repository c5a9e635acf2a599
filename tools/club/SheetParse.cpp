#include "SheetParse.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

std::optional<int> field(QStringView text, bool *ok)
{
    *ok = true;
    if (text.isEmpty())
        return std::nullopt;
    bool good = false;
    const int v = text.toInt(&good);
    // Decimal only: the sheet text never has signs other than "-", nor spaces.
    if (!good || text.startsWith(u'+') || text.contains(u' ')) {
        *ok = false;
        return std::nullopt;
    }
    return v;
}

QString stripEnd(QString line)
{
    while (!line.isEmpty() && (line.endsWith(u'\r') || line.endsWith(u'\n')))
        line.chop(1);
    return line;
}

} // namespace

int ParsedSheet::total(int player) const
{
    int sum = 0;
    for (const Row &r : rows) {
        const auto &v = player == 1 ? r.pts1 : r.pts2;
        if (v)
            sum += *v;
    }
    return sum;
}

int ParsedSheet::innings(int player) const
{
    int n = 0;
    for (const Row &r : rows)
        if (player == 1 ? bool(r.pts1) : bool(r.pts2))
            ++n;
    return n;
}

int ParsedSheet::best(int player) const
{
    int b = 0;
    for (const Row &r : rows) {
        const auto &v = player == 1 ? r.pts1 : r.pts2;
        if (v && *v > b)
            b = *v;
    }
    return b;
}

QByteArray ParsedSheet::hash() const
{
    QByteArray folded;
    for (const QString &line : lines) {
        for (QChar c : line)
            folded += c.unicode() < 0x80 ? char(c.unicode()) : '?';
        folded += '\n';
    }
    return QCryptographicHash::hash(folded, QCryptographicHash::Sha256).toHex();
}

SheetParseResult SheetParse::parse(const QStringList &input)
{
    // The separators are those of the scoreboard's regional settings: any non-digit, or none.
    static const QRegularExpression stamp(QStringLiteral(
        "^(\\d{2})\\D?(\\d{2})\\D?(\\d{4}) (\\d{2})\\D?(\\d{2})$"));
    SheetParseResult out;
    ParsedSheet *current = nullptr;
    for (const QString &raw : input) {
        const QString line = stripEnd(raw);
        if (line.isEmpty())
            continue;
        const QStringList f = line.split(u'\t');
        if (f.size() == 3) {
            const auto m = stamp.match(f[2]);
            if (m.hasMatch()) {
                ParsedSheet s;
                s.name1 = f[0];
                s.name2 = f[1];
                s.stampText = f[2];
                const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
                const QTime t(m.captured(4).toInt(), m.captured(5).toInt());
                s.playedAt = QDateTime(d, t);
                s.lines << line;
                out.sheets.append(s);
                current = &out.sheets.last();
                continue;
            }
        }
        if (f.size() == 2 && current) {
            bool ok1, ok2;
            ParsedSheet::Row r{field(f[0], &ok1), field(f[1], &ok2)};
            if (ok1 && ok2) {
                current->rows.append(r);
                current->lines << line;
                continue;
            }
        }
        ++out.skippedLines;
    }
    return out;
}

SheetParseResult SheetParse::parseFrameLines(const QList<QByteArray> &lines)
{
    QStringList text;
    text.reserve(lines.size());
    for (const QByteArray &l : lines)
        text << QString::fromLatin1(l);
    return parse(text);
}
