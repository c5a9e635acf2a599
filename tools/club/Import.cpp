#include "Import.h"

#include "AppError.h"
#include "LineList.h"

ImportResult Import::lines(ClubStore &store, const QStringList &lines, const QString &source)
{
    ImportResult r;
    const SheetParseResult parsed = SheetParse::parse(lines);
    r.sheets = int(parsed.sheets.size());
    r.skippedLines = parsed.skippedLines;
    // An import can be run again: what a crash cut short is added then, the rest is known.
    QString e = store.setFastCommits(true);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const ParsedSheet &s : parsed.sheets) {
        QString error;
        switch (store.storeSheet(s, QString(QLatin1String("")), QString(QLatin1String("")), source, now, &error)) {
        case ClubStore::Outcome::Stored: ++r.stored; break;
        case ClubStore::Outcome::Duplicate: ++r.duplicates; break;
        case ClubStore::Outcome::Failed:
            ++r.failed;
            if (r.error.isEmpty())
                r.error = error;
            break;
        }
    }
    store.setFastCommits(false);
    if (r.error.isEmpty())
        r.error = e;
    return r;
}

ImportResult Import::historyFile(ClubStore &store, const QString &path)
{
    LineList list;
    try {
        list.loadFromFile(path);
    } catch (const AppError &e) {
        ImportResult r;
        r.error = e.message();
        return r;
    }
    return lines(store, list.entries, QStringLiteral("import"));
}
