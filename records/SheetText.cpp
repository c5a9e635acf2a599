#include "SheetText.h"

namespace {

bool isFieldLetter(QChar c)
{
    return QStringView(u"dMyhHmszaAt").contains(c);
}

// The literal text (quotes resolved) between the first field of `fieldLetters` in a Qt
// date or time format and the field that follows it; empty when the two touch.
QString separatorAfterField(const QString &format, QStringView fieldLetters)
{
    const qsizetype n = format.size();
    qsizetype i = 0;
    bool quoted = false;
    // Find the first field of the wanted kind, skipping quoted literals.
    for (; i < n; ++i) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && fieldLetters.contains(c))
            break;
    }
    if (i >= n)
        return {};
    const QChar letter = format.at(i);
    while (i < n && format.at(i) == letter)
        ++i;

    QString literal;
    quoted = false;
    for (; i < n; ++i) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            if (i + 1 < n && format.at(i + 1) == u'\'') { // '' is one quote, in or out of quotes
                literal += c;
                ++i;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        if (!quoted && isFieldLetter(c))
            return literal;
        literal += c;
    }
    return {}; // no second field: the format has no separator
}

QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

}

namespace SheetText {

QString dateSeparator(const QLocale &locale)
{
    // A short format that spells the month out ("d MMM yyyy", the C locale's) names no
    // separator for a numeric date: the slash stands in, as on a French system.
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    if (format.contains(QLatin1String("MMM")))
        return QStringLiteral("/");
    return separatorAfterField(format, u"dMy");
}

QString timeSeparator(const QLocale &locale)
{
    return separatorAfterField(locale.timeFormat(QLocale::ShortFormat), u"hH");
}

QString formatStamp(const QDateTime &when, const QLocale &locale)
{
    const QDate d = when.date();
    const QTime t = when.time();
    const QString ds = dateSeparator(locale);
    const QString ts = timeSeparator(locale);
    return twoDigits(d.day()) + ds + twoDigits(d.month()) + ds
           + QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0')) + QLatin1Char(' ')
           + twoDigits(t.hour()) + ts + twoDigits(t.minute());
}

QString headerEntry(const QString &name1, const QString &name2, const QDateTime &when,
                    const QLocale &locale)
{
    return name1 + QLatin1Char('\t') + name2 + QLatin1Char('\t') + formatStamp(when, locale)
           + QLatin1Char('\r');
}

QString rowEntry(const QString &pts1Text, const QString &pts2Text)
{
    return pts1Text + QLatin1Char('\t') + pts2Text + QLatin1Char('\r');
}

QString historyWarning(const QString &historyPath, int count)
{
    return QStringLiteral("Le fichier historique :\r\n") + historyPath
           + QStringLiteral("\r\ncontient ") + QString::number(count)
           + QStringLiteral(" lignes\r\naprès la compétition en cours faites en une copie et "
                            "supprimez le de l'emplacement actuel");
}

}
