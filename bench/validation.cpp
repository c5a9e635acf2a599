// How long a validation takes, from the Enter key to the scoreboard labels updated and the
// backup durably on disk, and what one durable save of a small file costs by itself.
//
// The real window runs offscreen with a temporary documents folder. Before each timed
// Enter a digit is typed (untimed), so every validation writes a real run. Player 2's
// validation also appends the next inning, so it saves the backup twice; player 1's saves
// it once. To keep the sheet at its size, the first inning is deleted (untimed) whenever
// an inning was added.
//
// With --live, the settings turn live publishing on before the window starts, and the
// timed span also covers building and handing over the snapshot (the zero-delay publish
// that follows the handler is run inside the span):
//   local        a WebSocket server in another thread of this process, answering as the
//                club server does and reading every snapshot;
//   unreachable  nothing listens on the port: the scoreboard retries in the background;
//   silent       a TCP server that accepts and never answers the handshake.
//
// The same again with the match rules on (distances far away, so no match ends) and the
// shot clock running: the rules are evaluated on the whole sheet after every change.
//
//   zv_bench_validation [validations] [--live local|unreachable|silent]   (500 by default)
#include "BenchUtil.h"
#include "Dialogs.h"
#include "DurableFile.h"
#include "FeuilleMain2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <QWebSocket>
#include <QWebSocketServer>

#include <atomic>

#include <memory>

using namespace bench;

namespace {

// --- live publishing to a server of some kind ------------------------------------------

QString g_live; // "", "local", "unreachable" or "silent"

// A club-server stand-in on its own thread: accepts every hello, counts the snapshots.
class LiveSink : public QObject {
public:
    std::atomic<int> snapshots{0};
    std::atomic<int> port{0};
    QWebSocketServer *server = nullptr;
    void start()
    {
        server = new QWebSocketServer(QStringLiteral("club"), QWebSocketServer::NonSecureMode, this);
        connect(server, &QWebSocketServer::newConnection, this, [this] {
            while (QWebSocket *c = server->nextPendingConnection()) {
                connect(c, &QWebSocket::textMessageReceived, this, [this, c](const QString &t) {
                    if (t.contains(QLatin1String("\"hello\"")))
                        c->sendTextMessage(QStringLiteral("{\"type\":\"accepted\"}"));
                    else
                        ++snapshots;
                });
                connect(c, &QWebSocket::disconnected, c, &QObject::deleteLater);
            }
        });
        server->listen(QHostAddress::LocalHost, 0);
        port = server->serverPort();
    }
};

struct LiveTarget {
    QThread thread;
    LiveSink *sink = nullptr;
    QTcpServer silent;
    quint16 port = 0;

    LiveTarget()
    {
        if (g_live == QLatin1String("local")) {
            sink = new LiveSink;
            sink->moveToThread(&thread);
            thread.start();
            QMetaObject::invokeMethod(sink, [s = sink] { s->start(); }, Qt::BlockingQueuedConnection);
            port = quint16(sink->port.load());
        } else if (g_live == QLatin1String("silent")) {
            silent.listen(QHostAddress::LocalHost, 0);
            port = silent.serverPort();
        } else if (g_live == QLatin1String("unreachable")) {
            QTcpServer s;
            s.listen(QHostAddress::LocalHost, 0);
            port = s.serverPort(); // closed again at once
        }
    }
    ~LiveTarget()
    {
        if (sink) {
            QMetaObject::invokeMethod(sink, [s = sink] { delete s; }, Qt::BlockingQueuedConnection);
            thread.quit();
            thread.wait();
        }
    }
    void writeSettings(const QString &dir) const
    {
        if (g_live.isEmpty())
            return;
        QFile ini(QDir(dir).filePath(QStringLiteral("FeuilleMatch.ini")));
        ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
        ini.write("[CLUB]\r\nServeur=127.0.0.1\r\nPort=" + QByteArray::number(port)
                  + "\r\nTable=Billard 1\r\nDirect=1\r\nCle=\r\n");
    }
};

const char *stateName(LiveState s)
{
    switch (s) {
    case LiveState::Off: return "off";
    case LiveState::Connecting: return "connecting";
    case LiveState::Live: return "live";
    case LiveState::Refused: return "refused";
    case LiveState::Unreachable: return "unreachable";
    }
    return "?";
}

int errorDialogs(const ScriptedDialogs &d)
{
    int n = 0;
    for (const auto &s : d.shown)
        if (s.kind == DlgKind::Error)
            ++n;
    return n;
}

void measureValidation(int innings, int validations, double medianGoal, double p99Goal, bool rules = false)
{
    std::unique_ptr<QTemporaryDir> dir(makeTempDir());
    const QString backup = QDir(dir->path()).filePath(QStringLiteral("FeuilleMatch.bin"));
    writeBackup(backup, innings);
    LiveTarget live;
    live.writeSettings(dir->path());
    if (rules) {
        QFile ini(QDir(dir->path()).filePath(QStringLiteral("FeuilleMatch.ini")));
        if (ini.open(QIODevice::Append)) // after what the live settings wrote, if anything
            ini.write("\r\n[TEMPS]\r\nInChrono=1\r\n[MATCH]\r\nDiscipline=3 bandes\r\nDistance1=99999\r\n"
                      "Distance2=90000\r\nLimiteReprises=9999\r\nTempsCoup=30\r\nAlerteCoup=10\r\n"
                      "Prolongations=3\r\nSon=0\r\n");
    }

    ScriptedDialogs dialogs;
    TMainFrmEnv env;
    env.documentsDir = dir->path();
    env.dialogs = &dialogs;
    TMainFrm w(env);
    if (QScreen *screen = w.screen())
        w.setGeometry(screen->availableGeometry());
    w.show();
    QApplication::processEvents();
    if (w.Live) {
        // Until the table is live (or has failed once), as an operator would find it.
        const qint64 t0 = nowNs();
        while (msSince(t0) < 5000 && (w.Live->state() == LiveState::Connecting)
               && !(g_live == QLatin1String("silent") && msSince(t0) > 200))
            QTest::qWait(10);
        std::printf("  live publishing on (%s): %s\n", g_live.toUtf8().constData(), stateName(w.Live->state()));
    }

    const int rows = w.Feuille->recordCount();
    if (rules)
        w.imgPauseChronoClick(&w); // the lap and the shot clock run
    std::printf("\nValidation with %d innings on the sheet%s (%d rows, backup %lld bytes, %s in %s)\n",
                innings, rules ? ", match rules and shot clock on" : "", rows, qlonglong(QFile(backup).size()),
                fileSystemOf(dir->path()).toUtf8().constData(), dir->path().toUtf8().constData());

    printLoad("before");
    std::vector<double> all, player1, player2, repaint, cpu;
    const qint64 total1Before = w.Feuille->aggregate(Aggregate::Total1).value_or(0);
    const int warmup = 10;
    int savesWrong = 0;
    for (int i = 0; i < warmup + validations; ++i) {
        const bool first = w.Joueur1();
        QTest::keyClick(&w, Qt::Key_3);
        QApplication::processEvents();

        const int writesBefore = w.backupWrites();
        const qint64 c0 = cpuNs();
        const qint64 t0 = nowNs();
        QTest::keyClick(&w, Qt::Key_Return);
        w.liveFlush(); // what the zero-delay publish does right after the handler
        const double t = msSince(t0);
        const double c = cpuMsSince(c0);
        const qint64 t1 = nowNs();
        QApplication::processEvents(); // the labels' repaint
        const double paint = msSince(t1);

        if (w.backupWrites() - writesBefore != (first ? 1 : 2))
            ++savesWrong;
        if (i >= warmup) {
            all.push_back(t);
            (first ? player1 : player2).push_back(t);
            repaint.push_back(paint);
            cpu.push_back(c);
        }
        if (w.Feuille->recordCount() > rows) {
            w.Feuille->first();
            w.Feuille->deleteCurrent();
            w.Feuille->last();
        }
    }
    // Each validation wrote 3 points; the deleted first innings took theirs away, so only
    // check that the sheet really moved.
    const qint64 total1After = w.Feuille->aggregate(Aggregate::Total1).value_or(0);
    if (savesWrong || errorDialogs(dialogs) || total1After == total1Before)
        std::printf("  WARNING: %d validations without the expected saves, %d error boxes, "
                    "total 1 %lld -> %lld\n",
                    savesWrong, errorDialogs(dialogs), total1Before, total1After);

    if (w.Live) {
        QTest::qWait(200);
        std::printf("  live: %s, %lld snapshots sent, %d connection attempts, %d received by the server\n",
                    stateName(w.Live->state()), qlonglong(w.Live->snapshotsSent()), w.Live->attempts(),
                    live.sink ? live.sink->snapshots.load() : 0);
    }
    const Stats s = stats(all);
    printStats("Enter -> labels + backup saved, all", s);
    printStats("  player 1 (one save)", stats(player1));
    printStats("  player 2 (two saves: run + next inning)", stats(player2));
    printStats("  CPU time of the validation (the rest is waiting)", stats(cpu));
    printStats("repaint after the validation (not in the figure)", stats(repaint));
    printLoad("after");

    QString what = QStringLiteral("Validation, %1 innings%2 (Enter -> labels + durable backup)")
                       .arg(innings)
                       .arg(rules ? QStringLiteral(", match rules and shot clock on") : QString());
    if (!g_live.isEmpty())
        what += QStringLiteral(", publishing live (%1)").arg(g_live);
    if (p99Goal > 0) {
        row(what + QStringLiteral(", median"), QStringLiteral("< %1 ms").arg(medianGoal), ms(s.median), s.median < medianGoal);
        row(what + QStringLiteral(", p99"), QStringLiteral("< %1 ms").arg(p99Goal), ms(s.p99), s.p99 < p99Goal);
    } else {
        row(what + QStringLiteral(", median"), QStringLiteral("< %1 ms").arg(medianGoal), ms(s.median), s.median < medianGoal);
        row(what + QStringLiteral(", p99"), QStringLiteral("-"), ms(s.p99), -1);
    }
}

// A save of the backup's bytes: durable with the folder synced, durable without it, and a
// plain write that leaves everything to the system.
void measureSaves(int count)
{
    std::unique_ptr<QTemporaryDir> dir(makeTempDir());
    const QString backup = QDir(dir->path()).filePath(QStringLiteral("FeuilleMatch.bin"));
    writeBackup(backup, 100);
    QFile in(backup);
    in.open(QIODevice::ReadOnly);
    const QByteArray bytes = in.readAll();
    in.close();
    const QString target = QDir(dir->path()).filePath(QStringLiteral("small.bin"));

    std::printf("\nSave of a %lld-byte file (%s), %d times each\n", qlonglong(bytes.size()),
                fileSystemOf(dir->path()).toUtf8().constData(), count);

    printLoad("before");
    std::vector<double> withFolder, withoutFolder, plain, table;
    for (int i = 0; i < count; ++i) {
        qint64 t0 = nowNs();
        const QString a = DurableFile::write(target, bytes, true);
        withFolder.push_back(msSince(t0));

        t0 = nowNs();
        const QString b = DurableFile::write(target, bytes, false);
        withoutFolder.push_back(msSince(t0));

        t0 = nowNs();
        QFile f(target);
        const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
        f.close();
        plain.push_back(msSince(t0));

        if (!a.isEmpty() || !b.isEmpty() || !ok) {
            std::printf("  WARNING: a save failed: %s %s\n", a.toUtf8().constData(), b.toUtf8().constData());
            break;
        }
    }
    // The table's own save: encoding and checksum on top of the durable write.
    InningsTable t;
    t.loadFromFile(backup);
    for (int i = 0; i < count; ++i) {
        const qint64 t0 = nowNs();
        t.saveToFile(backup);
        table.push_back(msSince(t0));
    }

    const Stats sw = stats(withFolder), so = stats(withoutFolder), sp = stats(plain), st = stats(table);
    printStats("durable save (file + folder synced)", sw);
    printStats("durable save without the folder sync", so);
    printStats("plain write, no sync", sp);
    printStats("InningsTable::saveToFile, 100 innings", st);
    printLoad("after");
    std::printf("  the folder sync costs %.3f ms at the median, the file sync %.3f ms\n",
                sw.median - so.median, so.median - sp.median);
    row(QStringLiteral("Durable save of a %1-byte file, median").arg(bytes.size()), QStringLiteral("~0.6 ms"), ms(sw.median, 3), -1);
    row(QStringLiteral("  the same without the folder sync, median"), QStringLiteral("-"), ms(so.median, 3), -1);
    row(QStringLiteral("  plain write, no sync, median"), QStringLiteral("-"), ms(sp.median, 3), -1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int validations = 500;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--live") && i + 1 < args.size())
            g_live = args.at(++i);
        else
            validations = qMax(20, args.at(i).toInt());
    }

    measureValidation(100, validations, 2.0, 10.0);
    if (!g_live.isEmpty())
        return 0;
    measureValidation(1000, validations, 5.0, 0);
    measureValidation(100, validations, 2.0, 10.0, true);
    measureValidation(1000, validations, 5.0, 0, true);
    measureSaves(validations);
    return 0;
}
