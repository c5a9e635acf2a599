// The real zelvano-club program against the worst: killed with SIGKILL in the middle of a
// storm of sendings, and hostile clients on both ports (hundreds of idle connections,
// absurd frames, path tricks), its memory watched all along.
#include "ClubProcess.h"
#include "ClubTestUtil.h"
#include "NetSend.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTcpSocket>
#include <csignal>
#include <sys/resource.h>
#include <memory>

using namespace ClubTest;

namespace {

qint64 residentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

QByteArray rawGet(quint16 port, const QByteArray &path, int *status)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(3000))
        return {};
    s.write("GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QByteArray all;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && s.state() == QAbstractSocket::ConnectedState) {
        if (s.waitForReadyRead(200))
            all += s.readAll();
        if (all.contains("\r\n\r\n")) {
            const int at = all.indexOf("Content-Length:");
            if (at >= 0) {
                const int len = all.mid(at + 15, all.indexOf("\r\n", at) - at - 15).trimmed().toInt();
                if (all.size() - all.indexOf("\r\n\r\n") - 4 >= len)
                    break;
            }
        }
    }
    all += s.readAll();
    *status = all.startsWith("HTTP/1.1 ") ? all.mid(9, 3).toInt() : -1;
    return all;
}

} // namespace

class TestClubRobust : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        // A thousand sockets of our own: the soft limit of open files may be 1024.
        rlimit r{};
        if (getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
            r.rlim_cur = r.rlim_max;
            setrlimit(RLIMIT_NOFILE, &r);
        }
    }

    // SIGKILL at random moments of a storm of sendings. After every restart the base opens
    // without repair, every sheet the server had reported stored is there with all its
    // innings, and no sheet is there twice.
    void killDuringAStormOfSendings()
    {
        const QString db = m_dir.filePath(QStringLiteral("storm.sqlite"));
        QSet<QString> reported;
        int sent = 0;
        const int kills = 6;
        auto *rng = QRandomGenerator::global();
        for (int round = 0; round < kills; ++round) {
            auto club = std::make_unique<ClubProcess>();
            QVERIFY2(club->start({"--db", db}), qPrintable(club->output));
            // Eight senders at once, each sending sheets one after another, some of them twice.
            std::vector<std::unique_ptr<QTcpSocket>> senders;
            QElapsedTimer t;
            t.start();
            const int until = 300 + int(rng->bounded(700));
            while (t.elapsed() < until) {
                senders.erase(std::remove_if(senders.begin(), senders.end(), [](const auto &s) {
                    return s->state() == QAbstractSocket::UnconnectedState;
                }), senders.end());
                while (senders.size() < 8) {
                    auto s = std::make_unique<QTcpSocket>();
                    s->connectToHost(QHostAddress::LocalHost, club->frames);
                    const int n = rng->bounded(4) == 0 && sent > 0 ? int(rng->bounded(sent)) : sent++;
                    s->write(NetSend::buildFrame(sheet(QStringLiteral("K%1").arg(n), QStringLiteral("Tempête"),
                                                       "01/02/2026 10:00", {{"1", "2"}, {"3", "4"}, {"", ""}})));
                    s->disconnectFromHost();
                    senders.push_back(std::move(s));
                }
                QTest::qWait(1);
            }
            ::kill(club->process.processId(), SIGKILL);
            QVERIFY(club->process.waitForFinished(5000));
            club->output += QString::fromUtf8(club->process.readAll());
            static const QRegularExpression re(QStringLiteral("« (K\\d+) – "));
            auto it = re.globalMatch(club->output);
            while (it.hasNext())
                reported.insert(it.next().captured(1));
            club.reset();

            QSqlDatabase base = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            base.setDatabaseName(db);
            QVERIFY(base.open());
            {
                QSqlQuery q(base);
                QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
                QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
                QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT name1) FROM sheets")) && q.next());
                QCOMPARE(q.value(0).toInt(), q.value(1).toInt());
                QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM sheets s WHERE (SELECT COUNT(*) FROM innings i WHERE i.sheet_id = s.id) <> 3")) && q.next());
                QCOMPARE(q.value(0).toInt(), 0);
                QVERIFY(q.exec(QStringLiteral("SELECT name1 FROM sheets")));
                QSet<QString> present;
                while (q.next())
                    present.insert(q.value(0).toString());
                for (const QString &k : reported)
                    QVERIFY2(present.contains(k), qPrintable(k + QStringLiteral(" reported stored, missing after the kill")));
            }
            base.close();
            base = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("check"));
        }
        qInfo("%d kills, %d distinct sheets sent, %lld reported stored", kills, sent, qint64(reported.size()));
        QVERIFY(reported.size() > 0);
    }

    // Hundreds of idle connections on both ports, absurd frames, a drip-feeding client: the
    // pages still answer and the memory stays bounded.
    void hostileClients_memoryBoundedAndPagesStillServed()
    {
        ClubProcess club;
        QVERIFY2(club.start({"--db", m_dir.filePath(QStringLiteral("hostile.sqlite")), "--quiet"}), qPrintable(club.output));
        const qint64 pid = club.process.processId();
        std::vector<std::unique_ptr<QTcpSocket>> crowd;
        for (int i = 0; i < 500; ++i) {
            for (quint16 port : {club.http, club.frames}) {
                auto s = std::make_unique<QTcpSocket>();
                s->connectToHost(QHostAddress::LocalHost, port);
                crowd.push_back(std::move(s));
            }
        }
        QTest::qWait(300);
        for (auto &s : crowd)
            s->write(s->peerPort() == club.http ? QByteArray("GET / HTTP/1.1\r\nHost: x\r\n") : QByteArray("\x00\x00", 2));
        QTest::qWait(300);
        // A frame that announces four thousand million lines, and one far too long.
        QTcpSocket huge;
        huge.connectToHost(QHostAddress::LocalHost, club.frames);
        QTcpSocket endless;
        endless.connectToHost(QHostAddress::LocalHost, club.http);
        QVERIFY(huge.waitForConnected(3000) && endless.waitForConnected(3000));
        huge.write(QByteArray("\xff\xff\xff\xff", 4) + QByteArray(1024, 'x'));
        // A request head that never ends.
        endless.write("GET / HTTP/1.1\r\nX: " + QByteArray(64 * 1024, 'a'));
        QTest::qWait(500);
        int status = 0;
        const QByteArray page = rawGet(club.http, "/api/tables", &status);
        QCOMPARE(status, 200);
        QVERIFY(page.endsWith("[]"));
        const qint64 rss = residentKiB(pid);
        qInfo("resident memory with 1000 hostile connections: %lld KiB", rss);
        QVERIFY2(rss > 0 && rss < 100 * 1024, qPrintable(QString::number(rss)));
        QTRY_VERIFY_WITH_TIMEOUT(endless.state() == QAbstractSocket::UnconnectedState, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(huge.state() == QAbstractSocket::UnconnectedState, 5000);
        // More than the frame port takes: the last ones were closed at once.
        int closed = 0;
        for (auto &s : crowd)
            closed += s->state() == QAbstractSocket::UnconnectedState ? 1 : 0;
        QVERIFY2(closed >= 500 - 256, qPrintable(QString::number(closed)));
    }

    void pathTricks_neverReachAFile_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("dot dot") << QByteArray("/assets/../assets/club.js");
        QTest::newRow("encoded dots") << QByteArray("/assets/%2e%2e/assets/club.css");
        QTest::newRow("encoded slash") << QByteArray("/assets/..%2f..%2fetc%2fpasswd");
        QTest::newRow("encoded slash in name") << QByteArray("/assets/%2fetc%2fpasswd");
        QTest::newRow("backslash") << QByteArray("/assets/..%5c..%5cetc%5cpasswd");
        QTest::newRow("nul") << QByteArray("/assets/club.js%00.png");
        QTest::newRow("double encoded") << QByteArray("/assets/%252e%252e%252fclub.js");
        QTest::newRow("root climb") << QByteArray("/../../../../etc/passwd");
        QTest::newRow("empty segments") << QByteArray("//etc/passwd");
        QTest::newRow("player dot dot") << QByteArray("/joueurs/..");
        QTest::newRow("table nul") << QByteArray("/table/a%00b");
        QTest::newRow("api climb") << QByteArray("/api/../../etc/passwd");
        QTest::newRow("resource path") << QByteArray("/assets/:/club/club.js");
        QTest::newRow("bad utf-8") << QByteArray("/joueurs/%ff%fe");
    }
    void pathTricks_neverReachAFile()
    {
        QFETCH(QByteArray, path);
        static std::unique_ptr<ClubProcess> club;
        if (!club) {
            club = std::make_unique<ClubProcess>();
            QVERIFY2(club->start({"--db", m_dir.filePath(QStringLiteral("paths.sqlite")), "--quiet"}), qPrintable(club->output));
        }
        int status = 0;
        const QByteArray answer = rawGet(club->http, path, &status);
        QVERIFY2(status == 400 || status == 404, qPrintable(QString::number(status)));
        QVERIFY(!answer.contains("root:"));
        QVERIFY(!answer.contains("\"use strict\""));
        QVERIFY(!answer.contains(":root {"));
        // The real asset still comes.
        rawGet(club->http, "/assets/club.js", &status);
        QCOMPARE(status, 200);
    }
};

QTEST_GUILESS_MAIN(TestClubRobust)
#include "tst_clubrobust.moc"
