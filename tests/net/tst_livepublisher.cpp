// The live publisher against a real WebSocket server on 127.0.0.1, in the test's thread.
#include "LivePublisher.h"
#include "LiveTestServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

Q_DECLARE_METATYPE(LiveSnapshot)

namespace {
// Short delays so the tests run quickly; the logic is the same as with the real ones.
LiveTimings quick()
{
    LiveTimings t;
    t.firstRetryMs = 50;
    t.maxRetryMs = 200;
    t.refusedRetryMs = 400;
    t.answerTimeoutMs = 400;
    return t;
}

LiveSnapshot snap(qint64 total1, qint64 total2 = 0)
{
    LiveSnapshot s;
    s.table = QStringLiteral("Billard 1");
    s.time = QDateTime(QDate(2026, 12, 11), QTime(15, 4, 5));
    s.names[0] = QStringLiteral("Jean");
    s.names[1] = QStringLiteral("Paul");
    s.totals[0] = total1;
    s.totals[1] = total2;
    return s;
}

qint64 total1(const QJsonObject &o)
{
    return qint64(o.value(QStringLiteral("totals")).toArray().at(0).toDouble());
}

quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort(); // closed again when s goes
}

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}
} // namespace

class tst_livepublisher : public QObject {
    Q_OBJECT
private slots:
    // --- the snapshot as JSON -----------------------------------------------------------

    void average_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("innings");
        QTest::addColumn<double>("expected");
        QTest::newRow("exact half rounds up: 1 over 16") << qint64(1) << qint64(16) << 0.063;
        QTest::newRow("7 over 3") << qint64(7) << qint64(3) << 2.333;
        QTest::newRow("2 over 3") << qint64(2) << qint64(3) << 0.667;
        QTest::newRow("binary would round down: 4001 over 2000") << qint64(4001) << qint64(2000) << 2.001;
        QTest::newRow("no inning played") << qint64(5) << qint64(0) << 0.0;
        QTest::newRow("nothing at all") << qint64(0) << qint64(0) << 0.0;
    }
    void average()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, innings);
        QFETCH(double, expected);
        QCOMPARE(LiveJson::average(total, innings), expected);
    }

    void snapshotJson_data()
    {
        QTest::addColumn<LiveSnapshot>("snapshot");
        QTest::addColumn<QJsonObject>("expected");

        LiveSnapshot fresh;
        fresh.table = QStringLiteral("Billard 1");
        fresh.time = QDateTime(QDate(2026, 12, 11), QTime(15, 4, 5));
        fresh.names[0] = QStringLiteral("Joueur 1");
        fresh.names[1] = QStringLiteral("Joueur 2");
        QTest::newRow("fresh sheet: nulls where the scoreboard shows nothing")
            << fresh
            << json(R"({"type":"snapshot","version":1,"seq":7,"table":"Billard 1","time":"2026-12-11T15:04:05",
                        "names":["Joueur 1","Joueur 2"],"totals":[0,0],"innings":0,"averages":[0,0],
                        "generalAverage":0,"best":[null,null],"last":[null,null],"run":null,"turn":1,
                        "lapMs":null,"chronoMs":null,"shotClock":null,"match":{"active":false}})");

        LiveSnapshot play = fresh;
        play.names[0] = QStringLiteral("Jérôme");
        play.names[1] = QStringLiteral("Paul");
        play.totals[0] = 12;
        play.totals[1] = 7;
        play.played[0] = 5;
        play.played[1] = 4;
        play.innings = 5;
        play.best[0] = 5;
        play.best[1] = 3;
        play.last[0] = 2;
        play.last[1] = 0;
        play.run = 3;
        play.turn = 2;
        play.lapMs = 12345;
        play.chronoMs[0] = 600000;
        play.chronoMs[1] = 540000;
        QTest::newRow("match in play, run typed, times shown")
            << play
            << json(R"({"type":"snapshot","version":1,"seq":7,"table":"Billard 1","time":"2026-12-11T15:04:05",
                        "names":["Jérôme","Paul"],"totals":[12,7],"innings":5,"averages":[2.4,1.75],
                        "generalAverage":2.111,"best":[5,3],"last":[2,0],"run":3,"turn":2,
                        "lapMs":12345,"chronoMs":[600000,540000],"shotClock":null,"match":{"active":false}})");

        LiveSnapshot rules = play;
        rules.run.reset();
        rules.lapMs.reset();
        rules.chronoMs[0].reset();
        rules.chronoMs[1].reset();
        rules.shotClock = LiveShotClock{12, false, {3, 2}};
        rules.match.active = true;
        rules.match.discipline = QStringLiteral("3 bandes");
        rules.match.distances[0] = 40;
        rules.match.distances[1] = 0;
        rules.match.limit = 50;
        rules.match.remaining[0] = 28;
        rules.match.state = QStringLiteral("finished");
        rules.match.result = LiveResult{1, {2, 0}, QStringLiteral("Victoire de Jérôme")};
        QTest::newRow("match rules, shot clock and result")
            << rules
            << json(R"({"type":"snapshot","version":1,"seq":7,"table":"Billard 1","time":"2026-12-11T15:04:05",
                        "names":["Jérôme","Paul"],"totals":[12,7],"innings":5,"averages":[2.4,1.75],
                        "generalAverage":2.111,"best":[5,3],"last":[2,0],"run":null,"turn":2,
                        "lapMs":null,"chronoMs":null,"shotClock":{"left":12,"warning":false,"extensions":[3,2]},
                        "match":{"active":true,"discipline":"3 bandes","distances":[40,null],"limit":50,
                                 "remaining":[28,null],"state":"finished",
                                 "result":{"winner":1,"points":[2,0],"text":"Victoire de Jérôme"}}})");
    }
    void snapshotJson()
    {
        QFETCH(LiveSnapshot, snapshot);
        QFETCH(QJsonObject, expected);
        QVERIFY(!expected.isEmpty());
        const QJsonObject got = LiveJson::snapshot(snapshot, 7);
        if (got != expected)
            qWarning("got %s", LiveJson::compact(got).constData());
        QCOMPARE(got, expected);
        // What goes on the wire reads back the same (UTF-8, one object).
        QCOMPARE(QJsonDocument::fromJson(LiveJson::compact(got)).object(), expected);
    }

    void sameContent_ignoresOnlyTheTime()
    {
        LiveSnapshot a = snap(3), b = snap(3);
        b.time = a.time.addSecs(30);
        QVERIFY(a.sameContent(b));
        b.run = 4;
        QVERIFY(!a.sameContent(b));
        b = a;
        b.match.active = true;
        QVERIFY(!a.sameContent(b));
        b = a;
        b.chronoMs[1] = 0;
        QVERIFY(!a.sameContent(b));
    }

    // --- configuration ----------------------------------------------------------------

    void configure_offOrIncomplete_noConnectionAttempt_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not enabled") << QStringLiteral("127.0.0.1") << QStringLiteral("Billard 1") << false << QString();
        QTest::newRow("empty host") << QStringLiteral("  ") << QStringLiteral("Billard 1") << true
                                    << QStringLiteral("adresse du serveur club vide");
        QTest::newRow("empty table") << QStringLiteral("127.0.0.1") << QString() << true
                                     << QStringLiteral("nom de la table vide");
        QTest::newRow("host that is no host") << QStringLiteral("a b/c") << QStringLiteral("Billard 1") << true
                                              << QStringLiteral("adresse du serveur club incorrecte : « a b/c »");
    }
    void configure_offOrIncomplete_noConnectionAttempt()
    {
        QFETCH(QString, host);
        QFETCH(QString, table);
        QFETCH(bool, enabled);
        QFETCH(QString, reason);
        LiveTestServer server;
        QVERIFY(server.listen());
        LivePublisher p(quick());
        p.configure(host, server.port(), table, QString(), enabled);
        p.publish(snap(1));
        QTest::qWait(100);
        QCOMPARE(p.state(), LiveState::Off);
        QCOMPARE(p.reason(), reason);
        QCOMPARE(p.attempts(), 0);
        QCOMPARE(server.connections, 0);
        if (!reason.isEmpty())
            QVERIFY2(p.stateText().contains(reason), qPrintable(p.stateText()));
    }

    // --- accepted -----------------------------------------------------------------------

    void accepted_helloThenTheCurrentSnapshotThenEveryChange()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        LivePublisher p(quick());
        p.publish(snap(5)); // before any connection: kept, not queued
        p.publish(snap(6));
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 1"), QStringLiteral("sésame"), true);
        QCOMPARE(p.state(), LiveState::Connecting);
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        QCOMPARE(p.url().toString(), QStringLiteral("ws://127.0.0.1:%1/live").arg(server.port()));
        QCOMPARE(server.paths, QList<QString>{QStringLiteral("/live")});
        QCOMPARE(server.hellos.size(), 1);
        QCOMPARE(server.hellos.first(), json(R"({"type":"hello","version":1,"table":"Billard 1","key":"sésame"})"));
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);
        QCOMPARE(total1(server.snapshots.at(0)), 6);
        QCOMPARE(server.snapshots.at(0).value(QStringLiteral("seq")).toInt(), 1);

        p.publish(snap(9, 2));
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 2, 5000);
        QCOMPARE(server.snapshots.at(1), LiveJson::snapshot(snap(9, 2), 2));
        QCOMPARE(p.snapshotsSent(), 2);
        QVERIFY2(p.stateText().contains(QStringLiteral("En direct")), qPrintable(p.stateText()));
    }

    void lastSnapshotWins_whileASendIsPending()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        LivePublisher p(quick());
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 1"), QString(), true);
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        // Five changes before the event loop turns: the first is in the socket's buffer,
        // the next ones replace one another behind it.
        for (int i = 1; i <= 5; ++i)
            p.publish(snap(i));
        QTRY_VERIFY_WITH_TIMEOUT(!server.snapshots.isEmpty() && total1(server.lastSnapshot()) == 5, 5000);
        QTest::qWait(50);
        QCOMPARE(server.snapshots.size(), 2);
        QCOMPARE(total1(server.snapshots.at(0)), 1);
        QCOMPARE(total1(server.snapshots.at(1)), 5);
        QCOMPARE(server.snapshots.at(1).value(QStringLiteral("seq")).toInt(), 2);
    }

    void pingAndUnknownMessages_areIgnored()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        LivePublisher p(quick());
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 1"), QString(), true);
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        server.sendToAll(QStringLiteral("{\"type\":\"ping\"}"));
        server.sendToAll(QStringLiteral("{\"type\":\"quelque chose\",\"x\":1}"));
        server.sendToAll(QStringLiteral("pas du json"));
        server.sendToAll(QStringLiteral("[1,2]"));
        server.sendToAll(QStringLiteral("{\"type\":\"accepted\"}"));
        p.publish(snap(4));
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);
        QCOMPARE(p.state(), LiveState::Live);
        QCOMPARE(server.connections, 1);
    }

    void reconfigure_newTableSaysHelloAgain()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        LivePublisher p(quick());
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 1"), QString(), true);
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 1"), QString(), true);
        QCOMPARE(p.state(), LiveState::Live); // the same target changes nothing
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 2"), QString(), true);
        QTRY_COMPARE_WITH_TIMEOUT(server.hellos.size(), 2, 5000);
        QCOMPARE(server.hellos.at(1).value(QStringLiteral("table")).toString(), QStringLiteral("Billard 2"));
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 2"), QString(), false);
        QCOMPARE(p.state(), LiveState::Off);
        QTest::qWait(300);
        QCOMPARE(server.connections, 2);
    }

    // --- refused ----------------------------------------------------------------------

    void refused_showsTheReasonAndWaitsBeforeTryingAgain_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("refusal message, then close") << int(LiveTestServer::Answer::Refuse);
        QTest::newRow("close code 4001 only") << int(LiveTestServer::Answer::RefuseByCloseOnly);
    }
    void refused_showsTheReasonAndWaitsBeforeTryingAgain()
    {
        QFETCH(int, answer);
        LiveTestServer server;
        server.answer = LiveTestServer::Answer(answer);
        QVERIFY(server.listen());
        LivePublisher p(quick());
        p.publish(snap(3));
        QElapsedTimer clock;
        clock.start();
        p.configure(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("Billard 1"), QStringLiteral("faux"), true);
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Refused, 5000);
        const qint64 refusedAt = clock.elapsed();
        QCOMPARE(p.reason(), QStringLiteral("Clé du club incorrecte"));
        QCOMPARE(p.stateText(), QStringLiteral("Refusé par le serveur club : Clé du club incorrecte"));
        // It tries again, but not sooner than the refusal delay (timers never fire early).
        QTRY_COMPARE_WITH_TIMEOUT(server.connections, 2, 5000);
        QVERIFY2(clock.elapsed() - refusedAt >= quick().refusedRetryMs - 50,
                 qPrintable(QString::number(clock.elapsed() - refusedAt)));
        QCOMPARE(server.snapshots.size(), 0);
        // Once the key is right the table goes live with the current snapshot.
        server.answer = LiveTestServer::Answer::Accept;
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);
        QCOMPARE(total1(server.snapshots.at(0)), 3);
    }

    // --- down, slow, unreachable ------------------------------------------------------------

    void serverDownThenUp_liveAgainWithTheCurrentSnapshot()
    {
        LiveTestServer server;
        QVERIFY(server.listen());
        const quint16 port = server.port();
        LivePublisher p(quick());
        p.configure(QStringLiteral("127.0.0.1"), port, QStringLiteral("Billard 1"), QString(), true);
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        p.publish(snap(1));
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 1, 5000);

        server.stop();
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Unreachable, 5000);
        QCOMPARE(p.reason(), QStringLiteral("connexion perdue"));
        // Changes while offline: only the last one will go.
        p.publish(snap(2));
        p.publish(snap(3));
        QTRY_VERIFY_WITH_TIMEOUT(p.attempts() >= 3, 5000); // it keeps trying
        QVERIFY(p.reason() == QStringLiteral("connexion refusée") || p.reason() == QStringLiteral("connexion perdue"));

        QVERIFY(server.listen(port));
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Live, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(server.snapshots.size(), 2, 5000);
        QTest::qWait(50);
        QCOMPARE(server.snapshots.size(), 2);
        QCOMPARE(total1(server.snapshots.at(1)), 3);
        QCOMPARE(server.snapshots.at(1).value(QStringLiteral("seq")).toInt(), 2);
    }

    void neverBlocks_unreachableOrSilentServer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing listens on the port") << QStringLiteral("closed") << QStringLiteral("connexion refusée");
        QTest::newRow("server never answers the hello") << QStringLiteral("silent") << QStringLiteral("pas de réponse du serveur");
        QTest::newRow("TCP accepted, handshake never answered") << QStringLiteral("tcp") << QStringLiteral("pas de réponse du serveur");
    }
    void neverBlocks_unreachableOrSilentServer()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        LiveTestServer server;
        server.answer = LiveTestServer::Answer::Silent;
        QTcpServer tcp;
        QList<QTcpSocket *> held;
        connect(&tcp, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = tcp.nextPendingConnection())
                held << s; // read nothing, answer nothing
        });
        quint16 port = 0;
        if (kind == QLatin1String("closed")) {
            port = closedPort();
        } else if (kind == QLatin1String("silent")) {
            QVERIFY(server.listen());
            port = server.port();
        } else {
            QVERIFY(tcp.listen(QHostAddress::LocalHost, 0));
            port = tcp.serverPort();
        }
        LivePublisher p(quick());
        // The servers run in this thread: a call that waited for them would never return.
        p.configure(QStringLiteral("127.0.0.1"), port, QStringLiteral("Billard 1"), QString(), true);
        QCOMPARE(p.state(), LiveState::Connecting);
        p.publish(snap(1));
        QCOMPARE(p.snapshotsSent(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(p.state(), LiveState::Unreachable, 5000);
        QCOMPARE(p.reason(), reason);
        QVERIFY2(p.stateText().contains(reason), qPrintable(p.stateText()));
        if (kind == QLatin1String("silent"))
            QCOMPARE(server.hellos.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(p.attempts() >= 2, 5000); // and it tries again by itself
        QCOMPARE(p.snapshotsSent(), 0);
        QCOMPARE(server.snapshots.size(), 0);
        qDeleteAll(held);
    }
};

QTEST_GUILESS_MAIN(tst_livepublisher)
#include "tst_livepublisher.moc"
