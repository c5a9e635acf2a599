// The match history: archiving a sheet into a history of 100, 1000 and 10 000 sheets,
// sending the whole history of 10 000 sheets to the receiving server on 127.0.0.1, and the
// peak memory of the scoreboard that did both.
//
// A history of N sheets is written by a separate run of this program (--make-history), so
// the generator's memory never counts in the figures; each sheet has 30 innings, the
// current sheet too. The history is written as the program leaves it after many archives:
// every stored entry loads as its text and an empty entry.
//
// Before every timed archive the history file is put back as it was (untimed, durably),
// so every run archives into the same history.
//
//   zv_bench_history [--receiver PATH] [--quick]
//   zv_bench_history --make-history N PATH
//   zv_bench_history --memory HISTORY PORT
//   zv_bench_history --profile HISTORY PORT   (three archives and, with a port, three sendings,
//                                              untimed: for perf or callgrind)
#include "BenchUtil.h"
#include "Dialogs.h"
#include "DurableFile.h"
#include "FeuilleMain2.h"
#include "LineList.h"
#include "NetSend.h"
#include "SheetText.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>

#include <memory>

using namespace bench;

namespace {

constexpr int InningsPerSheet = 30;

int makeHistory(int sheets, const QString &path)
{
    LineList list;
    Lcg lcg(0x9E3779B97F4A7C15ULL);
    const QLocale french(QLocale::French, QLocale::France);
    QDateTime when(QDate(2016, 3, 5), QTime(14, 5));
    for (int s = 0; s < sheets; ++s) {
        // An entry with its own CR is stored as text CR CR LF and loads as the text and an
        // empty entry, as after many archives.
        list.entries.append(SheetText::headerEntry(QStringLiteral("Joueur 1"), QStringLiteral("Joueur 2"), when, french));
        for (int i = 0; i < InningsPerSheet; ++i)
            list.entries.append(SheetText::rowEntry(QString::number(lcg.run()), QString::number(lcg.run())));
        when = when.addSecs(3 * 3600);
    }
    list.saveToFile(path);
    return 0;
}

// Writes the pristine history over `to`, durably, so the timed save that follows has no
// pending data of ours to flush.
void restore(const QByteArray &pristine, const QString &to)
{
    const QString reason = DurableFile::write(to, pristine);
    if (!reason.isEmpty())
        std::printf("  WARNING: cannot restore the history: %s\n", reason.toUtf8().constData());
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

int errorDialogs(const ScriptedDialogs &d)
{
    int n = 0;
    for (const auto &s : d.shown)
        if (s.kind == DlgKind::Error)
            ++n;
    return n;
}

// A window over a fresh documents folder holding a sheet of 30 innings.
struct Scoreboard {
    std::unique_ptr<QTemporaryDir> dir{makeTempDir()};
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainFrm> w;

    Scoreboard()
    {
        writeBackup(QDir(dir->path()).filePath(QStringLiteral("FeuilleMatch.bin")), InningsPerSheet);
        TMainFrmEnv env;
        env.documentsDir = dir->path();
        env.dialogs = &dialogs;
        w = std::make_unique<TMainFrm>(env);
        if (QScreen *screen = w->screen())
            w->setGeometry(screen->availableGeometry());
        w->show();
        QApplication::processEvents();
    }
};

bool makeHistoryFile(int sheets, const QString &path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--make-history"), QString::number(sheets), path});
    return p.waitForFinished(120000) && p.exitCode() == 0 && QFileInfo::exists(path);
}

struct ArchiveFigures {
    Stats archive;
    qint64 bytes = 0;
    int entries = 0;
};

ArchiveFigures measureArchive(int sheets, const QString &pristinePath, int repeats)
{
    const QByteArray pristine = readAll(pristinePath);
    Scoreboard sb;
    TMainFrm &w = *sb.w;
    const QString history = w.historyPath();

    std::printf("\nArchive of a %d-inning sheet into a history of %d sheets (%lld bytes, %s)\n",
                InningsPerSheet, sheets, qlonglong(pristine.size()),
                fileSystemOf(sb.dir->path()).toUtf8().constData());
    printLoad("before");

    std::vector<double> archive, archiveCpu;
    for (int r = 0; r < repeats + 1; ++r) {
        restore(pristine, history);
        sb.dialogs.shown.clear();
        const qint64 c0 = cpuNs();
        const qint64 t0 = nowNs();
        w.guard([&] { w.ArchiveSheet(); });
        const double t = msSince(t0);
        const double c = cpuMsSince(c0);
        if (errorDialogs(sb.dialogs))
            std::printf("  WARNING: the archive failed: %s\n", sb.dialogs.shown.back().text.toUtf8().constData());
        if (r > 0) { // the first run warms the caches
            archive.push_back(t);
            archiveCpu.push_back(c);
        }
    }
    const qint64 after = QFileInfo(history).size();

    // The same steps one by one.
    std::vector<double> load, sheet, encode, save;
    int entries = 0;
    for (int r = 0; r < repeats; ++r) {
        restore(pristine, history);
        LineList list;
        qint64 t0 = nowNs();
        list.loadFromFile(history);
        load.push_back(msSince(t0));
        t0 = nowNs();
        w.SheetToStrings(list);
        sheet.push_back(msSince(t0));
        t0 = nowNs();
        const QByteArray bytes = list.toBytes();
        encode.push_back(msSince(t0));
        t0 = nowNs();
        DurableFile::write(history, bytes);
        save.push_back(msSince(t0));
        entries = list.count();
    }
    restore(pristine, history);

    ArchiveFigures f;
    f.archive = stats(archive);
    f.bytes = pristine.size();
    f.entries = entries;
    printStats("ArchiveSheet()", f.archive);
    printStats("  CPU time of it", stats(archiveCpu));
    printStats("  load the history (LineList::loadFromFile)", stats(load));
    printStats("  append the sheet (SheetToStrings)", stats(sheet));
    printStats("  encode (LineList::toBytes)", stats(encode));
    printStats("  durable write (DurableFile::write)", stats(save));
    std::printf("  %d entries after the archive, file %lld -> %lld bytes\n", entries,
                qlonglong(pristine.size()), qlonglong(after));
    printLoad("after");
    return f;
}

class Receiver {
public:
    QProcess proc;
    quint16 port = 0;

    bool start(const QString &program, const QString &folder)
    {
        proc.start(program, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                             QStringLiteral("0"), QStringLiteral("--dir"), folder});
        if (!proc.waitForStarted(5000))
            return false;
        const QString line = nextLine(5000);
        static const QRegularExpression re(QStringLiteral(":(\\d+),"));
        const auto m = re.match(line);
        port = m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
        return port != 0;
    }
    // The receiver's next line, waiting at most timeoutMs; empty on time-out.
    QString nextLine(int timeoutMs)
    {
        const qint64 t0 = nowNs();
        while (!proc.canReadLine()) {
            const int left = timeoutMs - int(msSince(t0));
            if (left <= 0 || proc.state() != QProcess::Running)
                return QString();
            proc.waitForReadyRead(left);
        }
        return QString::fromUtf8(proc.readLine()).trimmed();
    }
    QString waitForReceived(int timeoutMs)
    {
        for (;;) {
            const QString line = nextLine(timeoutMs);
            if (line.isEmpty() || line.startsWith(QStringLiteral("reçu")) || line.contains(QStringLiteral("refusé")))
                return line;
        }
    }
    void stop()
    {
        if (proc.state() == QProcess::NotRunning)
            return;
        proc.terminate();
        if (!proc.waitForFinished(3000)) {
            proc.kill();
            proc.waitForFinished(3000);
        }
    }
    ~Receiver() { stop(); }
};

void pointWindowAt(TMainFrm &w, quint16 port)
{
    w.EditHost->setText(QStringLiteral("127.0.0.1"));
    w.EditPort->setText(QString::number(port));
    w.RadioFeuillesArchive->setChecked(true);
}

Stats measureSend(int sheets, const QString &pristinePath, Receiver &receiver, int repeats)
{
    const QByteArray pristine = readAll(pristinePath);
    Scoreboard sb;
    TMainFrm &w = *sb.w;
    restore(pristine, w.historyPath());
    pointWindowAt(w, receiver.port);

    std::printf("\nSending the history of %d sheets (%lld bytes) to the receiver on 127.0.0.1:%u\n",
                sheets, qlonglong(pristine.size()), receiver.port);
    printLoad("before");

    std::vector<double> endToEnd, handler;
    QString lastLine;
    for (int r = 0; r < repeats + 1; ++r) {
        sb.dialogs.shown.clear();
        const qint64 t0 = nowNs();
        w.guard([&] { w.btnprintFeuilleClick(nullptr); });
        const double h = msSince(t0);
        if (errorDialogs(sb.dialogs)) {
            std::printf("  WARNING: the sending failed: %s\n", sb.dialogs.shown.back().text.toUtf8().constData());
            break;
        }
        lastLine = receiver.waitForReceived(10000);
        const double e = msSince(t0);
        if (!lastLine.startsWith(QStringLiteral("reçu")))
            std::printf("  WARNING: the receiver said: %s\n", lastLine.toUtf8().constData());
        if (r > 0) {
            endToEnd.push_back(e);
            handler.push_back(h);
        }
    }
    std::printf("  the receiver: %s\n", lastLine.toUtf8().constData());

    // The same steps one by one.
    std::vector<double> load, build, send;
    LineList list;
    for (int r = 0; r < repeats; ++r) {
        list = LineList();
        qint64 t0 = nowNs();
        list.loadFromFile(w.historyPath());
        load.push_back(msSince(t0));
        t0 = nowNs();
        const QByteArray frame = NetSend::buildFrame(list.entries);
        build.push_back(msSince(t0));
        t0 = nowNs();
        try {
            NetSend::sendFrame(QStringLiteral("127.0.0.1"), receiver.port, frame, 4000);
        } catch (...) {
            std::printf("  WARNING: sendFrame failed\n");
        }
        receiver.waitForReceived(10000);
        send.push_back(msSince(t0));
    }

    const Stats s = stats(endToEnd);
    printStats("click -> receiver's line (btnprintFeuilleClick)", s);
    printStats("  the click handler returns", stats(handler));
    printStats("  load the history", stats(load));
    printStats("  NetSend::buildFrame", stats(build));
    printStats("  sendFrame -> receiver's line", stats(send));
    std::printf("  %d lines sent, frame of %lld bytes\n", list.count(),
                qlonglong(NetSend::buildFrame(list.entries).size()));
    printLoad("after");
    return s;
}

// A fresh scoreboard archives into the history and sends it; its peak memory is read at
// each step. Run in a process of its own so nothing else counts.
int memoryRun(const QString &pristinePath, quint16 port, int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double afterApp = peakRssMiB();
    Scoreboard sb;
    TMainFrm &w = *sb.w;
    const double afterWindow = peakRssMiB();
    restore(readAll(pristinePath), w.historyPath());
    const double beforeArchive = peakRssMiB();
    w.guard([&] { w.ArchiveSheet(); });
    const double afterArchive = peakRssMiB();
    pointWindowAt(w, port);
    w.guard([&] { w.btnprintFeuilleClick(nullptr); });
    QApplication::processEvents();
    const double afterSend = peakRssMiB();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    if (errorDialogs(sb.dialogs))
        std::printf("  WARNING: %s\n", sb.dialogs.shown.back().text.toUtf8().constData());

    std::printf("\nPeak resident memory of a scoreboard (VmHWM of /proc/self/status)\n");
    std::printf("  after QApplication %.1f MiB, window shown %.1f MiB, history in place %.1f MiB\n",
                afterApp, afterWindow, beforeArchive);
    std::printf("  after ArchiveSheet %.1f MiB, after sending the history %.1f MiB; resident now %.1f MiB\n",
                afterArchive, afterSend, currentRssMiB());
    std::printf("  getrusage ru_maxrss says %.1f MiB: it keeps the mark of the process that started\n"
                "  this one (Linux records the parent's copy at exec), so VmHWM is the figure\n",
                double(ru.ru_maxrss) / 1024.0);
    row(QStringLiteral("Peak memory, window shown, before any history"), QStringLiteral("-"),
        QStringLiteral("%1 MiB").arg(afterWindow, 0, 'f', 1), -1);
    row(QStringLiteral("Peak memory with the history of 10 000 sheets archived and sent"), QStringLiteral("< 80 MB"),
        QStringLiteral("%1 MiB").arg(afterSend, 0, 'f', 1), afterSend * 1.048576 < 80);
    return 0;
}

int profileRun(const QString &pristinePath, quint16 port, int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QByteArray pristine = readAll(pristinePath);
    Scoreboard sb;
    TMainFrm &w = *sb.w;
    for (int i = 0; i < 3; ++i) {
        restore(pristine, w.historyPath());
        w.guard([&] { w.ArchiveSheet(); });
    }
    restore(pristine, w.historyPath());
    if (port != 0) {
        pointWindowAt(w, port);
        for (int i = 0; i < 3; ++i)
            w.guard([&] { w.btnprintFeuilleClick(nullptr); });
    }
    if (errorDialogs(sb.dialogs))
        std::printf("  WARNING: %s\n", sb.dialogs.shown.back().text.toUtf8().constData());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && qstrcmp(argv[1], "--make-history") == 0) {
        QCoreApplication app(argc, argv);
        return makeHistory(QString::fromLocal8Bit(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 4 && qstrcmp(argv[1], "--memory") == 0)
        return memoryRun(QString::fromLocal8Bit(argv[2]), quint16(QString::fromLocal8Bit(argv[3]).toUInt()), 1, argv);
    if (argc == 4 && qstrcmp(argv[1], "--profile") == 0)
        return profileRun(QString::fromLocal8Bit(argv[2]), quint16(QString::fromLocal8Bit(argv[3]).toUInt()), 1, argv);

    QApplication app(argc, argv);
    QString receiverProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/zelvano-receiver");
    bool quick = false;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--receiver") && i + 1 < args.size())
            receiverProgram = args[++i];
        else if (args[i] == QStringLiteral("--quick"))
            quick = true;
    }

    std::unique_ptr<QTemporaryDir> work(makeTempDir());
    struct Size {
        int sheets;
        int repeats;
    };
    const Size sizes[] = {{100, quick ? 5 : 30}, {1000, quick ? 5 : 20}, {10000, quick ? 3 : 10}};
    std::vector<std::pair<int, ArchiveFigures>> growth;
    QString big;
    for (const Size &size : sizes) {
        const QString path = QDir(work->path()).filePath(QStringLiteral("history-%1.txt").arg(size.sheets));
        if (!makeHistoryFile(size.sheets, path)) {
            std::printf("  WARNING: no history of %d sheets could be written\n", size.sheets);
            continue;
        }
        growth.emplace_back(size.sheets, measureArchive(size.sheets, path, size.repeats));
        big = path;
    }

    std::printf("\nHow an archive grows with the history\n");
    std::printf("  %8s %12s %10s %12s %16s\n", "sheets", "bytes", "entries", "median ms", "ms per 1000 sh.");
    for (const auto &[sheets, f] : growth)
        std::printf("  %8d %12lld %10d %12.2f %16.2f\n", sheets, qlonglong(f.bytes), f.entries,
                    f.archive.median, f.archive.median * 1000.0 / sheets);
    for (const auto &[sheets, f] : growth) {
        const QString what = QStringLiteral("ArchiveSheet, history of %1 sheets, median").arg(QLocale(QLocale::French).toString(sheets));
        if (sheets == 10000)
            row(what, QStringLiteral("< 100 ms"), ms(f.archive.median, 1), f.archive.median < 100);
        else
            row(what, QStringLiteral("-"), ms(f.archive.median, 1), -1);
    }

    Receiver receiver;
    const QString received = QDir(work->path()).filePath(QStringLiteral("received"));
    if (!QFileInfo(receiverProgram).isExecutable() || !receiver.start(receiverProgram, received)) {
        std::printf("  WARNING: the receiver %s could not be started\n", receiverProgram.toUtf8().constData());
        return 1;
    }
    const Stats send = measureSend(10000, big, receiver, quick ? 3 : 10);
    row(QStringLiteral("Sending the history of 10 000 sheets, click -> received, median"), QStringLiteral("< 200 ms"),
        ms(send.median, 1), send.n > 0 && send.median < 200);

    // The peak memory, in a process of its own.
    QProcess memory;
    memory.setProcessChannelMode(QProcess::ForwardedChannels);
    memory.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--memory"), big, QString::number(receiver.port)});
    memory.waitForFinished(120000);
    receiver.waitForReceived(10000);
    receiver.stop();
    return 0;
}
