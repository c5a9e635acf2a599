// The club server's pages in a real headless chromium (driven by chromedriver), served by
// the real zelvano-club program: the dashboard follows a scoreboard live (its own live publisher), the player page
// shows the figures of the stored sheets, two instances on one PostgreSQL base show each
// other's tables. With ZV_CLUB_SCREENSHOTS=<folder>, the pages are also saved as pictures.
#include "ClubProcess.h"
#include "ClubTestUtil.h"
#include "LivePublisher.h"
#include "NetSend.h"

#include <QFile>
#include <QWebSocket>
#include <algorithm>

using namespace ClubTest;

namespace {

// What a scoreboard shows, as its live publisher takes it.
LiveSnapshot snapshotObject(const QString &table, int, const QStringList &names, int t1, int t2,
                            int innings, int run, int turn)
{
    LiveSnapshot s;
    s.table = table;
    s.time = QDateTime::currentDateTime();
    s.names[0] = names[0];
    s.names[1] = names[1];
    s.totals[0] = t1;
    s.totals[1] = t2;
    s.played[0] = s.played[1] = innings;
    s.innings = innings;
    s.best[0] = 7;
    s.best[1] = 5;
    s.last[0] = 2;
    s.last[1] = 0;
    if (run >= 0)
        s.run = run;
    s.turn = turn;
    s.lapMs = 12345;
    s.shotClock = LiveShotClock{32, false, {1, 1}};
    s.match.active = true;
    s.match.discipline = QStringLiteral("3 bandes");
    s.match.distances[0] = 40;
    s.match.distances[1] = 30;
    s.match.limit = 50;
    s.match.remaining[0] = 40 - t1;
    s.match.remaining[1] = 30 - t2;
    s.match.state = QStringLiteral("inplay");
    return s;
}

// The scoreboard's own live publisher (records/LivePublisher), publishing one table.
struct Publisher {
    LivePublisher live;
    bool open(quint16 port, const QString &table)
    {
        live.configure(QStringLiteral("127.0.0.1"), port, table, QString(), true);
        QElapsedTimer t;
        t.start();
        while (live.state() != LiveState::Live && t.elapsed() < 5000)
            QTest::qWait(5);
        return live.state() == LiveState::Live;
    }
    void send(const LiveSnapshot &s) { live.publish(s); }
    void stop() { live.configure(QString(), 0, QString(), QString(), false); }
};

struct Sheet {
    QString n1, n2, stamp;
    QList<QPair<QString, QString>> rows;
};

} // namespace

class TestClubBrowser : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_shots;

    void shot(Browser &b, const QString &name)
    {
        if (m_shots.isEmpty())
            return;
        QFile f(QDir(m_shots).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(b.screenshot());
    }

private slots:
    void initTestCase()
    {
        if (!Browser::available())
            QFAIL("chromium and chromium-driver are needed (scripts/setup.sh installs them)");
        m_shots = qEnvironmentVariable("ZV_CLUB_SCREENSHOTS");
    }

    // A published change shows on the dashboard within 200 ms, measured from the moment
    // the snapshot leaves the scoreboard's side to the moment the page's text has changed.
    void dashboard_showsAPublishedChangeWithin200ms()
    {
        ClubProcess club;
        QVERIFY2(club.start({"--db", m_dir.filePath("dash.sqlite"), "--quiet"}), qPrintable(club.output));
        Browser b;
        QVERIFY2(b.start(1920, 1080), qPrintable(b.error));
        QVERIFY2(b.go(club.url("/")), qPrintable(b.error));
        QVERIFY(b.waitFor("return document.body.dataset.connecte === '1'"));
        Publisher p1, p2;
        QVERIFY(p1.open(club.http, "Billard 1"));
        QVERIFY(p2.open(club.http, "Billard 2"));
        p2.send(snapshotObject("Billard 2", 1, {"Marie Curie", "Zoé"}, 18, 22, 9, -1, 2));
        int total = 0;
        QList<qint64> latencies;
        for (int seq = 1; seq <= 8; ++seq) {
            total += seq;
            b.js("window.zvSeen = 0; const want = arguments[0];"
                 "const check = () => { const e = document.querySelector('[data-table=\"Billard 1\"] [data-field=\"total1\"]');"
                 "  if (!window.zvSeen && e && e.textContent === want) window.zvSeen = Date.now(); };"
                 "if (window.zvObs) window.zvObs.disconnect();"
                 "window.zvObs = new MutationObserver(check);"
                 "window.zvObs.observe(document.getElementById('tables'), {childList: true, subtree: true, characterData: true});",
                 {QString::number(total)});
            const qint64 sent = QDateTime::currentMSecsSinceEpoch();
            p1.send(snapshotObject("Billard 1", seq, {"Jean Dupont", "Éloïse"}, total, 12, seq + 2, seq % 3 ? seq : -1, 1));
            QVERIFY(b.waitFor("return window.zvSeen > 0", 5000));
            latencies << b.js("return window.zvSeen").toInteger() - sent;
        }
        std::sort(latencies.begin(), latencies.end());
        qInfo("dashboard latency, ms: median %lld, worst %lld", latencies[latencies.size() / 2], latencies.last());
        QVERIFY2(latencies.last() < 200, qPrintable(QStringLiteral("%1 ms").arg(latencies.last())));
        // What a person reads on the card.
        const QString text = b.js("return document.querySelector('[data-table=\"Billard 1\"]').innerText").toString();
        QVERIFY2(text.contains(QLatin1String("Jean Dupont")) && text.contains(QStringLiteral("Éloïse")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("en direct")), qPrintable(text));
        QCOMPARE(b.js("return document.querySelector('[data-table=\"Billard 1\"] [data-field=\"moyenne1\"]').textContent").toString(),
                 QStringLiteral("3,600"));   // 36 points in 10 innings
        shot(b, "club-dashboard.png");

        // The TV page of one table, and the dashboard at a phone's width.
        QVERIFY(b.go(club.url("/table/Billard%201")));
        QVERIFY(b.waitFor("const e = document.querySelector('[data-field=\"total1\"]'); return !!e && e.textContent === '36'"));
        QCOMPARE(b.js("return document.querySelectorAll('article.table').length").toInt(), 1);
        QCOMPARE(b.js("return getComputedStyle(document.querySelector('.joueur.j1')).backgroundColor").toString(),
                 QStringLiteral("rgb(244, 237, 237)"));
        QCOMPARE(b.js("return getComputedStyle(document.querySelector('.joueur.j2')).backgroundColor").toString(),
                 QStringLiteral("rgb(229, 229, 79)"));
        QCOMPARE(b.js("return getComputedStyle(document.documentElement).backgroundColor").toString(),
                 QStringLiteral("rgb(35, 34, 29)"));
        shot(b, "club-table.png");
        // The scoreboard goes away: the TV says so.
        p1.stop();
        QVERIFY(b.waitFor("return document.querySelector('article.table').classList.contains('hors-ligne')"));
        QVERIFY(b.go(club.url("/overlay/Billard%202")));
        QVERIFY(b.waitFor("const e = document.querySelector('.bande [data-field=\"total2\"]'); return !!e && e.textContent === '22'"));
        QCOMPARE(b.js("return getComputedStyle(document.body).backgroundColor").toString(), QStringLiteral("rgba(0, 0, 0, 0)"));
        QVERIFY(b.resize(390, 844));
        QVERIFY(b.go(club.url("/")));
        QVERIFY(b.waitFor("return document.querySelectorAll('article.table').length === 2"));
        // Nothing wider than the phone's screen.
        QVERIFY(b.js("return document.documentElement.scrollWidth <= window.innerWidth").toBool());
        shot(b, "club-phone.png");
    }

    // The player page shows what the stored sheets add up to, computed here by hand.
    void playerPage_figuresEqualTheStoredSheets()
    {
        ClubProcess club;
        QVERIFY2(club.start({"--db", m_dir.filePath("player.sqlite"), "--quiet"}), qPrintable(club.output));
        const QList<Sheet> sheets = {
            {"Jean Dupont", "Paul", "05/01/2026 20:05", {{"3", "1"}, {"0", "4"}, {"7", "2"}, {"", ""}}},
            {"Marie", "Jean Dupont", "12/01/2026 20:10", {{"2", "5"}, {"6", "0"}, {"1", "1"}, {"4", ""}}},
            {"Jean Dupont", "Marie", "19/01/2026 20:00", {{"0", "0"}, {"2", "3"}, {"1", "0"}}},
            {"Paul", "Jean Dupont", "26/01/2026 19:45", {{"9", "8"}, {"1", "11"}, {"", ""}}},
        };
        int points = 0, innings = 0, best = 0, matchPoints = 0;
        for (const Sheet &s : sheets) {
            const int side = s.n1 == QLatin1String("Jean Dupont") ? 0 : 1;
            int mine = 0, theirs = 0;
            for (const auto &r : s.rows) {
                const QString me = side == 0 ? r.first : r.second;
                const QString other = side == 0 ? r.second : r.first;
                if (!me.isEmpty()) {
                    ++innings;
                    mine += me.toInt();
                    best = std::max(best, me.toInt());
                }
                theirs += other.toInt();
            }
            points += mine;
            matchPoints += mine > theirs ? 2 : mine == theirs ? 1 : 0;
            NetSend::sendFrame("127.0.0.1", club.frames, NetSend::buildFrame(sheet(s.n1, s.n2, s.stamp, s.rows)));
        }
        // The same history sent again changes nothing.
        NetSend::sendFrame("127.0.0.1", club.frames, NetSend::buildFrame(sheet(sheets[0].n1, sheets[0].n2, sheets[0].stamp, sheets[0].rows)));
        Browser b;
        QVERIFY2(b.start(1920, 1080), qPrintable(b.error));
        QVERIFY(b.go(club.url("/matches")));
        QTRY_COMPARE_WITH_TIMEOUT((b.go(club.url("/matches")), b.js("return document.querySelectorAll('tbody tr').length").toInt()), 4, 10000);
        QVERIFY(b.go(club.url("/joueurs/Jean%20Dupont")));
        auto stat = [&](const char *name) {
            return b.js(QStringLiteral("return document.querySelector('[data-stat=\"%1\"]').textContent").arg(QLatin1String(name))).toString();
        };
        QCOMPARE(stat("matchs"), QString::number(sheets.size()));
        QCOMPARE(stat("points"), QString::number(points));
        QCOMPARE(stat("reprises"), QString::number(innings));
        QCOMPARE(stat("moyenne"), QString::number(double(points) / innings, 'f', 3).replace(u'.', u','));
        QCOMPARE(stat("serie"), QString::number(best));
        QCOMPARE(stat("pointsmatch"), QString::number(matchPoints));
        // One point of the chart per match, drawn by the server.
        QCOMPARE(b.js("return document.querySelectorAll('svg.graphe circle').length").toInt(), int(sheets.size()));
        QCOMPARE(b.js("return document.querySelectorAll('script').length").toInt(), 0);
        shot(b, "club-player.png");
        // The search form of the matches page.
        QVERIFY(b.go(club.url("/matches?joueur=marie&date=2026-01-19")));
        QCOMPARE(b.js("return document.querySelectorAll('tbody tr').length").toInt(), 1);
        QVERIFY(b.go(club.url("/matches?date=19/01/2026")));
        QVERIFY(b.js("return document.querySelector('.erreur').textContent").toString().startsWith(QStringLiteral("Date « 19/01/2026 » incorrecte")));
    }

    // Two instances on one PostgreSQL base: a browser on the second shows the table that
    // publishes to the first.
    void postgres_twoInstancesSeeEachOthersTables()
    {
        QString error;
        const QString base = makeBase(QStringLiteral("postgresql"), m_dir, &error);
        if (base.isEmpty() && pgUrl().isEmpty())
            QSKIP("PostgreSQL fixture not running (run through ctest)");
        QVERIFY2(!base.isEmpty(), qPrintable(error));
        struct Drop { QString b; ~Drop() { dropBase(b); } } drop{base};
        ClubProcess a, c;
        QVERIFY2(a.start({"--db", base, "--quiet"}), qPrintable(a.output));
        QVERIFY2(c.start({"--db", base, "--quiet"}), qPrintable(c.output));
        Browser b;
        QVERIFY2(b.start(), qPrintable(b.error));
        QVERIFY(b.go(c.url("/")));
        QVERIFY(b.waitFor("return document.body.dataset.connecte === '1'"));
        Publisher p;
        QVERIFY(p.open(a.http, "Billard Nord"));
        p.send(snapshotObject("Billard Nord", 3, {"Jean", "Paul"}, 27, 19, 11, 4, 2));
        QVERIFY(b.waitFor("const e = document.querySelector('[data-table=\"Billard Nord\"] [data-field=\"total2\"]');"
                          "return !!e && e.textContent === '19'"));
        // And the other way round, on a TV page of the first instance.
        Publisher q;
        QVERIFY(q.open(c.http, "Billard Sud"));
        q.send(snapshotObject("Billard Sud", 1, {"Marie", "Zoé"}, 5, 6, 3, -1, 1));
        QVERIFY(b.go(a.url("/table/Billard%20Sud")));
        QVERIFY(b.waitFor("const e = document.querySelector('[data-field=\"total2\"]'); return !!e && e.textContent === '6'"));
    }
};

QTEST_GUILESS_MAIN(TestClubBrowser)
#include "tst_clubbrowser.moc"
