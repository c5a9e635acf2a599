#pragma once
// Small helpers shared by the benchmark programs: a monotonic clock, percentiles, a fixed
// pseudo-random sequence, files of known content and one result line per measured figure.
//
// Every figure that belongs in the summary table is printed as one tab-separated line
//   @row <TAB> what <TAB> goal <TAB> measured <TAB> verdict
// which scripts/bench.sh gathers; everything else is commentary for the reader.
#include "InningsTable.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <sys/resource.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace bench {

// Nanoseconds on CLOCK_MONOTONIC: the same clock in every process of the machine, so a
// parent can hand its reading to a child.
inline qint64 nowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// CPU time of the calling thread, in nanoseconds: set beside the wall time it tells work
// from waiting (for the disk, or for a core on a busy machine).
inline qint64 cpuNs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

inline double msSince(qint64 startNs)
{
    return double(nowNs() - startNs) / 1e6;
}

inline double cpuMsSince(qint64 startNs)
{
    return double(cpuNs() - startNs) / 1e6;
}

// The machine's load: other programs compete for the cores and for the disk's flushes.
inline void printLoad(const char *when)
{
    double l[3] = {0, 0, 0};
    if (getloadavg(l, 3) == 3)
        std::printf("  load average %s: %.2f %.2f %.2f\n", when, l[0], l[1], l[2]);
    std::fflush(stdout);
}

struct Stats {
    int n = 0;
    double min = 0, median = 0, p90 = 0, p99 = 0, max = 0, mean = 0;
};

// Nearest-rank percentile of an ascending sample.
inline double percentile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    size_t rank = size_t(p / 100.0 * double(sorted.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, sorted.size());
    return sorted[rank - 1];
}

inline Stats stats(std::vector<double> v)
{
    Stats s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.n = int(v.size());
    s.min = v.front();
    s.max = v.back();
    s.median = percentile(v, 50);
    s.p90 = percentile(v, 90);
    s.p99 = percentile(v, 99);
    double sum = 0;
    for (double x : v)
        sum += x;
    s.mean = sum / double(v.size());
    return s;
}

inline void printStats(const char *what, const Stats &s, const char *unit = "ms")
{
    std::printf("  %-52s n=%-4d min %8.3f  median %8.3f  p90 %8.3f  p99 %8.3f  max %8.3f %s\n",
                what, s.n, s.min, s.median, s.p90, s.p99, s.max, unit);
    std::fflush(stdout);
}

// One line of the summary table. `met` < 0 when the figure has no goal.
inline void row(const QString &what, const QString &goal, const QString &measured, int met)
{
    const char *verdict = met < 0 ? "-" : met ? "met" : "MISSED";
    std::printf("@row\t%s\t%s\t%s\t%s\n", what.toUtf8().constData(), goal.toUtf8().constData(),
                measured.toUtf8().constData(), verdict);
    std::fflush(stdout);
}

inline QString ms(double v, int decimals = 2)
{
    return QString::number(v, 'f', decimals) + QStringLiteral(" ms");
}

// A fixed pseudo-random sequence (64-bit linear congruential), the same on every run, so
// every run writes the same sheets.
class Lcg {
public:
    explicit Lcg(quint64 start = 0x2545F4914F6CDD1DULL) : m_state(start) {}
    quint32 next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(m_state >> 33);
    }
    // A carom run: mostly 0 to 3 points, now and then a longer one.
    qint32 run()
    {
        const quint32 r = next() % 100;
        if (r < 45)
            return 0;
        if (r < 90)
            return qint32(1 + next() % 3);
        return qint32(4 + next() % 12);
    }

private:
    quint64 m_state;
};

// Writes a backup of `innings` complete innings followed by the fresh row of the next
// one (both points null), as the window leaves it after player 2's validation.
inline void writeBackup(const QString &path, int innings)
{
    InningsTable t;
    t.openEmpty();
    Lcg lcg;
    for (int i = 0; i < innings; ++i) {
        t.edit();
        t.setField(InningsTable::Pts1, lcg.run());
        t.setField(InningsTable::Pts2, lcg.run());
        t.post();
        t.appendEmpty();
    }
    if (innings == 0)
        t.appendEmpty();
    t.saveToFile(path);
}

inline bool copyOver(const QString &from, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

// The folder under which the temporary folders are made: ZV_BENCH_DIR, else the system's.
inline QString tempParent()
{
    const QString dir = qEnvironmentVariable("ZV_BENCH_DIR");
    return dir.isEmpty() ? QString() : dir;
}

inline QTemporaryDir *makeTempDir()
{
    const QString parent = tempParent();
    return parent.isEmpty() ? new QTemporaryDir
                            : new QTemporaryDir(parent + QStringLiteral("/zv-bench-XXXXXX"));
}

// The kind of file system of a folder, since a durable save on tmpfs costs nothing.
inline QString fileSystemOf(const QString &path)
{
    struct statfs fs;
    if (statfs(QFile::encodeName(path).constData(), &fs) != 0)
        return QStringLiteral("?");
    switch (quint64(fs.f_type)) {
    case 0xEF53: return QStringLiteral("ext4");
    case 0x01021994: return QStringLiteral("tmpfs");
    case 0x9123683E: return QStringLiteral("btrfs");
    case 0x58465342: return QStringLiteral("xfs");
    case 0x794C7630: return QStringLiteral("overlay");
    default: return QStringLiteral("0x%1").arg(quint64(fs.f_type), 0, 16);
    }
}

// Peak resident set of this process so far, in MiB: VmHWM of /proc/self/status. The
// ru_maxrss of getrusage is the same mark, except that after a fork and exec it also keeps
// the one the forked copy of the parent reached, so a child of a big process reads big.
inline double peakRssMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_maxrss) / 1024.0;
}

// Current resident set, in MiB, from /proc.
inline double currentRssMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    if (parts.size() < 2)
        return 0;
    return parts.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

} // namespace bench
