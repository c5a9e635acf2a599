// Live publishing through the window: the "Club :" settings, the header indicator, and the
// snapshots a real WebSocket server receives as the operator plays.
#include "LiveTestServer.h"
#include "WindowFixture.h"
#include "IniFile.h"
#include "InningsGridModel.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QLabel>

namespace {
LiveTimings quick()
{
    LiveTimings t;
    t.firstRetryMs = 50;
    t.maxRetryMs = 300;
    t.refusedRetryMs = 60000;
    t.answerTimeoutMs = 2000;
    return t;
}

TMainFrm &startQuick(WindowFixture &f)
{
    TMainFrmEnv e = f.env();
    e.liveTimings = quick();
    f.w = std::make_unique<TMainFrm>(e);
    f.w->setLocaleForTexts(QLocale::c());
    return *f.w;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray clubIni(quint16 port, int direct = 1, const QByteArray &cle = {})
{
    return "[JOUEURS]\r\njoueur1=Jean\r\njoueur2=Paul\r\n[CLUB]\r\nServeur=127.0.0.1\r\nPort=" + QByteArray::number(port)
        + "\r\nTable=Billard 1\r\nDirect=" + QByteArray::number(direct) + "\r\nCle=" + cle + "\r\n";
}

QList<int> ints(const QJsonValue &v)
{
    QList<int> out;
    for (const QJsonValue &x : v.toArray())
        out << (x.isNull() ? -1 : x.toInt());
    return out;
}

void finishEdit(QLineEdit *e, const QString &text)
{
    e->setText(text);
    emit e->editingFinished();
}
} // namespace

class tst_window_live : public QObject {
    Q_OBJECT
private slots:
    void noClubSection_noPublisherNoIndicatorNothingWritten()
    {
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), "[JOUEURS]\r\njoueur1=Jean\r\n");
        TMainFrm &w = startQuick(f);
        QVERIFY(w.findChild<QWidget *>(QStringLiteral("LayoutClub")));
        QCOMPARE(w.Live, nullptr); // no connection attempt can be made
        QVERIFY(w.lblDirect->isHidden());
        QCOMPARE(w.EditClubPort->text(), QStringLiteral("8080"));
        QVERIFY(!w.CheckDirect->isChecked());
        // Tabbing through the empty fields sets nothing up.
        for (QLineEdit *e : {w.EditClubServeur, w.EditClubPort, w.EditClubTable, w.EditClubCle})
            emit e->editingFinished();
        f.play({3, 4});
        QApplication::processEvents();
        QCOMPARE(w.Live, nullptr);
        f.w.reset(); // writes the settings
        const QByteArray ini = readAll(f.path(QStringLiteral("FeuilleMatch.ini")));
        QVERIFY(ini.contains("joueur1=Jean"));
        QVERIFY2(!ini.contains("CLUB"), ini.constData());
        QCOMPARE(f.dialogs.count(), 0);
    }

    void settings_readIntoTheFields_andWrittenBack()
    {
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")),
                 "[CLUB]\r\nServeur=club.local\r\nPort=9090\r\nTable=Billard 3\r\nDirect=0\r\nCle=s3cret\r\n");
        TMainFrm &w = startQuick(f);
        QCOMPARE(w.EditClubServeur->text(), QStringLiteral("club.local"));
        QCOMPARE(w.EditClubPort->text(), QStringLiteral("9090"));
        QCOMPARE(w.EditClubTable->text(), QStringLiteral("Billard 3"));
        QCOMPARE(w.EditClubCle->text(), QStringLiteral("s3cret"));
        QCOMPARE(w.EditClubCle->echoMode(), QLineEdit::Password);
        QVERIFY(!w.CheckDirect->isChecked());
        QVERIFY(w.Live);
        QCOMPARE(w.Live->state(), LiveState::Off);
        QCOMPARE(w.Live->attempts(), 0); // "Direct" 0: no connection
        QVERIFY(w.lblDirect->isHidden());
        f.w.reset();
        const QByteArray ini = readAll(f.path(QStringLiteral("FeuilleMatch.ini")));
        for (const char *line : {"Serveur=club.local", "Port=9090", "Table=Billard 3", "Direct=0", "Cle=s3cret"})
            QVERIFY2(ini.contains(line), line);
    }

    void settings_unusablePortInTheFile_givesTheDefault()
    {
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), "[CLUB]\r\nServeur=x\r\nPort=70000\r\n");
        TMainFrm &w = startQuick(f);
        QCOMPARE(w.EditClubPort->text(), QStringLiteral("8080"));
    }

    void operatorChange_isWrittenAtOnce()
    {
        WindowFixture f;
        TMainFrm &w = startQuick(f);
        finishEdit(w.EditClubServeur, QStringLiteral(" 10.0.0.9 "));
        QByteArray ini = readAll(f.path(QStringLiteral("FeuilleMatch.ini")));
        QVERIFY2(ini.contains("[CLUB]") && ini.contains("Serveur=10.0.0.9") && ini.contains("Port=8080")
                     && ini.contains("Direct=0"),
                 ini.constData());
        QVERIFY(w.Live);
        QCOMPARE(w.Live->attempts(), 0);
        finishEdit(w.EditClubTable, QStringLiteral("Billard 2"));
        finishEdit(w.EditClubCle, QStringLiteral("clé"));
        ini = readAll(f.path(QStringLiteral("FeuilleMatch.ini")));
        QVERIFY2(ini.contains("Table=Billard 2"), ini.constData());
        IniFile read(f.path(QStringLiteral("FeuilleMatch.ini")));
        QCOMPARE(read.readString(QStringLiteral("CLUB"), QStringLiteral("Cle"), {}), QStringLiteral("clé"));
        QCOMPARE(f.dialogs.count(), 0);
    }

    void badPort_frenchMessage_textKept_portInUseKept_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << QStringLiteral("80a0");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("beyond 65535") << QStringLiteral("70000");
        QTest::newRow("empty") << QString();
        QTest::newRow("negative") << QStringLiteral("-1");
    }
    void badPort_frenchMessage_textKept_portInUseKept()
    {
        QFETCH(QString, text);
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), clubIni(9100, 0));
        TMainFrm &w = startQuick(f);
        finishEdit(w.EditClubPort, text);
        QCOMPARE(f.dialogs.count(), 1);
        QCOMPARE(f.dialogs.last()->kind, DlgKind::Error);
        QCOMPARE(f.dialogs.last()->text,
                 QStringLiteral("Le port du serveur club doit être un nombre entier de 1 à 65535 : « %1 » ne "
                                "convient pas.\nLe port 9100 reste en service.")
                     .arg(text));
        QCOMPARE(w.EditClubPort->text(), text); // nothing typed is lost
        emit w.EditClubPort->editingFinished(); // the same text again: not reported twice
        QCOMPARE(f.dialogs.count(), 1);
        QVERIFY(readAll(f.path(QStringLiteral("FeuilleMatch.ini"))).contains("Port=9100"));
        finishEdit(w.EditClubPort, QStringLiteral(" 9200 "));
        QCOMPARE(f.dialogs.count(), 1);
        QVERIFY(readAll(f.path(QStringLiteral("FeuilleMatch.ini"))).contains("Port=9200"));
    }

    void validation_sendsTheNewTotals()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), clubIni(server.port()));
        TMainFrm &w = startQuick(f);
        QVERIFY(w.CheckDirect->isChecked());
        QVERIFY(!w.lblDirect->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(w.Live->state(), LiveState::Live, 5000);
        QCOMPARE(w.lblDirect->text(), QStringLiteral("● En direct"));
        QVERIFY2(w.lblDirect->toolTip().contains(QStringLiteral("Billard 1")), qPrintable(w.lblDirect->toolTip()));
        QCOMPARE(server.hellos.size(), 1);
        QCOMPARE(server.hellos.first().value(QStringLiteral("table")).toString(), QStringLiteral("Billard 1"));
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);
        QCOMPARE(server.lastSnapshot().value(QStringLiteral("names")).toArray(), QJsonArray({"Jean", "Paul"}));
        QCOMPARE(server.lastSnapshot().value(QStringLiteral("run")), QJsonValue(QJsonValue::Null));

        f.type(QStringLiteral("7"));
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 2, 5000);
        QCOMPARE(server.lastSnapshot().value(QStringLiteral("run")).toInt(), 7);

        f.key(Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 3, 5000);
        QJsonObject s = server.lastSnapshot();
        QCOMPARE(ints(s.value(QStringLiteral("totals"))), QList<int>({7, 0}));
        QCOMPARE(s.value(QStringLiteral("turn")).toInt(), 2);
        QCOMPARE(s.value(QStringLiteral("innings")).toInt(), 1);
        QCOMPARE(s.value(QStringLiteral("run")), QJsonValue(QJsonValue::Null));
        QCOMPARE(s.value(QStringLiteral("time")).toString(), QStringLiteral("2016-03-05T14:05:00"));

        // Player 2's validation posts the run and the next inning: one snapshot, with the turn.
        // The digit and the Enter come in one turn of the event loop here: one snapshot.
        f.type(QStringLiteral("4\n"));
        QTRY_VERIFY_WITH_TIMEOUT(ints(server.lastSnapshot().value(QStringLiteral("totals"))) == QList<int>({7, 4}), 5000);
        QTest::qWait(50);
        s = server.lastSnapshot();
        QCOMPARE(server.snapshots.size(), 4);
        QCOMPARE(s.value(QStringLiteral("turn")).toInt(), 1);
        QCOMPARE(ints(s.value(QStringLiteral("last"))), QList<int>({7, 4}));
        QCOMPARE(ints(s.value(QStringLiteral("best"))), QList<int>({7, 4}));
        QCOMPARE(s.value(QStringLiteral("averages")).toArray(), QJsonArray({7.0, 4.0}));
        QCOMPARE(s.value(QStringLiteral("generalAverage")).toDouble(), 5.5);
        QCOMPARE(s.value(QStringLiteral("seq")).toInt(), 4);
        QCOMPARE(w.Total2Lbl->text(), QStringLiteral("4"));
    }

    void everyKindOfChange_publishes()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), clubIni(server.port()));
        TMainFrm &w = startQuick(f);
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);
        auto last = [&] { return server.lastSnapshot(); };

        f.key(Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+")); // a point
        QTRY_COMPARE_WITH_TIMEOUT(last().value(QStringLiteral("run")).toInt(), 1, 5000);
        f.key(Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(ints(last().value(QStringLiteral("totals"))), QList<int>({1, 0}), 5000);
        f.key(Qt::Key_Backspace); // undo
        QTRY_COMPARE_WITH_TIMEOUT(ints(last().value(QStringLiteral("totals"))), QList<int>({0, 0}), 5000);
        QCOMPARE(last().value(QStringLiteral("turn")).toInt(), 1);

        f.dialogs.inputAnswers.push_back({true, {QStringLiteral("Jérôme")}});
        w.guard([&] { w.Nom1LblClick(w.Nom1Lbl); }); // as the label's click runs it
        QTRY_COMPARE_WITH_TIMEOUT(last().value(QStringLiteral("names")).toArray().at(0).toString(), QStringLiteral("Jérôme"), 5000);

        f.key(Qt::Key_F3); // names swapped on the first inning
        QTRY_COMPARE_WITH_TIMEOUT(last().value(QStringLiteral("names")).toArray(), QJsonArray({"Paul", "Jérôme"}), 5000);

        // Timing with the cumulative times shown.
        QVERIFY(last().value(QStringLiteral("lapMs")).isNull());
        QVERIFY(last().value(QStringLiteral("chronoMs")).isNull());
        w.btnClockSum->click();
        QTRY_VERIFY_WITH_TIMEOUT(last().value(QStringLiteral("chronoMs")).isArray(), 5000);
        QCOMPARE(last().value(QStringLiteral("lapMs")).toInt(), 0);
        f.key(Qt::Key_Asterisk, Qt::NoModifier, QStringLiteral("*")); // resume the lap
        f.clockMs += 4000;
        // The run timer's tick publishes the lap.
        QTRY_COMPARE_WITH_TIMEOUT(last().value(QStringLiteral("lapMs")).toInt(), 4000, 5000);
        f.key(Qt::Key_Asterisk, Qt::NoModifier, QStringLiteral("*")); // pause
        f.dialogs.inputAnswers.push_back({true, {QStringLiteral("2"), QStringLiteral("30")}});
        w.guard([&] { w.Chrono1LblClick(w.Chrono1Lbl); });
        QTRY_COMPARE_WITH_TIMEOUT(ints(last().value(QStringLiteral("chronoMs"))), QList<int>({150000, 0}), 5000);

        // A grid edit on the utilities page goes through the after-change chain.
        f.play({5});
        QTRY_COMPARE_WITH_TIMEOUT(ints(last().value(QStringLiteral("totals"))), QList<int>({5, 0}), 5000);
        QVERIFY(w.gridModel->setData(w.gridModel->index(0, 1), 9, Qt::EditRole));
        QTRY_COMPARE_WITH_TIMEOUT(ints(last().value(QStringLiteral("totals"))), QList<int>({9, 0}), 5000);

        // A new match.
        f.dialogs.answers.push_back(DlgButton::Yes);
        f.key(Qt::Key_F2);
        QTRY_COMPARE_WITH_TIMEOUT(ints(last().value(QStringLiteral("totals"))), QList<int>({0, 0}), 5000);
        QCOMPARE(ints(last().value(QStringLiteral("chronoMs"))), QList<int>({0, 0}));

        // Nothing changed: nothing sent.
        const int before = server.snapshots.size();
        w.guard([] {});
        QTest::qWait(50);
        QCOMPARE(server.snapshots.size(), before);
    }

    void serverStoppedAndRestarted_liveAgainWithin5s()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        const quint16 port = server.port();
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), clubIni(port));
        TMainFrm &w = startQuick(f);
        QTRY_COMPARE_WITH_TIMEOUT(w.Live->state(), LiveState::Live, 5000);

        server.stop();
        QTRY_COMPARE_WITH_TIMEOUT(w.lblDirect->text(), QStringLiteral("● Hors ligne"), 5000);
        QVERIFY2(w.lblDirect->toolTip().contains(QStringLiteral("injoignable")), qPrintable(w.lblDirect->toolTip()));
        // The match goes on as if nothing happened.
        f.play({6, 2, 3});
        QCOMPARE(f.savedSheet(), QStringLiteral("(6,2) (3,-)"));
        QCOMPARE(w.Total1Lbl->text(), QStringLiteral("9"));
        QCOMPARE(f.dialogs.count(), 0);
        const int before = server.snapshots.size();

        QVERIFY(server.listen(port));
        QTRY_COMPARE_WITH_TIMEOUT(w.Live->state(), LiveState::Live, 5000);
        QCOMPARE(w.lblDirect->text(), QStringLiteral("● En direct"));
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), before + 1, 5000);
        QCOMPARE(ints(server.lastSnapshot().value(QStringLiteral("totals"))), QList<int>({9, 2}));
        QCOMPARE(server.lastSnapshot().value(QStringLiteral("turn")).toInt(), 2);
    }

    void refused_indicatorShowsTheFrenchReason()
    {
        LiveTestServer server;
        server.answer = LiveTestServer::Answer::Refuse;
        QVERIFY(server.listen());
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), clubIni(server.port(), 1, "faux"));
        TMainFrm &w = startQuick(f);
        QTRY_COMPARE_WITH_TIMEOUT(w.lblDirect->text(), QStringLiteral("● Direct refusé"), 5000);
        QCOMPARE(w.lblDirect->toolTip(), QStringLiteral("Refusé par le serveur club : Clé du club incorrecte"));
        QCOMPARE(w.lblClubEtat->text(), w.lblDirect->toolTip());
        QCOMPARE(server.hellos.first().value(QStringLiteral("key")).toString(), QStringLiteral("faux"));
        QCOMPARE(server.snapshots.size(), 0);
    }

    void directUnticked_stopsPublishing_andTickedAgainStartsWithTheCurrentSheet()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")), clubIni(server.port()));
        TMainFrm &w = startQuick(f);
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);
        w.CheckDirect->setChecked(false);
        QCOMPARE(w.Live->state(), LiveState::Off);
        QVERIFY(w.lblDirect->isHidden());
        QVERIFY(readAll(f.path(QStringLiteral("FeuilleMatch.ini"))).contains("Direct=0"));
        f.play({8});
        QTest::qWait(100);
        QCOMPARE(server.snapshots.size(), 1);
        w.CheckDirect->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 2, 5000);
        QCOMPARE(ints(server.lastSnapshot().value(QStringLiteral("totals"))), QList<int>({8, 0}));
        QCOMPARE(server.connections, 2);
    }

    void matchRulesAndShotClock_arePublished()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")),
                 clubIni(server.port())
                     + "[MATCH]\r\nDiscipline=Libre\r\nDistance1=10\r\nDistance2=10\r\nEgalisation=1\r\n");
        TMainFrm &w = startQuick(f);
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);
        QJsonObject m = server.lastSnapshot().value(QStringLiteral("match")).toObject();
        QCOMPARE(m.value(QStringLiteral("active")).toBool(), true);
        QCOMPARE(m.value(QStringLiteral("state")).toString(), QStringLiteral("inplay"));
        QCOMPARE(ints(m.value(QStringLiteral("distances"))), QList<int>({10, 10}));
        QCOMPARE(m.value(QStringLiteral("limit")), QJsonValue(QJsonValue::Null));
        QCOMPARE(ints(m.value(QStringLiteral("remaining"))), QList<int>({10, 10}));
        QCOMPARE(m.value(QStringLiteral("result")), QJsonValue(QJsonValue::Null));
        QVERIFY(server.lastSnapshot().value(QStringLiteral("shotClock")).isNull());

        f.play({10});
        QTRY_COMPARE_WITH_TIMEOUT(server.lastSnapshot().value(QStringLiteral("match")).toObject().value(QStringLiteral("state")).toString(),
                                  QStringLiteral("equalizing"), 5000);
        f.play({3});
        QTRY_COMPARE_WITH_TIMEOUT(server.lastSnapshot().value(QStringLiteral("match")).toObject().value(QStringLiteral("state")).toString(),
                                  QStringLiteral("finished"), 5000);
        m = server.lastSnapshot().value(QStringLiteral("match")).toObject();
        QCOMPARE(ints(m.value(QStringLiteral("remaining"))), QList<int>({0, 7}));
        const QJsonObject result = m.value(QStringLiteral("result")).toObject();
        QCOMPARE(result.value(QStringLiteral("winner")).toInt(), 1);
        QCOMPARE(ints(result.value(QStringLiteral("points"))), QList<int>({2, 0}));
        QCOMPARE(result.value(QStringLiteral("text")).toString(), QStringLiteral("Victoire de Jean"));

        // An undo reopens the match: derived again, published again.
        f.key(Qt::Key_Backspace);
        QTRY_COMPARE_WITH_TIMEOUT(server.lastSnapshot().value(QStringLiteral("match")).toObject().value(QStringLiteral("state")).toString(),
                                  QStringLiteral("equalizing"), 5000);
        (void)w;
    }

    void shotClock_isPublishedWhileTimingIsOn()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        WindowFixture f;
        writeAll(f.path(QStringLiteral("FeuilleMatch.ini")),
                 clubIni(server.port()) + "[TEMPS]\r\nInChrono=1\r\n[MATCH]\r\nTempsCoup=40\r\nProlongations=2\r\n");
        TMainFrm &w = startQuick(f);
        QTRY_VERIFY_WITH_TIMEOUT(server.lastSnapshot().value(QStringLiteral("shotClock")).isObject(), 5000);
        const QJsonObject shot = server.lastSnapshot().value(QStringLiteral("shotClock")).toObject();
        QCOMPARE(shot.value(QStringLiteral("left")).toInt(), 40);
        QCOMPARE(shot.value(QStringLiteral("warning")).toBool(), false);
        QCOMPARE(ints(shot.value(QStringLiteral("extensions"))), QList<int>({2, 2}));
        QCOMPARE(server.lastSnapshot().value(QStringLiteral("match")).toObject().value(QStringLiteral("active")).toBool(), false);
        w.btnClock->click(); // timing off: no shot clock
        QTRY_VERIFY_WITH_TIMEOUT(server.lastSnapshot().value(QStringLiteral("shotClock")).isNull(), 5000);
    }
};

QTEST_MAIN(tst_window_live)
#include "tst_window_live.moc"
