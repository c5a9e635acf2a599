// The club server in this process, on real sockets: scoreboards publishing over WebSocket,
// browsers watching, sheets arriving on the frame port, the key, the refusals, and two
// instances sharing their tables through PostgreSQL.
#include "ClubServer.h"
#include "ClubTestUtil.h"
#include "NetSend.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>
#include <memory>

namespace {

QJsonObject parse(const QString &text) { return QJsonDocument::fromJson(text.toUtf8()).object(); }

QString hello(const QString &table, const QString &key)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"type", "hello"}, {"version", 1},
                                                       {"table", table}, {"key", key}})
                                 .toJson(QJsonDocument::Compact));
}

QString snapshot(const QString &table, int seq, int total1, int total2)
{
    QJsonObject o{{"type", "snapshot"}, {"version", 1}, {"seq", seq}, {"table", table},
                  {"time", "2026-12-11T15:04:05"}, {"names", QJsonArray{"Jean", "Paul"}},
                  {"totals", QJsonArray{total1, total2}}, {"innings", 5},
                  {"averages", QJsonArray{total1 / 5.0, total2 / 5.0}}, {"generalAverage", 1.9},
                  {"best", QJsonArray{5, 3}}, {"last", QJsonArray{2, 0}}, {"run", QJsonValue()},
                  {"turn", 1}, {"lapMs", QJsonValue()}, {"chronoMs", QJsonValue()},
                  {"shotClock", QJsonValue()}, {"match", QJsonObject{{"active", false}}}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// A WebSocket client that keeps every message it gets.
struct Client {
    QWebSocket ws;
    QStringList messages;
    int closeCode = -1;
    Client()
    {
        QObject::connect(&ws, &QWebSocket::textMessageReceived, [this](const QString &m) { messages << m; });
        QObject::connect(&ws, &QWebSocket::disconnected, [this] { closeCode = ws.closeCode(); });
    }
    bool open(const QString &url)
    {
        QSignalSpy up(&ws, &QWebSocket::connected);
        ws.open(QUrl(url));
        return up.wait(5000);
    }
    bool waitFor(int count, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (messages.size() < count && t.elapsed() < ms)
            QTest::qWait(5);
        return messages.size() >= count;
    }
    bool waitClosed(int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (ws.state() != QAbstractSocket::UnconnectedState && t.elapsed() < ms)
            QTest::qWait(5);
        return ws.state() == QAbstractSocket::UnconnectedState;
    }
};

} // namespace

class TestClubLive : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<ClubServer> m_server;
    QList<QString> m_bases;

    ClubServer *start(const QString &db, const QByteArray &key = QByteArray())
    {
        ClubServer::Options o;
        o.address = QHostAddress::LocalHost;
        o.httpPort = 0;
        o.framePort = 0;
        o.db = db;
        o.key = key;
        o.quiet = true;
        auto *s = new ClubServer(o);
        const QString e = s->start();
        if (!e.isEmpty()) {
            delete s;
            qWarning("%s", qPrintable(e));
            return nullptr;
        }
        return s;
    }
    QString liveUrl(ClubServer *s, const char *path = "/live")
    {
        return QStringLiteral("ws://127.0.0.1:%1%2").arg(s->httpPort()).arg(QLatin1String(path));
    }

private slots:
    void init()
    {
        m_server.reset(start(m_dir.filePath(QStringLiteral("live-%1.sqlite").arg(qrand_()))));
        QVERIFY(m_server);
    }
    void cleanup()
    {
        m_server.reset();
        for (const QString &b : m_bases)
            ClubTest::dropBase(b);
        m_bases.clear();
    }

    // A scoreboard's change reaches a browser already watching, and one that comes later
    // gets the last state at once.
    void publish_snapshotReachesWatchers()
    {
        Client watcher;
        QVERIFY(watcher.open(liveUrl(m_server.get(), "/live/watch")));
        QVERIFY(watcher.waitFor(1));
        QCOMPARE(parse(watcher.messages[0])["type"].toString(), QStringLiteral("tables"));
        Client pub;
        QVERIFY(pub.open(liveUrl(m_server.get())));
        pub.ws.sendTextMessage(hello("Billard 1", "n'importe"));
        QVERIFY(pub.waitFor(1));
        QCOMPARE(parse(pub.messages[0])["type"].toString(), QStringLiteral("accepted"));
        // The table named in a snapshot is not trusted: the hello's table is the one.
        pub.ws.sendTextMessage(snapshot("Billard 9", 1, 12, 7));
        QVERIFY(watcher.waitFor(2));
        const QJsonObject t = parse(watcher.messages[1]);
        QCOMPARE(t["type"].toString(), QStringLiteral("table"));
        QCOMPARE(t["table"].toString(), QStringLiteral("Billard 1"));
        QCOMPARE(t["online"].toBool(), true);
        QCOMPARE(t["snapshot"].toObject()["totals"].toArray()[0].toInt(), 12);

        Client late;
        QVERIFY(late.open(liveUrl(m_server.get(), "/live/watch?table=Billard%201")));
        QVERIFY(late.waitFor(1));
        const QJsonArray tables = parse(late.messages[0])["tables"].toArray();
        QCOMPARE(tables.size(), 1);
        QCOMPARE(tables[0].toObject()["snapshot"].toObject()["seq"].toInt(), 1);

        // The scoreboard goes away: the table stays, marked off line.
        pub.ws.close();
        QVERIFY(watcher.waitFor(3));
        QCOMPARE(parse(watcher.messages[2])["online"].toBool(), false);
        // The JSON API shows the same.
        const HttpAnswer a = m_server->respond("GET", QUrl("/api/tables"));
        QCOMPARE(a.status, 200);
        const QJsonArray api = QJsonDocument::fromJson(a.body).array();
        QCOMPARE(api.size(), 1);
        QCOMPARE(api[0].toObject()["table"].toString(), QStringLiteral("Billard 1"));
    }

    void hello_refusals_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong key") << hello("Billard 1", "faux") << 4001 << "Clé du club incorrecte";
        QTest::newRow("empty key") << hello("Billard 1", "") << 4001 << "Clé du club incorrecte";
        QTest::newRow("key with a longer tail") << hello("Billard 1", "secret du club!") << 4001 << "Clé du club incorrecte";
        QTest::newRow("empty table") << hello("  ", "secret du club") << 4002 << "Nom de table vide";
        QTest::newRow("snapshot first") << snapshot("Billard 1", 1, 0, 0) << 4002 << "Présentation attendue";
        QTest::newRow("not json") << "bonjour" << 4002 << "Message illisible (objet JSON attendu)";
        QTest::newRow("json array") << "[1,2]" << 4002 << "Message illisible (objet JSON attendu)";
    }
    void hello_refusals()
    {
        QFETCH(QString, first);
        QFETCH(int, code);
        QFETCH(QString, reason);
        m_server.reset(start(m_dir.filePath(QStringLiteral("key-%1.sqlite").arg(qrand_())), "secret du club"));
        QVERIFY(m_server);
        Client pub;
        QVERIFY(pub.open(liveUrl(m_server.get())));
        pub.ws.sendTextMessage(first);
        QVERIFY(pub.waitFor(1));
        const QJsonObject o = parse(pub.messages[0]);
        QCOMPARE(o["type"].toString(), QStringLiteral("refused"));
        QCOMPARE(o["reason"].toString(), reason);
        QVERIFY(pub.waitClosed());
        QCOMPARE(pub.closeCode, code);
        QCOMPARE(m_server->hub().publisherCount(), 0);
        // The right key is accepted.
        Client good;
        QVERIFY(good.open(liveUrl(m_server.get())));
        good.ws.sendTextMessage(hello("Billard 1", "secret du club"));
        QVERIFY(good.waitFor(1));
        QCOMPARE(parse(good.messages[0])["type"].toString(), QStringLiteral("accepted"));
    }

    // Hostile messages close the connection; the server goes on serving the others.
    void hostileMessages_closeTheConnection_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("helloFirst");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("binary");
        const QByteArray big = "{\"type\":\"snapshot\",\"x\":\"" + QByteArray(70 * 1024, 'a') + "\"}";
        QTest::newRow("publisher, over 64 KiB") << "/live" << true << big << false;
        QTest::newRow("publisher, not JSON after hello") << "/live" << true << QByteArray("{{{") << false;
        QTest::newRow("publisher, binary") << "/live" << false << QByteArray("\x01\x02") << true;
        QTest::newRow("watcher, over 64 KiB") << "/live/watch" << false << big << false;
        QTest::newRow("unknown path") << "/autre" << false << QByteArray("{}") << false;
    }
    void hostileMessages_closeTheConnection()
    {
        QFETCH(QString, path);
        QFETCH(bool, helloFirst);
        QFETCH(QByteArray, message);
        QFETCH(bool, binary);
        Client c;
        QVERIFY(c.open(liveUrl(m_server.get(), path.toLatin1().constData())));
        if (helloFirst) {
            c.ws.sendTextMessage(hello("Billard 1", ""));
            QVERIFY(c.waitFor(1));
        }
        if (binary)
            c.ws.sendBinaryMessage(message);
        else
            c.ws.sendTextMessage(QString::fromUtf8(message));
        QVERIFY(c.waitClosed());
        QTRY_COMPARE(m_server->hub().publisherCount(), 0);
        QTRY_COMPARE(m_server->hub().watcherCount(), 0);
        Client other;
        QVERIFY(other.open(liveUrl(m_server.get(), "/live/watch")));
        QVERIFY(other.waitFor(1));
    }

    // A sheet sent from the address of a scoreboard that publishes is stored under its table.
    void frame_fromAPublishingTable_keepsItsName()
    {
        Client pub;
        QVERIFY(pub.open(liveUrl(m_server.get())));
        pub.ws.sendTextMessage(hello("Billard 3", ""));
        QVERIFY(pub.waitFor(1));
        QSignalSpy stored(m_server.get(), &ClubServer::frameStored);
        const QByteArray frame = NetSend::buildFrame(
            ClubTest::sheet("Jean", "Zoé", "05/03/2016 14:05", {{"12", "7"}, {"", ""}}));
        for (int i = 0; i < 2; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_server->framePort());
            QVERIFY(s.waitForConnected(3000));
            s.write(frame);
            QVERIFY(s.waitForBytesWritten(3000));
            s.disconnectFromHost();
            QVERIFY(stored.wait(5000));
        }
        QCOMPARE(stored[0][0].toInt(), 1);
        QCOMPARE(stored[1][0].toInt(), 0);   // the second sending is known already
        QCOMPARE(stored[1][1].toInt(), 1);
        QString e;
        const auto list = m_server->store().matches("", "", 10, &e);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].table, QStringLiteral("Billard 3"));
        QCOMPARE(list[0].name2, QStringLiteral("Zo?"));
    }

    // Two instances on one PostgreSQL base: a table published to one is seen by a browser
    // of the other, and an instance started later learns the tables at once.
    void postgres_instancesShareTheirTables()
    {
        QString error;
        const QString base = ClubTest::makeBase(QStringLiteral("postgresql"), m_dir, &error);
        if (base.isEmpty() && ClubTest::pgUrl().isEmpty())
            QSKIP("PostgreSQL fixture not running (run through ctest)");
        QVERIFY2(!base.isEmpty(), qPrintable(error));
        m_bases << base;
        std::unique_ptr<ClubServer> a(start(base)), b(start(base));
        QVERIFY(a && b);
        Client watcherB;
        QVERIFY(watcherB.open(liveUrl(b.get(), "/live/watch")));
        QVERIFY(watcherB.waitFor(1));
        Client pub;
        QVERIFY(pub.open(liveUrl(a.get())));
        pub.ws.sendTextMessage(hello("Billard A", ""));
        QVERIFY(pub.waitFor(1));
        pub.ws.sendTextMessage(snapshot("Billard A", 7, 30, 21));
        QVERIFY(watcherB.waitFor(2));
        const QJsonObject t = parse(watcherB.messages[1]);
        QCOMPARE(t["table"].toString(), QStringLiteral("Billard A"));
        QCOMPARE(t["snapshot"].toObject()["totals"].toArray()[1].toInt(), 21);

        std::unique_ptr<ClubServer> c(start(base));
        QVERIFY(c);
        QTRY_COMPARE_WITH_TIMEOUT(c->hub().tables().size(), 1, 5000);
        QCOMPARE(c->hub().tables()[0].snapshot["seq"].toInt(), 7);
        // A sheet stored through one instance is listed by the others.
        QSignalSpy stored(a.get(), &ClubServer::frameStored);
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, a->framePort());
        QVERIFY(s.waitForConnected(3000));
        s.write(NetSend::buildFrame(ClubTest::sheet("Jean", "Paul", "05/03/2016 14:05", {{"1", "2"}})));
        s.disconnectFromHost();
        QVERIFY(stored.wait(5000));
        QString e;
        QCOMPARE(c->store().matches("", "", 10, &e).size(), 1);
    }

private:
    static int qrand_() { static int n = 0; return ++n; }
};

QTEST_GUILESS_MAIN(TestClubLive)
#include "tst_clublive.moc"
