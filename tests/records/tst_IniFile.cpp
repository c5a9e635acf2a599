#include "AppError.h"
#include "IniFile.h"

#include <QtTest>

namespace {

QString dataPath(const QString &name)
{
    return QStringLiteral(ZV_RECORDS_DATA "/") + name;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read ") + path.toUtf8() + '>';
    return f.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

IniFile fromBytes(const QByteArray &bytes)
{
    IniFile ini(QStringLiteral("/nonexistent/zelvano-test.ini"));
    ini.loadFromBytes(bytes);
    return ini;
}

QByteArray utf16le(const QString &text)
{
    QByteArray out("\xFF\xFE");
    for (const QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

const QString DefaultHost = QStringLiteral("192.168.1.10");

// Every setting the window keeps, written back the way the window does at exit.
void writeAllSettings(IniFile &ini, const QString &name1)
{
    const QString name2 = ini.readString("JOUEURS", "joueur2", "Joueur 2");
    const qint32 chrono1 = ini.readInteger("TEMPS", "Chrono1", 0);
    const qint32 chrono2 = ini.readInteger("TEMPS", "Chrono2", 0);
    const QString host = ini.readString("WIFI", "host", DefaultHost);
    const QString port = ini.readString("WIFI", "port", "50000");
    ini.writeInteger("REMOTE", "KeyPlus", 37);
    ini.writeInteger("REMOTE", "KeyMoins", 39);
    ini.writeInteger("REMOTE", "KeyOK", 38);
    ini.writeInteger("REMOTE", "KeyChrono", 40);
    ini.writeString("JOUEURS", "joueur1", name1);
    ini.writeString("JOUEURS", "joueur2", name2);
    ini.writeInteger("TEMPS", "Chrono1", chrono1);
    ini.writeInteger("TEMPS", "Chrono2", chrono2);
    ini.writeString("WIFI", "host", host);
    ini.writeString("WIFI", "port", port);
    ini.writeInteger("TEMPS", "InChrono", 1);
}

}

class tst_IniFile : public QObject {
    Q_OBJECT
private slots:
    void missingFile_givesDefaults_data();
    void missingFile_givesDefaults();
    void readInteger_data();
    void readInteger();
    void readString_data();
    void readString();
    void writtenValue_readsBack_data();
    void writtenValue_readsBack();
    void lineBreaksInValue_becomeSpaces_data();
    void lineBreaksInValue_becomeSpaces();
    void writeInteger_data();
    void writeInteger();
    void writeUpdatesExistingKey_data();
    void writeUpdatesExistingKey();
    void golden_data();
    void golden();
    void saveErrors_data();
    void saveErrors();
};

void tst_IniFile::missingFile_givesDefaults_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("intDefault");
    QTest::addColumn<QString>("textDefault");
    QTest::newRow("KeyPlus") << "REMOTE" << "KeyPlus" << 37 << "";
    QTest::newRow("KeyChrono") << "REMOTE" << "KeyChrono" << 40 << "";
    QTest::newRow("joueur1") << "JOUEURS" << "joueur1" << 0 << "Joueur 1";
    QTest::newRow("Chrono1") << "TEMPS" << "Chrono1" << 0 << "";
    QTest::newRow("port") << "WIFI" << "port" << 0 << "50000";
}

void tst_IniFile::missingFile_givesDefaults()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(int, intDefault);
    QFETCH(QString, textDefault);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const IniFile ini(dir.filePath("FeuilleMatch.ini"));
    QVERIFY(!ini.value(section, key).has_value());
    QCOMPARE(ini.readInteger(section, key, intDefault), intDefault);
    QCOMPARE(ini.readString(section, key, textDefault), textDefault);
    QCOMPARE(ini.toBytes(), QByteArray());
}

void tst_IniFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("expected"); // the default is 99

    const auto line = [](const char *value) {
        return QByteArray("[REMOTE]\r\nKeyPlus=") + value + "\r\n";
    };
    QTest::newRow("decimal") << line("37") << 37;
    QTest::newRow("hex 0x") << line("0x26") << 38;
    QTest::newRow("hex dollar") << line("$26") << 38;
    QTest::newRow("beyond 16 bits kept whole") << line("65573") << 65573;
    QTest::newRow("minus one") << line("-1") << -1;
    QTest::newRow("leading zero is not octal") << line("026") << 26;
    QTest::newRow("spaces around") << line("  42  ") << 42;
    QTest::newRow("quoted") << line("\"7\"") << 7;
    QTest::newRow("lowest") << line("-2147483648") << int(INT_MIN);
    QTest::newRow("hex wraps into the signed range") << line("$FFFFFFFF") << -1;
    QTest::newRow("garbage") << line("abc") << 99;
    QTest::newRow("trailing garbage") << line("12abc") << 99;
    QTest::newRow("beyond 32 bits") << line("4294967296") << 99;
    QTest::newRow("empty value") << line("") << 99;
    QTest::newRow("missing key") << QByteArray("[REMOTE]\r\nKeyOK=1\r\n") << 99;
    QTest::newRow("missing section") << QByteArray("[TEMPS]\r\nKeyPlus=1\r\n") << 99;
}

void tst_IniFile::readInteger()
{
    QFETCH(QByteArray, file);
    QFETCH(int, expected);
    QCOMPARE(fromBytes(file).readInteger("REMOTE", "KeyPlus", 99), expected);
}

void tst_IniFile::readString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected"); // reading JOUEURS/joueur1, default "DEF"

    QTest::newRow("plain") << QByteArray("[JOUEURS]\r\njoueur1=Bob\r\n") << "Bob";
    QTest::newRow("empty value is not the default") << QByteArray("[JOUEURS]\r\njoueur1=\r\n")
                                                    << "";
    QTest::newRow("missing key") << QByteArray("[JOUEURS]\r\njoueur2=Bob\r\n") << "DEF";
    QTest::newRow("missing section") << QByteArray("[WIFI]\r\njoueur1=Bob\r\n") << "DEF";
    QTest::newRow("key before any section") << QByteArray("joueur1=Bob\r\n[JOUEURS]\r\n")
                                            << "DEF";
    QTest::newRow("key in the next section") << QByteArray("[JOUEURS]\r\n[WIFI]\r\njoueur1=Bob\r\n")
                                             << "DEF";
    QTest::newRow("commented out") << QByteArray("[JOUEURS]\r\n;joueur1=Bob\r\n") << "DEF";
    QTest::newRow("case-insensitive section and key")
        << QByteArray("[joueurs]\r\nJOUEUR1=Bob\r\n") << "Bob";
    QTest::newRow("spaces around key, value and section")
        << QByteArray("[ JOUEURS ]\r\n  joueur1 =  Bob Smith \t\r\n") << "Bob Smith";
    QTest::newRow("double quotes dropped") << QByteArray("[JOUEURS]\r\njoueur1=\" Bob \"\r\n")
                                           << " Bob ";
    QTest::newRow("single quotes dropped") << QByteArray("[JOUEURS]\r\njoueur1='Bob'\r\n") << "Bob";
    QTest::newRow("unmatched quote kept") << QByteArray("[JOUEURS]\r\njoueur1=\"Bob'\r\n")
                                          << "\"Bob'";
    QTest::newRow("equals and semicolon in value")
        << QByteArray("[JOUEURS]\r\njoueur1=a=b; c, d\r\n") << "a=b; c, d";
    QTest::newRow("first of two keys") << QByteArray("[JOUEURS]\r\njoueur1=A\r\njoueur1=B\r\n")
                                       << "A";
    QTest::newRow("lf line ends") << QByteArray("[JOUEURS]\njoueur1=Bob\n") << "Bob";
    QTest::newRow("last line without break") << QByteArray("[JOUEURS]\r\njoueur1=Bob") << "Bob";
    QTest::newRow("cp1252 accents") << QByteArray("[JOUEURS]\r\njoueur1=H\xE9l\xE8ne\r\n")
                                    << QStringLiteral("Hélène");
    QTest::newRow("utf8 without mark") << QByteArray("[JOUEURS]\r\njoueur1=H\xC3\xA9l\xC3\xA8ne\r\n")
                                       << QStringLiteral("Hélène");
    QTest::newRow("utf8 with mark") << QByteArray("\xEF\xBB\xBF[JOUEURS]\r\njoueur1=\xC5\x81ukasz\r\n")
                                    << QStringLiteral("Łukasz");
    QTest::newRow("utf16le with mark")
        << utf16le(QStringLiteral("[JOUEURS]\r\njoueur1=Ł\r\n"))
        << QStringLiteral("Ł");
}

void tst_IniFile::readString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    const IniFile ini = fromBytes(file);
    QCOMPARE(ini.readString("JOUEURS", "joueur1", "DEF"), expected);
    QCOMPARE(ini.value("JOUEURS", "joueur1").has_value(), expected != "DEF");
}

void tst_IniFile::writtenValue_readsBack_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("utf8"); // the file needs UTF-8 (with its mark)

    QTest::newRow("accents") << QStringLiteral("Hélène Müller-Œil €") << false;
    QTest::newRow("comma") << "Dupont, Jean" << false;
    QTest::newRow("semicolon") << "A;B ; C" << false;
    QTest::newRow("equals") << "a=b=" << false;
    QTest::newRow("brackets") << "[JOUEURS]" << false;
    QTest::newRow("leading spaces") << "  Bob" << false;
    QTest::newRow("trailing spaces") << "Bob  " << false;
    QTest::newRow("tab inside and around") << "\tA\tB\t" << false;
    QTest::newRow("only spaces") << "   " << false;
    QTest::newRow("double quoted") << "\"Bob\"" << false;
    QTest::newRow("single quoted") << "'Bob'" << false;
    QTest::newRow("lone quote") << "\"" << false;
    QTest::newRow("quote at one end") << "\"Bob" << false;
    QTest::newRow("two quotes") << "\"\"" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("beyond cp1252") << QStringLiteral("Łukasz") << true;
    QTest::newRow("outside the BMP") << QStringLiteral("Zoé 😀") << true;
}

void tst_IniFile::writtenValue_readsBack()
{
    QFETCH(QString, value);
    QFETCH(bool, utf8);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("FeuilleMatch.ini");
    {
        IniFile ini(path);
        ini.writeString("JOUEURS", "joueur1", value);
        ini.writeString("JOUEURS", "joueur2", "after");
        ini.save();
    }
    const IniFile again(path);
    QCOMPARE(again.readString("JOUEURS", "joueur1", "DEF"), value);
    QCOMPARE(again.readString("JOUEURS", "joueur2", "DEF"), QStringLiteral("after"));
    QCOMPARE(readBytes(path).startsWith("\xEF\xBB\xBF"), utf8);

    // Written once more unchanged, the file does not drift.
    const QByteArray first = readBytes(path);
    again.save();
    QCOMPARE(readBytes(path), first);
}

void tst_IniFile::lineBreaksInValue_becomeSpaces_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("crlf") << "a\r\nb" << "a  b";
    QTest::newRow("lone lf") << "a\nb" << "a b";
    QTest::newRow("would add a section") << "x\n[REMOTE]\nKeyOK=1" << "x [REMOTE] KeyOK=1";
    QTest::newRow("break at the end") << "Bob\r\n" << "Bob  ";
}

void tst_IniFile::lineBreaksInValue_becomeSpaces()
{
    QFETCH(QString, value);
    QFETCH(QString, readBack);

    IniFile ini = fromBytes(QByteArray());
    ini.writeString("JOUEURS", "joueur1", value);
    const IniFile again = fromBytes(ini.toBytes());
    QCOMPARE(again.readString("JOUEURS", "joueur1", "DEF"), readBack);
    QCOMPARE(again.readInteger("REMOTE", "KeyOK", 99), 99);
    QCOMPARE(ini.toBytes().count('\n'), 2);
}

void tst_IniFile::writeInteger_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("zero") << 0 << QByteArray("[TEMPS]\r\nChrono1=0\r\n");
    QTest::newRow("negative") << -1000 << QByteArray("[TEMPS]\r\nChrono1=-1000\r\n");
    QTest::newRow("lowest") << int(INT_MIN) << QByteArray("[TEMPS]\r\nChrono1=-2147483648\r\n");
    QTest::newRow("highest") << int(INT_MAX) << QByteArray("[TEMPS]\r\nChrono1=2147483647\r\n");
}

void tst_IniFile::writeInteger()
{
    QFETCH(int, value);
    QFETCH(QByteArray, file);
    IniFile ini = fromBytes(QByteArray());
    ini.writeInteger("TEMPS", "Chrono1", value);
    QCOMPARE(ini.toBytes(), file);
    QCOMPARE(fromBytes(file).readInteger("TEMPS", "Chrono1", 99), value);
}

void tst_IniFile::writeUpdatesExistingKey_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // after writing JOUEURS/joueur1 = "Zoé"

    QTest::newRow("same case") << QByteArray("[JOUEURS]\r\njoueur1=Bob\r\n")
                               << QByteArray("[JOUEURS]\r\njoueur1=Zo\xE9\r\n");
    QTest::newRow("other case keeps its spelling")
        << QByteArray("[Joueurs]\r\nJOUEUR1=Bob\r\njoueur2=Al\r\n")
        << QByteArray("[Joueurs]\r\nJOUEUR1=Zo\xE9\r\njoueur2=Al\r\n");
    QTest::newRow("spacing around equals kept") << QByteArray("[JOUEURS]\r\n joueur1 =  Bob\r\n")
                                                << QByteArray("[JOUEURS]\r\n joueur1 =  Zo\xE9\r\n");
    QTest::newRow("new key after the last line of its section")
        << QByteArray("[JOUEURS]\r\njoueur2=Al\r\n; fin\r\n\r\n[WIFI]\r\nhost=h\r\n")
        << QByteArray("[JOUEURS]\r\njoueur2=Al\r\n; fin\r\njoueur1=Zo\xE9\r\n\r\n[WIFI]\r\nhost=h\r\n");
    QTest::newRow("new key in an empty section")
        << QByteArray("[JOUEURS]\r\n[WIFI]\r\n")
        << QByteArray("[JOUEURS]\r\njoueur1=Zo\xE9\r\n[WIFI]\r\n");
    QTest::newRow("only the first section of a name")
        << QByteArray("[JOUEURS]\r\njoueur2=Al\r\n[JOUEURS]\r\njoueur1=Bob\r\n")
        << QByteArray("[JOUEURS]\r\njoueur2=Al\r\njoueur1=Zo\xE9\r\n[JOUEURS]\r\njoueur1=Bob\r\n");
    QTest::newRow("new section after a blank line")
        << QByteArray("; notes\r\n") << QByteArray("; notes\r\n\r\n[JOUEURS]\r\njoueur1=Zo\xE9\r\n");
    QTest::newRow("lf file stays lf") << QByteArray("[JOUEURS]\njoueur2=Al\n")
                                      << QByteArray("[JOUEURS]\njoueur2=Al\njoueur1=Zo\xE9\n");
    QTest::newRow("lone cr inside a line kept")
        << QByteArray("; a\rb\r\n[JOUEURS]\r\n")
        << QByteArray("; a\rb\r\n[JOUEURS]\r\njoueur1=Zo\xE9\r\n");
}

void tst_IniFile::writeUpdatesExistingKey()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    IniFile ini = fromBytes(before);
    QCOMPARE(ini.toBytes(), before);
    ini.writeString("JOUEURS", "joueur1", QStringLiteral("Zoé"));
    QCOMPARE(ini.toBytes(), after);
}

void tst_IniFile::golden_data()
{
    QTest::addColumn<QString>("input"); // empty: no file yet
    QTest::addColumn<QString>("name1Before");
    QTest::addColumn<QString>("name1");
    QTest::addColumn<QString>("expected");

    QTest::newRow("hand-written windows file") << "settings_windows.ini" << QStringLiteral("Hélène")
                                               << QStringLiteral("Hélène")
                                               << "settings_windows_saved.ini";
    QTest::newRow("name beyond cp1252 turns the file into utf8")
        << "settings_windows.ini" << QStringLiteral("Hélène") << QStringLiteral("Łukasz")
        << "settings_windows_utf8_saved.ini";
    QTest::newRow("utf8 file with lf line ends") << "settings_unix.ini" << QStringLiteral("Łukasz")
                                                 << QStringLiteral("Łukasz")
                                                 << "settings_unix_saved.ini";
    QTest::newRow("no file yet") << QString() << "Joueur 1" << "Joueur 1"
                                 << "settings_new_saved.ini";
}

void tst_IniFile::golden()
{
    QFETCH(QString, input);
    QFETCH(QString, name1Before);
    QFETCH(QString, name1);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("FeuilleMatch.ini");
    if (!input.isEmpty()) {
        QVERIFY(writeBytes(path, readBytes(dataPath(input))));
        QCOMPARE(IniFile(path).toBytes(), readBytes(dataPath(input)));
    }

    IniFile ini(path);
    QCOMPARE(ini.readString("JOUEURS", "joueur1", "Joueur 1"), name1Before);
    writeAllSettings(ini, name1);
    ini.save();
    QCOMPARE(readBytes(path), readBytes(dataPath(expected)));

    const IniFile again(path);
    QCOMPARE(again.readString("JOUEURS", "joueur1", "DEF"), name1);
    QCOMPARE(again.readInteger("REMOTE", "KeyOK", 0), 38);
    QCOMPARE(again.readInteger("TEMPS", "InChrono", 0), 1);
}

void tst_IniFile::saveErrors_data()
{
    QTest::addColumn<QString>("name"); // inside a fresh temporary folder
    QTest::addColumn<bool>("makeFolder");
    QTest::newRow("path is a folder") << "FeuilleMatch.ini" << true;
    QTest::newRow("folder missing") << "absent/FeuilleMatch.ini" << false;
}

void tst_IniFile::saveErrors()
{
    QFETCH(QString, name);
    QFETCH(bool, makeFolder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    if (makeFolder)
        QVERIFY(QDir().mkpath(path));

    IniFile ini(path);
    ini.writeString("JOUEURS", "joueur1", QStringLiteral("Hélène"));
    ini.writeInteger("TEMPS", "Chrono1", -1000);
    try {
        ini.save();
        QFAIL("no error raised");
    } catch (const AppError &e) {
        QCOMPARE(e.message(), QStringLiteral("Impossible d'écrire dans %1").arg(path));
    }
    QCOMPARE(ini.readString("JOUEURS", "joueur1", "DEF"), QStringLiteral("Hélène"));
    QCOMPARE(ini.readInteger("TEMPS", "Chrono1", 0), -1000);
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
