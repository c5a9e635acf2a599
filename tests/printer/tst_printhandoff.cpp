// Where the print file and the print program are, and how the program is started.
#include "PrintHandoff.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestPrintHandoff : public QObject {
    Q_OBJECT

private slots:
    void printFilePath_data();
    void printFilePath();
    void printProgramPath_data();
    void printProgramPath();
    void startDetached_passesThePathAsOneArgument_data();
    void startDetached_passesThePathAsOneArgument();
    void startDetached_reportsAProgramThatCannotStart_data();
    void startDetached_reportsAProgramThatCannotStart();
};

void TestPrintHandoff::printFilePath_data()
{
    QTest::addColumn<QString>("backup");
    QTest::addColumn<QString>("expected");

    QTest::newRow("shared data folder") << "/var/lib/zelvano/FeuilleMatch.bin" << "/var/lib/zelvano/tmp.txt";
    QTest::newRow("folder with spaces and accents")
        << "/home/rémi/Mes documents/FeuilleMatch.bin" << "/home/rémi/Mes documents/tmp.txt";
    QTest::newRow("dots in the folder name") << "/srv/club.v2/FeuilleMatch.bin" << "/srv/club.v2/tmp.txt";
    QTest::newRow("relative folder") << "data/FeuilleMatch.bin" << "data/tmp.txt";
    QTest::newRow("root folder") << "/FeuilleMatch.bin" << "/tmp.txt";
    QTest::newRow("no folder part") << "FeuilleMatch.bin" << "tmp.txt";
    QTest::newRow("no extension") << "/var/lib/zelvano/FeuilleMatch" << "/var/lib/zelvano/tmp.txt";
    QTest::newRow("drive letter, forward slashes")
        << "C:/Users/Public/Documents/FeuilleMatch.bin" << "C:/Users/Public/Documents/tmp.txt";
#ifdef Q_OS_WIN
    QTest::newRow("backslashes are kept")
        << "C:\\Users\\Public\\Documents\\FeuilleMatch.bin" << "C:\\Users\\Public\\Documents\\tmp.txt";
    QTest::newRow("drive-relative") << "D:FeuilleMatch.bin" << "D:tmp.txt";
#else
    QTest::newRow("a backslash is part of a file name")
        << "/data/dossier\\FeuilleMatch.bin" << "/data/tmp.txt";
#endif
}

void TestPrintHandoff::printFilePath()
{
    QFETCH(QString, backup);
    QFETCH(QString, expected);
    QCOMPARE(PrintHandoff::printFilePath(backup), expected);
}

void TestPrintHandoff::printProgramPath_data()
{
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<QString>("expected");

#ifdef Q_OS_WIN
    const QString exe = QStringLiteral("ZelvanoPrn.exe");
#else
    const QString exe = QStringLiteral("ZelvanoPrn");
#endif
    QTest::newRow("installed") << "/usr/lib/zelvano" << "/usr/lib/zelvano/" + exe;
    QTest::newRow("folder with spaces") << "/opt/Zelvano Club/bin" << "/opt/Zelvano Club/bin/" + exe;
    QTest::newRow("root folder") << "/" << "/" + exe;
    QTest::newRow("unknown folder: never looked up on the PATH") << "" << "./" + exe;
}

void TestPrintHandoff::printProgramPath()
{
    QFETCH(QString, appDir);
    QFETCH(QString, expected);
    QCOMPARE(PrintHandoff::printProgramPath(appDir), expected);
}

void TestPrintHandoff::startDetached_passesThePathAsOneArgument_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("dataFolder");

    QTest::newRow("plain folders") << "bin" << "documents";
    QTest::newRow("print file in a folder with spaces") << "bin" << "dossier avec espaces";
    QTest::newRow("both in folders with spaces and accents") << "programme de r\u00e9f\u00e9rence"
                                                             << "dossier avec espaces/\u00e9t\u00e9 2024";
#ifndef Q_OS_WIN
    QTest::newRow("quotes and an apostrophe") << "bin" << "-l'\u00e9quipe \"A\"";
#endif
}

void TestPrintHandoff::startDetached_passesThePathAsOneArgument()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, dataFolder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The stand-in, installed under the print program's name in its own folder.
    const QString appDir = dir.filePath(programFolder);
    QVERIFY(QDir().mkpath(appDir));
    const QString program = PrintHandoff::printProgramPath(appDir);
    QVERIFY(QFile::copy(QStringLiteral(FAKE_PRINTER), program));
    QVERIFY(QFile::setPermissions(program, QFile::permissions(QStringLiteral(FAKE_PRINTER))));

    const QString documents = dir.filePath(dataFolder);
    QVERIFY(QDir().mkpath(documents));
    const QString printFile = PrintHandoff::printFilePath(documents + QStringLiteral("/FeuilleMatch.bin"));
    const QString record = dir.filePath(QStringLiteral("record.txt"));
    qputenv("ZV_FAKE_PRINTER_RECORD", QFile::encodeName(record));

    QVERIFY(PrintHandoff::startDetached(program, printFile));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 30000);

    QFile f(record);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines, (QStringList{QStringLiteral("1"), printFile, QString()}));
}

void TestPrintHandoff::startDetached_reportsAProgramThatCannotStart_data()
{
    QTest::addColumn<QString>("program");

    QTest::newRow("no print program beside us") << "missing/ZelvanoPrn";
    QTest::newRow("no program at all") << "";
    QTest::newRow("a folder") << ".";
}

void TestPrintHandoff::startDetached_reportsAProgramThatCannotStart()
{
    QFETCH(QString, program);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = program.isEmpty() ? program : dir.filePath(program);
    QVERIFY(!PrintHandoff::startDetached(path, dir.filePath(QStringLiteral("tmp.txt"))));
}

QTEST_GUILESS_MAIN(TestPrintHandoff)
#include "tst_printhandoff.moc"
