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
    const QString none(QLatin1String(""));
    // Sheets go in batches of 2000, each batch one transaction written by a few multi-row
    // statements: a history of ten thousand sheets is neither ten thousand commits nor
    // twenty thousand round trips. A batch that fails is rolled back and its sheets are
    // stored again one transaction each, so one bad sheet costs only itself.
    constexpr qsizetype batch = 2000;
    for (qsizetype from = 0; from < parsed.sheets.size(); from += batch) {
        const qsizetype to = std::min(from + batch, parsed.sheets.size());
        int stored = 0, duplicates = 0;
        QString batchError;
        if (store.beginBatch().isEmpty()
            && store.storeSheets(parsed.sheets, from, to, none, none, source, now, &stored,
                                 &duplicates, &batchError)
            && store.endBatch(true).isEmpty()) {
            r.stored += stored;
            r.duplicates += duplicates;
            continue;
        }
        store.endBatch(false);
        for (qsizetype i = from; i < to; ++i) {
            QString error;
            switch (store.storeSheet(parsed.sheets[i], none, none, source, now, &error)) {
            case ClubStore::Outcome::Stored: ++r.stored; break;
            case ClubStore::Outcome::Duplicate: ++r.duplicates; break;
            case ClubStore::Outcome::Failed:
                ++r.failed;
                if (r.error.isEmpty())
                    r.error = error;
                break;
            }
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
