#pragma once
// The text form of a score sheet: a header entry "name1<TAB>name2<TAB>dd/mm/yyyy hh:nn<CR>"
// and one entry "pts1<TAB>pts2<CR>" per inning row (a null is an empty field).
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace SheetText {
// The user's date and time separators, read from the locale's short formats
// ("/" and ":" for French); empty when the format has none.
QString dateSeparator(const QLocale &locale);
QString timeSeparator(const QLocale &locale);
QString formatStamp(const QDateTime &when, const QLocale &locale); // "dd/mm/yyyy hh:nn"
QString headerEntry(const QString &name1, const QString &name2, const QDateTime &when,
                    const QLocale &locale);
QString rowEntry(const QString &pts1Text, const QString &pts2Text);
// The warning shown once the history holds more than 2000 entries.
QString historyWarning(const QString &historyPath, int count);
constexpr int HistoryWarningThreshold = 2000;
}
