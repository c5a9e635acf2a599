#pragma once
// The "MATCH" section of the settings file: the match settings and the extensions each
// player has used in the match in progress (kept here so they survive a crash or a
// restart; the backup file keeps its format).
#include "MatchRules.h"

class IniFile;

namespace MatchIni {

inline QString section() { return QStringLiteral("MATCH"); }

// True when the file holds any key of ours: without one the settings file is written back
// without a "MATCH" section, exactly as before matches were known.
bool present(const IniFile &ini);

// Absent, empty, non-numeric or out-of-range values give the defaults (no rules, no shot
// clock); an unknown discipline reads as "Personnalisé".
MatchSettings read(const IniFile &ini);
void write(IniFile &ini, const MatchSettings &s);

struct ExtensionsUsed {
    qint32 used[2] = {0, 0};
};
ExtensionsUsed readExtensions(const IniFile &ini);
void writeExtensions(IniFile &ini, const ExtensionsUsed &e);

} // namespace MatchIni
