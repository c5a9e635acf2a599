// The settings the operator changed survive a kill in the middle of the match: the real
// program makes the changes, is killed with SIGKILL (nothing runs at exit), and the
// settings file and a restarted window hold them.
#include "Dialogs.h"
#include "FeuilleMain2.h"
#include "IniFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class tst_SettingsKill : public QObject {
    Q_OBJECT
private slots:
    void killedAfterTheChange_keepsIt_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<QStringList>("expected"); // joueur1, joueur2, InChrono, Chrono1
        QTest::newRow("name edited") << 1 << QStringList{"Zoé Lefèvre", "Joueur 2", "0", "0"};
        QTest::newRow("names swapped") << 2 << QStringList{"Joueur 2", "Zoé Lefèvre", "0", "0"};
        QTest::newRow("timing mode chosen") << 3 << QStringList{"Joueur 2", "Zoé Lefèvre", "2", "0"};
        QTest::newRow("cumulative time corrected") << 4 << QStringList{"Joueur 2", "Zoé Lefèvre", "2", "180000"};
    }
    void killedAfterTheChange_keepsIt()
    {
        QFETCH(int, steps);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());

        QProcess driver;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        driver.setProcessEnvironment(env);
        driver.start(QStringLiteral(ZV_SETTINGS_DRIVER), {dir.path(), QString::number(steps)});
        QVERIFY2(driver.waitForStarted(10000), qPrintable(driver.errorString()));
        QByteArray out;
        QDeadlineTimer deadline(30000);
        while (!out.contains("ready\n") && driver.state() == QProcess::Running && !deadline.hasExpired()) {
            driver.waitForReadyRead(1000);
            out += driver.readAllStandardOutput();
        }
        QVERIFY2(out.contains("ready\n"), qPrintable(QString::fromUtf8(out + driver.readAllStandardError())));
        QVERIFY2(!out.contains("dialog "), qPrintable(QString::fromUtf8(out)));
        driver.kill(); // SIGKILL: no exit handling runs
        QVERIFY(driver.waitForFinished(10000));
        QCOMPARE(driver.exitStatus(), QProcess::CrashExit);

        const IniFile ini(QDir(dir.path()).filePath(QStringLiteral("FeuilleMatch.ini")));
        const auto value = [&](const char *section, const char *key) {
            return ini.value(QLatin1String(section), QLatin1String(key)).value_or(QStringLiteral("(absent)"));
        };
        QCOMPARE((QStringList{value("JOUEURS", "joueur1"), value("JOUEURS", "joueur2"), value("TEMPS", "InChrono"),
                              value("TEMPS", "Chrono1")}),
                 expected);

        // The restarted window shows them, and the run played before the kill.
        ScriptedDialogs dialogs;
        TMainFrmEnv windowEnv;
        windowEnv.documentsDir = dir.path();
        windowEnv.dialogs = &dialogs;
        TMainFrm w(windowEnv);
        QCOMPARE(w.Nom1Lbl->text(), expected[0]);
        QCOMPARE(w.Nom2Lbl->text(), expected[1]);
        QCOMPARE(w.btnClockSum->isChecked(), expected[2] == QLatin1String("2"));
        QCOMPARE(w.Chrono1(), expected[3].toLongLong());
        QCOMPARE(w.Feuille->rows().size(), size_t(1));
        QCOMPARE(w.Feuille->rows().front().pts[0], std::optional<qint32>(7));
    }
};

QTEST_MAIN(tst_SettingsKill)
#include "tst_settingskill.moc"
