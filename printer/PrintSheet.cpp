#include "PrintSheet.h"

#include "Cp1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>

namespace PrintSheet {

std::optional<qint32> points(const Inning &inning, int player)
{
    return player == 1 ? inning.pts1 : inning.pts2;
}

PlayerSummary summarize(const Sheet &sheet, int player)
{
    PlayerSummary s;
    for (const Inning &inning : sheet.innings) {
        const std::optional<qint32> p = points(inning, player);
        if (!p)
            continue;
        s.total += *p;
        ++s.played;
        if (!s.best || *p > *s.best)
            s.best = *p;
    }
    return s;
}

QString formatAverage(qint64 total, int played)
{
    if (played <= 0)
        return QStringLiteral("0,000");
    // Integer arithmetic: 10/3 is 3,333 and 1/16 is 0,063 on every machine. A total is at
    // most MaxInnings * 2^31, so thousandths stay far inside 64 bits.
    const bool negative = total < 0;
    const quint64 magnitude = negative ? quint64(-total) : quint64(total);
    const quint64 thousandths = (magnitude * 2000 + quint64(played)) / (2 * quint64(played));
    QString text = QString::number(thousandths / 1000) + QLatin1Char(',')
                   + QString::number(thousandths % 1000).rightJustified(3, QLatin1Char('0'));
    if (negative && thousandths != 0)
        text.prepend(QLatin1Char('-'));
    return text;
}

QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        return utf16(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringDecoder::Utf16BE);
        return utf16(QByteArrayView(bytes).sliced(2));
    }
    return Cp1252::decode(bytes);
}

namespace {

struct Line {
    int number;
    QString text;
};

// The scoreboard ends every line with CR CR LF (the entry's own CR, then the file's line
// break). Any run of CRs followed by an LF, a lone LF and a lone run of CRs each end one
// line, so the line numbers are those an editor shows. A NUL ends the text.
QList<Line> splitLines(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text = text.left(nul);
    QList<Line> lines;
    qsizetype pos = 0;
    int number = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        lines.append({++number, text.mid(pos, end - pos).toString()});
        pos = end;
        while (pos < text.size() && text[pos] == u'\r')
            ++pos;
        if (pos < text.size() && text[pos] == u'\n')
            ++pos;
    }
    return lines;
}

QString quoted(const QString &field)
{
    // A field of a broken file may be anything; keep the message readable.
    constexpr int shown = 40;
    return field.size() > shown ? field.left(shown) + QChar(0x2026) : field;
}

bool parsePoints(const QString &field, std::optional<qint32> *value)
{
    const QString t = field.trimmed();
    if (t.isEmpty()) {
        value->reset();
        return true;
    }
    // Decimal only: no grouping, no base prefixes, no decimals; toInt refuses what does not
    // fit 32 bits.
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        const bool sign = i == 0 && (c == u'-' || c == u'+') && t.size() > 1;
        if (!sign && !(c >= u'0' && c <= u'9'))
            return false;
    }
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}

} // namespace

bool parseSheet(const QByteArray &bytes, Sheet *sheet, QString *error)
{
    Sheet result;
    const QList<Line> lines = splitLines(decodeText(bytes));

    bool haveHeader = false;
    for (const Line &line : lines) {
        // Blank lines carry nothing: a final break, or a sheet that went through a
        // load-and-save cycle and gained one after every line.
        if (line.text.isEmpty())
            continue;
        const QStringList fields = line.text.split(QLatin1Char('\t'));
        if (!haveHeader) {
            if (fields.size() < 2) {
                *error = QStringLiteral("Ligne %1 : l'en-tête doit donner les noms des deux joueurs "
                                        "et la date, séparés par des tabulations.")
                             .arg(line.number);
                return false;
            }
            result.name1 = fields[0].trimmed();
            result.name2 = fields[1].trimmed();
            result.date = fields.mid(2).join(QLatin1Char(' ')).trimmed();
            haveHeader = true;
            continue;
        }
        if (fields.size() != 2) {
            *error = QStringLiteral("Ligne %1 : une reprise doit donner les points des deux joueurs "
                                    "séparés par une tabulation.")
                         .arg(line.number);
            return false;
        }
        if (result.innings.size() >= MaxInnings) {
            *error = QStringLiteral("Le fichier contient plus de %1 reprises : "
                                    "ce n'est pas une feuille de match imprimable.")
                         .arg(QStringLiteral("10 000"));
            return false;
        }
        Inning inning;
        for (int player = 1; player <= 2; ++player) {
            std::optional<qint32> *target = player == 1 ? &inning.pts1 : &inning.pts2;
            if (!parsePoints(fields[player - 1], target)) {
                *error = QStringLiteral("Ligne %1 : '%2' n'est pas une valeur entière correcte.")
                             .arg(line.number)
                             .arg(quoted(fields[player - 1]));
                return false;
            }
        }
        result.innings.append(inning);
    }
    if (!haveHeader) {
        *error = QStringLiteral("Le fichier est vide : il n'y a rien à imprimer.");
        return false;
    }
    *sheet = std::move(result);
    return true;
}

bool loadSheet(const QString &path, Sheet *sheet, QString *error)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        *error = QStringLiteral("Le fichier à imprimer \"%1\" est introuvable.").arg(path);
        return false;
    }
    if (info.isDir()) {
        *error = QStringLiteral("\"%1\" est un dossier, pas un fichier à imprimer.").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    // Read one byte past the limit rather than trusting the size: special files have none.
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes) {
        *error = QStringLiteral("Le fichier \"%1\" est trop volumineux pour être une feuille de match.").arg(path);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Impossible de lire le fichier \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    QString detail;
    if (!parseSheet(bytes, sheet, &detail)) {
        *error = QStringLiteral("Le fichier \"%1\" ne peut pas être imprimé.\n%2").arg(path, detail);
        return false;
    }
    QFile matchFile(info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".ini"));
    if (matchFile.open(QIODevice::ReadOnly))
        sheet->match = parseMatchInfo(matchFile.read(64 * 1024));
    return true;
}

std::optional<MatchInfo> parseMatchInfo(const QByteArray &bytes)
{
    MatchInfo m;
    bool inMatch = false, seen = false;
    const auto number = [](const QString &v) {
        bool ok = false;
        const int n = v.trimmed().toInt(&ok);
        return ok && n >= 0 ? n : 0;
    };
    for (QString line : decodeText(bytes).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMatch = line.compare(QLatin1String("[MATCH]"), Qt::CaseInsensitive) == 0;
            seen = seen || inMatch;
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (!inMatch || eq < 1)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (key == QLatin1String("discipline"))
            m.discipline = value;
        else if (key == QLatin1String("distance1"))
            m.distance[0] = number(value);
        else if (key == QLatin1String("distance2"))
            m.distance[1] = number(value);
        else if (key == QLatin1String("limitereprises"))
            m.limiteReprises = number(value);
        else if (key == QLatin1String("egalisation"))
            m.egalisation = value.trimmed() != QLatin1String("0");
        else if (key == QLatin1String("resultat"))
            m.result = value;
        else if (key == QLatin1String("pointsmatch1"))
            m.matchPoints[0] = number(value);
        else if (key == QLatin1String("pointsmatch2"))
            m.matchPoints[1] = number(value);
        else if (key == QLatin1String("meilleuresseries1"))
            m.bestRuns[0] = value;
        else if (key == QLatin1String("meilleuresseries2"))
            m.bestRuns[1] = value;
    }
    if (!seen)
        return std::nullopt;
    return m;
}

} // namespace PrintSheet
