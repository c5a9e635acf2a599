// The "MATCH" section: a round trip, the defaults of absent or bad values (no rules), and a
// file without the section that stays without it.
#include "IniFile.h"
#include "MatchIni.h"

#include <QTemporaryDir>
#include <QtTest>

class TstMatchIni : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_keepsEverySetting();
    void absentSection_givesTodaysBehaviour();
    void badValues_giveDefaults_data();
    void badValues_giveDefaults();
    void extensionsUsed_roundTrip();
};

void TstMatchIni::roundTrip_keepsEverySetting()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("FeuilleMatch.ini"));
    MatchSettings s;
    s.applyPreset(MatchSettings::troisBandes());
    s.distance[0] = 40;
    s.distance[1] = 25;
    s.limiteReprises = 50;
    s.egalisation = false;
    s.setShotFields({40, 8, 2});
    s.son = false;
    {
        IniFile ini(path);
        ini.writeString(QStringLiteral("JOUEURS"), QStringLiteral("joueur1"), QStringLiteral("Zoé"));
        MatchIni::write(ini, s);
        ini.save();
    }
    const IniFile back(path);
    QVERIFY(MatchIni::present(back));
    const MatchSettings r = MatchIni::read(back);
    QCOMPARE(r.discipline, QStringLiteral("Personnalisé"));
    QVERIFY(r == s);
    QCOMPARE(back.readString(QStringLiteral("JOUEURS"), QStringLiteral("joueur1"), {}), QStringLiteral("Zoé"));
    QVERIFY(back.toBytes().contains("[MATCH]\r\nDiscipline=Personnalis\xe9\r\nDistance1=40\r\n"));
}

void TstMatchIni::absentSection_givesTodaysBehaviour()
{
    IniFile ini(QString{});
    ini.loadFromBytes("[REMOTE]\r\nKeyPlus=37\r\n");
    QVERIFY(!MatchIni::present(ini));
    const MatchSettings s = MatchIni::read(ini);
    QVERIFY(s == MatchSettings{});
    QVERIFY(!s.rulesActive());
    QVERIFY(!s.shotClockActive());
    QCOMPARE(s.discipline, QStringLiteral("Libre"));
    QVERIFY(s.egalisation);
    QCOMPARE(s.alerteCoup, 10);
    QCOMPARE(s.prolongations, 0);
}

void TstMatchIni::badValues_giveDefaults_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("distance1");
    QTest::addColumn<int>("tempsCoup");
    QTest::addColumn<bool>("egalisation");
    QTest::addColumn<QString>("discipline");
    QTest::newRow("empty values") << QByteArray("Distance1=\r\nTempsCoup=\r\nEgalisation=\r\n") << 0 << 0 << true << "Libre";
    QTest::newRow("not numbers") << QByteArray("Distance1=abc\r\nTempsCoup=3O\r\n") << 0 << 0 << true << "Libre";
    QTest::newRow("negative") << QByteArray("Distance1=-5\r\nTempsCoup=-30\r\n") << 0 << 0 << true << "Libre";
    QTest::newRow("too large") << QByteArray("Distance1=100000\r\nTempsCoup=99999\r\n") << 0 << 0 << true << "Libre";
    QTest::newRow("egalisation 2") << QByteArray("Egalisation=2\r\n") << 0 << 0 << true << "Libre";
    QTest::newRow("egalisation 0, hex distance") << QByteArray("Egalisation=0\r\nDistance1=0x1E\r\n") << 30 << 0 << false << "Libre";
    QTest::newRow("unknown discipline") << QByteArray("Discipline=Pétanque\r\nTempsCoup=40\r\n") << 0 << 40 << true << "Personnalisé";
    QTest::newRow("keys in any case") << QByteArray("distance1=12\r\nTEMPSCOUP=20\r\n") << 12 << 20 << true << "Libre";
}

void TstMatchIni::badValues_giveDefaults()
{
    QFETCH(QByteArray, text);
    QFETCH(int, distance1);
    QFETCH(int, tempsCoup);
    QFETCH(bool, egalisation);
    QFETCH(QString, discipline);
    IniFile ini(QString{});
    ini.loadFromBytes("[MATCH]\r\n" + text);
    const MatchSettings s = MatchIni::read(ini);
    QCOMPARE(s.distance[0], distance1);
    QCOMPARE(s.tempsCoup, tempsCoup);
    QCOMPARE(s.egalisation, egalisation);
    QCOMPARE(s.discipline, discipline);
}

void TstMatchIni::extensionsUsed_roundTrip()
{
    IniFile ini(QString{});
    QCOMPARE(MatchIni::readExtensions(ini).used[0], 0);
    MatchIni::ExtensionsUsed e;
    e.used[0] = 1;
    e.used[1] = 3;
    MatchIni::writeExtensions(ini, e);
    IniFile back(QString{});
    back.loadFromBytes(ini.toBytes());
    QVERIFY(MatchIni::present(back));
    QCOMPARE(MatchIni::readExtensions(back).used[0], 1);
    QCOMPARE(MatchIni::readExtensions(back).used[1], 3);
}

QTEST_GUILESS_MAIN(TstMatchIni)
#include "tst_MatchIni.moc"
