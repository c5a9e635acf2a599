// Settings file, history, print hand-off and network sending, through the window.
#include "WindowFixture.h"
#include "IniFile.h"

#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>
#include <future>
#include <thread>

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A one-connection server on 127.0.0.1 in its own thread: the window's sending blocks.
class OneShotServer {
public:
    OneShotServer()
    {
        std::promise<quint16> ready;
        auto port = ready.get_future();
        m_thread = std::thread([this, &ready] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            ready.set_value(server.serverPort());
            if (!server.waitForNewConnection(10000))
                return;
            QTcpSocket *s = server.nextPendingConnection();
            while (s->state() == QAbstractSocket::ConnectedState && s->waitForReadyRead(5000))
                m_received += s->readAll();
            m_received += s->readAll();
            delete s;
        });
        m_port = port.get();
    }
    ~OneShotServer()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    quint16 port() const { return m_port; }
    QByteArray received()
    {
        m_thread.join();
        return m_received;
    }

private:
    std::thread m_thread;
    quint16 m_port = 0;
    QByteArray m_received;
};

quint16 refusedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort(); // closed again when s goes
}
}

using Change = std::function<void(WindowFixture &)>;
Q_DECLARE_METATYPE(Change)

class tst_window_records : public QObject {
    Q_OBJECT
private slots:
    void settings_defaultsWithoutAFile()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        QCOMPARE(QList<int>({w.KeyPlus(), w.KeyMoins(), w.KeyOK(), w.KeyChrono()}), QList<int>({37, 39, 38, 40}));
        QCOMPARE(w.Nom1Lbl->text(), QStringLiteral("Joueur 1"));
        QCOMPARE(w.Nom2Lbl->text(), QStringLiteral("Joueur 2"));
        QCOMPARE(w.Chrono1Lbl->text(), QStringLiteral("00:00"));
        QCOMPARE(w.EditHost->text(), QStringLiteral("192.168.1.20"));
        QCOMPARE(w.EditPort->text(), QStringLiteral("50000"));
        QVERIFY(!w.btnClock->isChecked() && !w.btnClockSum->isChecked());
        QVERIFY(!w.Serie->EnabledChrono());
    }

    void settings_areRead_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("expected"); // KeyPlus KeyOK name1 name2 Chrono1 host port clock sum
        QTest::newRow("hex, wrapped codes and timing on")
            << QByteArray("[REMOTE]\r\nKeyPlus=0x26\r\nKeyOK=65573\r\n[JOUEURS]\r\njoueur1=H\xE9l\xE8ne\r\n"
                          "joueur2=\r\n[TEMPS]\r\nChrono1=-1000\r\nInChrono=1\r\n[WIFI]\r\nhost=club.local\r\n"
                          "port=$C350\r\n")
            << QStringList{"38", "37", "Hélène", "", "00:-01", "club.local", "$C350", "1", "0"};
        QTest::newRow("garbage and out-of-range values give the defaults")
            << QByteArray("[remote]\nkeyplus=abc\nKeyOK=-1\n[temps]\nInChrono=3\nChrono1=\n")
            << QStringList{"37", "65535", "Joueur 1", "Joueur 2", "00:00", "192.168.1.20", "50000", "0", "0"};
        QTest::newRow("sums mode") << QByteArray("[TEMPS]\r\nInChrono=2\r\nChrono1=3725400\r\n")
                                   << QStringList{"37", "38", "Joueur 1", "Joueur 2", "62:05", "192.168.1.20", "50000",
                                                  "0", "1"};
    }
    void settings_areRead()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, expected);
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), ini);
        TMainFrm &w = f.start();
        const QStringList actual{QString::number(w.KeyPlus()), QString::number(w.KeyOK()), w.Nom1Lbl->text(),
                                 w.Nom2Lbl->text(), w.Chrono1Lbl->text(), w.EditHost->text(), w.EditPort->text(),
                                 QString::number(w.btnClock->isChecked()), QString::number(w.btnClockSum->isChecked())};
        QCOMPARE(actual, expected);
        QCOMPARE(w.RadioOK->text(), QStringLiteral("OK (%1)").arg(expected[1]));
        QCOMPARE(w.Serie->EnabledChrono(), expected[7] == "1" || expected[8] == "1");
        QVERIFY(w.Serie->PausedChrono());
        QCOMPARE(w.Chrono1Lbl->isHidden(), expected[8] != "1");
    }

    void settings_surviveARestart()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        w.Nom1Lbl->setText(QStringLiteral(" Zoé; a=b, c"));
        w.setKeyChrono(34);
        w.setChrono2(qint64(1) << 31);
        w.EditHost->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(w.btnClockSum, Qt::LeftButton);
        f.restart(); // closing writes the settings
        QCOMPARE(f.w->Nom1Lbl->text(), QStringLiteral(" Zoé; a=b, c"));
        QCOMPARE(f.w->KeyChrono(), 34);
        QCOMPARE(f.w->Chrono2(), -(qint64(1) << 31)); // the file keeps 32 bits
        QCOMPARE(f.w->EditHost->text(), QStringLiteral("127.0.0.1"));
        QVERIFY(f.w->btnClockSum->isChecked());
    }

    // What the operator types reaches the file at once, not only at exit: a crash in the
    // middle of a match must not bring the old names back.
    void settings_writtenRightAfterTheChange_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("name edited") << Change([](WindowFixture &f) {
            f.dialogs.inputAnswers = {{true, {QStringLiteral("Zoé Lefèvre")}}};
            QTest::mouseClick(f.w->Nom2Lbl, Qt::LeftButton);
        }) << "JOUEURS" << "joueur2" << "Zoé Lefèvre";
        QTest::newRow("names swapped") << Change([](WindowFixture &f) {
            f.key(Qt::Key_F3);
        }) << "JOUEURS" << "joueur1" << "Joueur 2";
        QTest::newRow("cumulative time corrected") << Change([](WindowFixture &f) {
            f.dialogs.inputAnswers = {{true, {QStringLiteral("2"), QStringLiteral("5")}}};
            QTest::mouseClick(f.w->Chrono2Lbl, Qt::LeftButton);
        }) << "TEMPS" << "Chrono2" << "125000";
        QTest::newRow("timing mode chosen") << Change([](WindowFixture &f) {
            QTest::mouseClick(f.w->btnClock, Qt::LeftButton);
        }) << "TEMPS" << "InChrono" << "1";
        QTest::newRow("timing switched off") << Change([](WindowFixture &f) {
            QTest::mouseClick(f.w->btnClockSum, Qt::LeftButton); // pressed at start: released
        }) << "TEMPS" << "InChrono" << "0";
    }
    void settings_writtenRightAfterTheChange()
    {
        QFETCH(Change, change);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), "[TEMPS]\r\nInChrono=2\r\n");
        f.start();
        f.w->show();
        change(f);
        QVERIFY(f.dialogs.inputAnswers.empty()); // the dialog the change needs was shown
        const IniFile ini(f.path(QStringLiteral("FeuilleMatch.ini")));
        QCOMPARE(ini.value(section, key).value_or(QStringLiteral("(absent)")), value);
        for (const auto &d : f.dialogs.shown)
            QVERIFY2(d.kind != DlgKind::Error || d.isInput, qPrintable(d.text));
    }

    void settings_unwritable_showsTheMessage()
    {
        WindowFixture f;
        f.start();
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("FeuilleMatch.ini")));
        f.w->close();
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("Impossible d'écrire dans %1").arg(f.path("FeuilleMatch.ini")));
    }

    void history_warnsPast2000Entries_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<bool>("warned");
        QTest::newRow("2000 after the archive") << 1997 << false;
        QTest::newRow("2001 after the archive") << 1998 << true;
    }
    void history_warnsPast2000Entries()
    {
        QFETCH(int, existing);
        QFETCH(bool, warned);
        WindowFixture f;
        QByteArray lines;
        for (int i = 0; i < existing; ++i)
            lines += "x\r\n";
        const QString history = f.path(QStringLiteral("FeuilleMatch.txt"));
        writeAll(history, lines);
        f.start();
        f.play({5, 6}); // a sheet of three entries
        f.dialogs.answers = {DlgButton::Yes};
        f.key(Qt::Key_F2);
        QCOMPARE(f.dialogs.count(), warned ? 2 : 1);
        if (warned) {
            QCOMPARE(f.dialogs.last()->kind, DlgKind::Warning);
            QCOMPARE(f.dialogs.last()->text,
                     QStringLiteral("Le fichier historique :\r\n%1\r\ncontient 2001 lignes\r\naprès la compétition en cours "
                                    "faites en une copie et supprimez le de l'emplacement actuel")
                         .arg(history));
        }
        QCOMPARE(f.sheet(), QStringLiteral("(-,-)"));
    }

    void print_handsTheSheetToThePrintProgram()
    {
        WindowFixture f;
        const QString docs = f.path(QStringLiteral("dossier avec espaces"));
        const QString bin = f.path(QStringLiteral("programme"));
        QVERIFY(QDir().mkpath(docs) && QDir().mkpath(bin));
        QVERIFY(QFile::copy(QStringLiteral(FAKE_PRN), bin + QStringLiteral("/ZelvanoPrn")));
        TMainFrmEnv env = f.env();
        env.documentsDir = docs;
        env.applicationDir = bin;
        f.w = std::make_unique<TMainFrm>(env);
        f.w->Feuille->last();
        QTest::mouseClick(f.w->btnPrint, Qt::LeftButton);
        const QString printFile = docs + QStringLiteral("/tmp.txt");
        QCOMPARE(readAll(printFile), QByteArray("Joueur 1\tJoueur 2\t05/03/2016 14:05\r\r\n\t\r\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(docs + QStringLiteral("/args.txt")), 10000);
        QCOMPARE(readAll(docs + QStringLiteral("/args.txt")), "1\n" + printFile.toUtf8() + "\n");
        QCOMPARE(f.w->Feuille->recNo(), f.w->Feuille->recordCount());
    }

    void print_emptySheet_isRefused()
    {
        WindowFixture f;
        f.start();
        QTest::mouseClick(f.w->btnAffichTabTools, Qt::LeftButton);
        f.dialogs.answers = {DlgButton::Yes};
        QTest::mouseClick(f.w->btnDel, Qt::LeftButton);
        QTest::mouseClick(f.w->btnPrint, Qt::LeftButton);
        QCOMPARE(f.dialogs.last()->text, QStringLiteral("La feuille en cours est vide"));
        QVERIFY(!QFile::exists(f.path(QStringLiteral("tmp.txt"))));
    }

    void send_currentSheet_byteForByte()
    {
        WindowFixture f;
        TMainFrm &w = f.start();
        w.Nom2Lbl->setText(QStringLiteral("Joueur Hélène"));
        f.play({12, 7});
        OneShotServer server;
        w.EditHost->setText(QStringLiteral("127.0.0.1"));
        w.EditPort->setText(QString::number(server.port()));
        QTest::mouseClick(w.btnprintFeuille, Qt::LeftButton);
        QCOMPARE(f.dialogs.count(), 0);
        QCOMPARE(server.received(), QByteArray("\x00\x00\x00\x03"
                                               "Joueur 1\tJoueur H?l?ne\t05/03/2016 14:05\r\r\n"
                                               "12\t7\r\r\n\t\r\r\n",
                                               4 + 42 + 7 + 4));
        QVERIFY(readAll(f.path(QStringLiteral("FeuilleMatch.ini"))).contains("host=127.0.0.1"));
    }

    void send_history_data()
    {
        QTest::addColumn<int>("archives");
        QTest::addColumn<quint32>("count");
        QTest::newRow("empty history file") << 0 << 0u;
        QTest::newRow("two archives of three entries") << 2 << 12u;
    }
    void send_history()
    {
        QFETCH(int, archives);
        QFETCH(quint32, count);
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.txt")), QByteArray());
        TMainFrm &w = f.start();
        for (int i = 0; i < archives; ++i) {
            f.play({1, 2});
            f.dialogs.answers = {DlgButton::Yes};
            f.key(Qt::Key_F2);
        }
        QCOMPARE(f.dialogs.count(), archives);
        OneShotServer server;
        w.EditHost->setText(QStringLiteral("127.0.0.1"));
        w.EditPort->setText(QStringLiteral("  ") + QString::number(server.port()));
        QTest::mouseClick(w.btnAffichTabTools, Qt::LeftButton);
        w.RadioFeuillesArchive->setChecked(true);
        QTest::mouseClick(w.btnprintFeuille, Qt::LeftButton);
        QCOMPARE(f.dialogs.count(), archives);
        const QByteArray got = server.received();
        QVERIFY(got.size() >= 4);
        QCOMPARE(quint32(quint8(got[0])) << 24 | quint32(quint8(got[1])) << 16 | quint32(quint8(got[2])) << 8
                     | quint32(quint8(got[3])),
                 count);
        QCOMPARE(got.count("\r\n"), int(count));
    }

    void send_errors_data()
    {
        QTest::addColumn<bool>("archive");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("message"); // start of the message shown
        QTest::newRow("no history file") << true << "50000" << "Aucune archive disponible";
        QTest::newRow("bad port") << false << "5OOOO" << "'5OOOO' n'est pas une valeur entière correcte";
        QTest::newRow("empty port") << false << "" << "'' n'est pas une valeur entière correcte";
        QTest::newRow("port 65536 is port 0") << false << "65536" << "Le port 0";
        QTest::newRow("refused") << false << QString::number(refusedPort()) << "Connexion refusée";
    }
    void send_errors()
    {
        QFETCH(bool, archive);
        QFETCH(QString, port);
        QFETCH(QString, message);
        WindowFixture f;
        TMainFrm &w = f.start();
        w.EditHost->setText(QStringLiteral("127.0.0.1"));
        w.EditPort->setText(port);
        w.RadioFeuillesArchive->setChecked(archive);
        QTest::mouseClick(w.btnprintFeuille, Qt::LeftButton);
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->kind, DlgKind::Error);
        QVERIFY2(f.dialogs.last()->text.startsWith(message), qPrintable(f.dialogs.last()->text));
        QVERIFY(!QFile::exists(f.path(QStringLiteral("FeuilleMatch.ini"))));
    }
};

QTEST_MAIN(tst_window_records)
#include "tst_window_records.moc"
