// Start-up: how long until the scoreboard's first frame is painted, with a backup of 100
// innings to load.
//
// Three measures:
// - in this process: construct the window, show it as the program does, and run the event
//   loop until the scoreboard background (RectangleFondTab) has been painted; the first
//   window of the process pays for the font database and the style, later ones do not;
// - in fresh processes: this program starts itself with --child and HOME set to a folder
//   holding Documents/FeuilleMatch.bin; the child does what the program's main() does and
//   reports the time from just before its process was started to the end of the first
//   frame (the parent's monotonic clock reading is handed over in ZV_BENCH_T0);
// - the program itself, when it offers ZV_EXIT_AFTER_FIRST_PAINT (it prints the
//   milliseconds since its start and quits after its first frame); skipped otherwise.
//
//   zv_bench_startup [runs] [--program PATH]      (15 runs by default)
#include "BenchUtil.h"
#include "Dialogs.h"
#include "FeuilleMain2.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>

#include <memory>

using namespace bench;

namespace {

// Notes the first paint of the scoreboard background, then ends the event loop once that
// frame is done.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QEventLoop *loop) : m_loop(loop) {}
    bool seen = false;
    qint64 at = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (!seen && event->type() == QEvent::Paint) {
            seen = true;
            at = nowNs();
            QMetaObject::invokeMethod(m_loop, &QEventLoop::quit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QEventLoop *m_loop;
};

struct Phases {
    double construct = 0; // TMainFrm's constructor, backup load included
    double show = 0;      // geometry and showMaximized()
    double frame = 0;     // from show to the first frame done
    bool painted = false;
};

// What main() does, from the window's construction to its first frame.
Phases openWindow(std::unique_ptr<TMainFrm> &window, TMainFrmEnv env)
{
    Phases p;
    qint64 t = nowNs();
    window = std::make_unique<TMainFrm>(std::move(env));
    p.construct = msSince(t);

    QEventLoop loop;
    FirstPaint first(&loop);
    window->RectangleFondTab->installEventFilter(&first);
    t = nowNs();
    if (QScreen *screen = window->screen())
        window->setGeometry(screen->availableGeometry());
    window->showMaximized();
    p.show = msSince(t);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    p.frame = msSince(t) - p.show;
    p.painted = first.seen;
    window->RectangleFondTab->removeEventFilter(&first);
    return p;
}

int child()
{
    const qint64 mainAt = nowNs();
    const qint64 t0 = qEnvironmentVariable("ZV_BENCH_T0").toLongLong();
    int argc = 1;
    char name[] = "zv_bench_startup";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvano"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelvano"));
    installFrenchTranslations();
    const double appMs = msSince(mainAt);

    std::unique_ptr<TMainFrm> window;
    const Phases p = openWindow(window, TMainFrmEnv{}); // the documents folder from HOME
    const double total = double(nowNs() - t0) / 1e6;
    std::printf("child %d total %.3f exec %.3f app %.3f construct %.3f show %.3f frame %.3f rows %d\n",
                p.painted ? 1 : 0, total, double(mainAt - t0) / 1e6, appMs, p.construct, p.show,
                p.frame, window->Feuille->recordCount());
    std::fflush(stdout);
    return 0;
}

QProcessEnvironment childEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--child") == 0)
            return child();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const qint64 appStart = nowNs();
    QApplication app(argc, argv);
    const double appMs = msSince(appStart);
    installFrenchTranslations();

    int runs = 15;
    QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/zelvano");
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--program") && i + 1 < args.size())
            program = args[++i];
        else if (args[i].toInt() > 0)
            runs = args[i].toInt();
    }

    std::unique_ptr<QTemporaryDir> home(makeTempDir());
    const QString documents = home->path() + QStringLiteral("/Documents");
    QDir().mkpath(documents);
    const QString backup = documents + QStringLiteral("/FeuilleMatch.bin");
    writeBackup(backup, 100);
    if (QFileInfo(QStringLiteral("/var/lib/zelvano")).isDir())
        std::printf("  WARNING: /var/lib/zelvano exists; the program reads its backup from there\n");

    std::printf("\nStart-up with a backup of 100 innings (%s)\n", fileSystemOf(documents).toUtf8().constData());
    printLoad("before");
    std::printf("  QApplication of this process: %.3f ms\n", appMs);

    // --- in this process ---------------------------------------------------------------
    std::vector<double> warm;
    double cold = 0;
    for (int i = 0; i < 6; ++i) {
        ScriptedDialogs dialogs;
        TMainFrmEnv env;
        env.documentsDir = documents;
        env.dialogs = &dialogs;
        std::unique_ptr<TMainFrm> window;
        const Phases p = openWindow(window, env);
        const double total = p.construct + p.show + p.frame;
        if (!p.painted)
            std::printf("  WARNING: no paint of the scoreboard within 10 s\n");
        if (i == 0) {
            cold = total;
            std::printf("  first window: construct %.3f  show %.3f  first frame %.3f  total %.3f ms (%d rows)\n",
                        p.construct, p.show, p.frame, total, window->Feuille->recordCount());
        } else {
            warm.push_back(total);
        }
        window.reset();
        QApplication::processEvents();
    }
    printStats("later windows, construct -> first frame", stats(warm));

    // --- fresh processes -------------------------------------------------------------------
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> totals, execs, apps, constructs, frames;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = childEnvironment(home->path());
        const qint64 t0 = nowNs();
        env.insert(QStringLiteral("ZV_BENCH_T0"), QString::number(t0));
        p.setProcessEnvironment(env);
        p.start(self, {QStringLiteral("--child")});
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            std::printf("  WARNING: child did not finish\n");
            continue;
        }
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        static const QRegularExpression re(QStringLiteral(
            "child (\\d) total ([\\d.]+) exec ([\\d.]+) app ([\\d.]+) construct ([\\d.]+) show ([\\d.]+) frame ([\\d.]+) rows (\\d+)"));
        const auto m = re.match(out);
        if (!m.hasMatch() || m.captured(1) != QStringLiteral("1")) {
            std::printf("  WARNING: child said: %s\n", out.toUtf8().constData());
            continue;
        }
        totals.push_back(m.captured(2).toDouble());
        execs.push_back(m.captured(3).toDouble());
        apps.push_back(m.captured(4).toDouble());
        constructs.push_back(m.captured(5).toDouble() + m.captured(6).toDouble());
        frames.push_back(m.captured(7).toDouble());
        if (i == 0)
            std::printf("  the child loaded %s rows\n", m.captured(8).toUtf8().constData());
    }
    const Stats st = stats(totals);
    printStats("process start -> first frame (fresh process)", st);
    printStats("  start -> main() (exec, loader, Qt's libraries)", stats(execs));
    printStats("  QApplication + French translations", stats(apps));
    printStats("  window constructed and shown", stats(constructs));
    printStats("  show -> first frame done", stats(frames));

    // --- the program itself, when it can say when it has painted -----------------------------
    QString programFigure;
    if (QFileInfo(program).isExecutable()) {
        std::vector<double> own;
        for (int i = 0; i < runs; ++i) {
            QProcess p;
            QProcessEnvironment env = childEnvironment(home->path());
            env.insert(QStringLiteral("ZV_EXIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
            p.setProcessEnvironment(env);
            p.start(program, {});
            if (!p.waitForFinished(i == 0 ? 4000 : 30000)) {
                p.kill();
                p.waitForFinished();
                std::printf("  the program has no first-paint exit (ZV_EXIT_AFTER_FIRST_PAINT): not measured\n");
                break;
            }
            static const QRegularExpression number(QStringLiteral("([\\d]+(?:\\.\\d+)?)"));
            const auto m = number.match(QString::fromUtf8(p.readAllStandardOutput()));
            if (!m.hasMatch())
                break;
            own.push_back(m.captured(1).toDouble());
        }
        if (!own.empty()) {
            const Stats so = stats(own);
            printStats("the program, start -> first frame (its own figure)", so);
            programFigure = ms(so.median, 1);
            row(QStringLiteral("Start-up of zelvano, 100 innings, median"), QStringLiteral("< 250 ms"), programFigure, so.median < 250);
        }
    }
    printLoad("after");

    row(QStringLiteral("Start-up, process start -> first frame, 100 innings, median"), QStringLiteral("< 250 ms"), ms(st.median, 1), st.n > 0 && st.median < 250);
    row(QStringLiteral("  the same, max of %1 runs").arg(st.n), QStringLiteral("-"), ms(st.max, 1), -1);
    row(QStringLiteral("  first window in a running process, construct -> first frame"), QStringLiteral("-"), ms(cold, 1), -1);
    return 0;
}
