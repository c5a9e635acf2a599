// zelvano-club's figures: live latency with 50 tables publishing at once, the resident
// memory with 50 tables and 100 watching browsers, and the import of a 10 000-sheet history
// into SQLite and into PostgreSQL. The real program is started; the tables and the browsers
// are WebSocket clients of this process speaking the live protocol.
//   zv_bench_club --program build/bin/zelvano-club [--pg postgresql://…/db] [--seconds N]
#include "BenchUtil.h"
#include "LineList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QWebSocket>

#include <memory>

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Club {
    QProcess p;
    quint16 http = 0;
    bool start(const QString &program, const QStringList &args)
    {
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, QStringList{"--listen", "127.0.0.1", "--http-port", "0", "--frame-port", "0", "--quiet"} + args);
        static const QRegularExpression re(QStringLiteral("http://[^:]+:(\\d+)/"));
        QString out;
        for (int i = 0; i < 100 && p.waitForReadyRead(100) | true; ++i) {
            out += QString::fromUtf8(p.readAll());
            const auto m = re.match(out);
            if (m.hasMatch()) {
                http = quint16(m.captured(1).toUInt());
                return true;
            }
        }
        std::fprintf(stderr, "%s\n", qPrintable(out));
        return false;
    }
    qint64 rssKiB() const
    {
        QFile f(QStringLiteral("/proc/%1/status").arg(p.processId()));
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &l : f.readAll().split('\n'))
            if (l.startsWith("VmRSS:"))
                return l.mid(6).trimmed().split(' ').value(0).toLongLong();
        return -1;
    }
    ~Club()
    {
        p.terminate();
        p.waitForFinished(3000);
    }
};

QString snapshot(const QString &table, qint64 seq, qint64 sentNs)
{
    const int t = int(seq % 400);
    return QString::fromUtf8(QJsonDocument(QJsonObject{
        {"type", "snapshot"}, {"version", 1}, {"seq", seq}, {"table", table}, {"time", "2026-12-11T15:04:05"},
        {"names", QJsonArray{"Jean Dupont", "Paul Martin"}}, {"totals", QJsonArray{t, t / 2}}, {"innings", t / 3},
        {"averages", QJsonArray{1.234, 0.617}}, {"generalAverage", 0.925}, {"best", QJsonArray{9, 5}},
        {"last", QJsonArray{2, 0}}, {"run", 3}, {"turn", 1}, {"lapMs", 12000}, {"chronoMs", QJsonValue()},
        {"shotClock", QJsonValue()}, {"match", QJsonObject{{"active", false}}}, {"benchNs", sentNs}})
        .toJson(QJsonDocument::Compact));
}

double importSeconds(const QString &program, const QString &db, const QString &history)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(program, {"--db", db, "--import", history});
    p.waitForFinished(120000);
    const double s = t.nsecsElapsed() / 1e9;
    std::printf("  %s\n", p.readAll().trimmed().constData());
    return p.exitCode() == 0 ? s : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const QString program = a.value(a.indexOf("--program") + 1);
    const QString pg = a.contains("--pg") ? a.value(a.indexOf("--pg") + 1) : QString();
    const int seconds = a.contains("--seconds") ? a.value(a.indexOf("--seconds") + 1).toInt() : 10;
    QTemporaryDir dir;

    // Live latency: 50 tables, each publishing 5 changes a second (250 a second in all),
    // timed from the send to the arrival at a watching browser's WebSocket.
    Club club;
    if (!club.start(program, {"--db", dir.filePath("bench.sqlite")}))
        return 1;
    const QString url = QStringLiteral("ws://127.0.0.1:%1").arg(club.http);
    std::vector<qint64> latencies;
    std::vector<std::unique_ptr<QWebSocket>> watchers;
    for (int i = 0; i < 100; ++i) {
        auto w = std::make_unique<QWebSocket>();
        if (i == 0)
            QObject::connect(w.get(), &QWebSocket::textMessageReceived, [&](const QString &m) {
                const qint64 now = bench::nowNs();
                const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
                const qint64 sent = qint64(o["snapshot"].toObject()["benchNs"].toDouble());
                if (o["type"].toString() == QLatin1String("table") && sent > 0)
                    latencies.push_back(now - sent);
            });
        w->open(QUrl(url + "/live/watch"));
        watchers.push_back(std::move(w));
    }
    std::vector<std::unique_ptr<QWebSocket>> tables;
    for (int i = 0; i < 50; ++i) {
        auto t = std::make_unique<QWebSocket>();
        QWebSocket *raw = t.get();
        const QString name = QStringLiteral("Billard %1").arg(i + 1);
        QObject::connect(raw, &QWebSocket::connected, [raw, name] {
            raw->sendTextMessage(QString::fromUtf8(QJsonDocument(QJsonObject{{"type", "hello"}, {"version", 1},
                {"table", name}, {"key", ""}}).toJson(QJsonDocument::Compact)));
        });
        t->open(QUrl(url + "/live"));
        tables.push_back(std::move(t));
    }
    wait(1500);
    qint64 seq = 0;
    QTimer tick;
    int next = 0;
    // 250 snapshots a second: one table every 4 ms, in turn.
    QObject::connect(&tick, &QTimer::timeout, [&] {
        QWebSocket *t = tables[size_t(next)].get();
        t->sendTextMessage(snapshot(QStringLiteral("Billard %1").arg(next + 1), ++seq, bench::nowNs()));
        next = (next + 1) % 50;
    });
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(4);
    qint64 peakRss = 0;
    for (int s = 0; s < seconds * 10; ++s) {
        wait(100);
        peakRss = std::max(peakRss, club.rssKiB());
    }
    tick.stop();
    wait(300);
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) { return latencies.empty() ? -1.0 : latencies[size_t(p * (latencies.size() - 1))] / 1e6; };
    std::printf("live: %lld snapshots sent, %zu received by the timed browser\n", seq, latencies.size());
    std::printf("@row\tlive latency, 50 tables, server to browser, median\t< 20 ms\t%.2f ms\t%s\n", pct(0.5), pct(0.5) < 20 ? "ok" : "MISSED");
    std::printf("@row\tlive latency, 50 tables, server to browser, p99\t< 100 ms\t%.2f ms\t%s\n", pct(0.99), pct(0.99) < 100 ? "ok" : "MISSED");
    std::printf("@row\tresident memory, 50 tables + 100 browsers\t< 100 MB\t%.1f MB\t%s\n", peakRss / 1024.0, peakRss < 100 * 1024 ? "ok" : "MISSED");
    tables.clear();
    watchers.clear();

    // A 10 000-sheet history in the scoreboard's file form (Windows-1252, the empty lines).
    LineList history;
    for (int i = 0; i < 10000; ++i) {
        history.entries << QStringLiteral("Joueur%1 é\tJoueur%2\t%3/%4/20%5 20:%6\r")
                               .arg(i % 97).arg(i % 89 + 100).arg(i % 28 + 1, 2, 10, QChar('0'))
                               .arg(i % 12 + 1, 2, 10, QChar('0')).arg(10 + i / 1000).arg(i % 60, 2, 10, QChar('0'));
        for (int r = 0; r < 25; ++r)
            history.entries << QStringLiteral("%1\t%2\r").arg((i + r) % 7).arg((i * 3 + r) % 5);
        history.entries << QStringLiteral("\t\r");
    }
    LineList loaded;
    loaded.loadFromBytes(history.toBytes());
    const QString file = dir.filePath("FeuilleMatch.txt");
    loaded.saveToFile(file);
    std::printf("history: %d entries, %lld bytes\n", loaded.count(), QFileInfo(file).size());
    const double sq = importSeconds(program, dir.filePath("import.sqlite"), file);
    std::printf("@row\timport of a 10 000-sheet history, SQLite\t< 2 s\t%.2f s\t%s\n", sq, sq >= 0 && sq < 2 ? "ok" : "MISSED");
    if (!pg.isEmpty()) {
        const double ps = importSeconds(program, pg, file);
        std::printf("@row\timport of a 10 000-sheet history, PostgreSQL\t< 5 s\t%.2f s\t%s\n", ps, ps >= 0 && ps < 5 ? "ok" : "MISSED");
    }
    return 0;
}
