#include "MatchIni.h"

#include "IniFile.h"

namespace {

const char *const keys[] = {"Discipline",   "Distance1",  "Distance2",     "LimiteReprises",
                            "Egalisation",  "TempsCoup",  "AlerteCoup",    "Prolongations",
                            "Son",          "ProlongationsUtilisees1", "ProlongationsUtilisees2"};

qint32 readBounded(const IniFile &ini, const char *key, qint32 def, qint32 lo, qint32 hi)
{
    const qint32 v = ini.readInteger(MatchIni::section(), QLatin1String(key), def);
    return (v < lo || v > hi) ? def : v;
}

} // namespace

bool MatchIni::present(const IniFile &ini)
{
    for (const char *k : keys)
        if (ini.value(section(), QLatin1String(k)))
            return true;
    return false;
}

MatchSettings MatchIni::read(const IniFile &ini)
{
    MatchSettings s;
    const QString d = ini.readString(section(), QStringLiteral("Discipline"), s.discipline);
    s.discipline = MatchSettings::disciplines().contains(d) ? d : MatchSettings::personnalise();
    s.distance[0] = readBounded(ini, "Distance1", 0, 0, MatchSettings::maxDistance);
    s.distance[1] = readBounded(ini, "Distance2", 0, 0, MatchSettings::maxDistance);
    s.limiteReprises = readBounded(ini, "LimiteReprises", 0, 0, MatchSettings::maxLimite);
    s.egalisation = readBounded(ini, "Egalisation", 1, 0, 1) == 1;
    s.tempsCoup = readBounded(ini, "TempsCoup", 0, 0, MatchSettings::maxTempsCoup);
    s.alerteCoup = readBounded(ini, "AlerteCoup", 10, 0, MatchSettings::maxTempsCoup);
    s.prolongations = readBounded(ini, "Prolongations", 0, 0, MatchSettings::maxProlongations);
    s.son = readBounded(ini, "Son", 1, 0, 1) == 1;
    return s;
}

void MatchIni::write(IniFile &ini, const MatchSettings &s)
{
    ini.writeString(section(), QStringLiteral("Discipline"), s.discipline);
    ini.writeInteger(section(), QStringLiteral("Distance1"), s.distance[0]);
    ini.writeInteger(section(), QStringLiteral("Distance2"), s.distance[1]);
    ini.writeInteger(section(), QStringLiteral("LimiteReprises"), s.limiteReprises);
    ini.writeInteger(section(), QStringLiteral("Egalisation"), s.egalisation ? 1 : 0);
    ini.writeInteger(section(), QStringLiteral("TempsCoup"), s.tempsCoup);
    ini.writeInteger(section(), QStringLiteral("AlerteCoup"), s.alerteCoup);
    ini.writeInteger(section(), QStringLiteral("Prolongations"), s.prolongations);
    ini.writeInteger(section(), QStringLiteral("Son"), s.son ? 1 : 0);
}

MatchIni::ExtensionsUsed MatchIni::readExtensions(const IniFile &ini)
{
    ExtensionsUsed e;
    e.used[0] = readBounded(ini, "ProlongationsUtilisees1", 0, 0, MatchSettings::maxProlongations);
    e.used[1] = readBounded(ini, "ProlongationsUtilisees2", 0, 0, MatchSettings::maxProlongations);
    return e;
}

void MatchIni::writeExtensions(IniFile &ini, const ExtensionsUsed &e)
{
    ini.writeInteger(section(), QStringLiteral("ProlongationsUtilisees1"), e.used[0]);
    ini.writeInteger(section(), QStringLiteral("ProlongationsUtilisees2"), e.used[1]);
}
