#pragma once
// Loads a history file ("FeuilleMatch.txt": Windows-1252 or a marked Unicode text, each
// sheet entry followed by the empty line its own CR makes) into the store.
#include "ClubStore.h"

struct ImportResult {
    int sheets = 0, stored = 0, duplicates = 0, failed = 0, skippedLines = 0;
    QString error;   // the file could not be read, or the base refused
};

namespace Import {
ImportResult historyFile(ClubStore &store, const QString &path);
ImportResult lines(ClubStore &store, const QStringList &lines, const QString &source);
}
