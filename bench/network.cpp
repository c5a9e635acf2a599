// Network figures that take real time, kept out of the tests:
//
//   zv_bench_network --slow-send [MB] [BYTES_PER_S]
//       the time of sending a history of MB megabytes (8 by default) to a server that
//       reads BYTES_PER_S (200 000 by default), with the scoreboard's own sending;
//   zv_bench_network --hostile RECEIVER [CLIENTS] [MIB] [receiver options...]
//       the receiver's peak resident memory (VmHWM) while CLIENTS clients (100) connect at
//       once on 127.0.0.1 and each sends a frame of MIB MiB (60) as fast as it can: a count
//       of one line, then bytes without any line end, then the end of the stream.
//
// Both print what they measured and one @row line each for scripts/bench.sh.
#include "AppError.h"
#include "BenchUtil.h"
#include "NetSend.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSemaphore>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <memory>
#include <vector>

namespace {

// A server that reads at a fixed rate: after t seconds it has read rate·t bytes at most.
// Its system buffer is small, so what it has not read waits on the sender's side.
class PacedServer : public QThread {
public:
    explicit PacedServer(qint64 rate) : m_rate(rate) {}
    ~PacedServer() override { wait(); }

    quint16 listen()
    {
        start();
        m_ready.acquire();
        return m_port;
    }
    qint64 received()
    {
        wait();
        return m_received;
    }

protected:
    void run() override
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 32 * 1024;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        QTcpServer server;
        if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small) != 0
            || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), len) != 0 || ::listen(fd, 1) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0
            || !server.setSocketDescriptor(fd)) {
            m_ready.release();
            return;
        }
        m_port = ntohs(addr.sin_port);
        m_ready.release();
        if (!server.waitForNewConnection(30000))
            return;
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        socket->setReadBufferSize(16 * 1024);
        const qint64 start = bench::nowNs();
        for (;;) {
            const qint64 allowed = qint64(double(bench::nowNs() - start) / 1e9 * double(m_rate));
            if (allowed > m_received) {
                if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(30000))
                    break;
                m_received += socket->read(qMin<qint64>(allowed - m_received, 16 * 1024)).size();
            } else {
                QThread::msleep(5);
            }
        }
        m_received += socket->readAll().size();
    }

private:
    qint64 m_rate;
    QSemaphore m_ready;
    quint16 m_port = 0;
    qint64 m_received = 0;
};

int slowSend(double megabytes, qint64 rate)
{
    // History-like lines: a header, rows, the empty lines that loading makes.
    QStringList lines;
    qint64 size = 4;
    const qint64 target = qint64(megabytes * 1e6);
    for (int i = 0; size < target; ++i) {
        const QString line = i % 2 ? QString()
                                   : QStringLiteral("%1\t%2\tJoueur 1\tJoueur 2\t05/03/2016 14:05\r")
                                         .arg(i % 97)
                                         .arg(i % 13);
        lines << line;
        size += line.size() + 2;
    }
    const QByteArray frame = NetSend::buildFrame(lines);

    PacedServer server(rate);
    const quint16 port = server.listen();
    if (port == 0) {
        std::fprintf(stderr, "could not listen\n");
        return 1;
    }
    std::printf("sending %lld bytes (%d lines) to a server reading %lld bytes/s; "
                "the sending gives up after 4 s without progress\n",
                qlonglong(frame.size()), int(lines.size()), qlonglong(rate));
    bench::printLoad("before");
    const qint64 start = bench::nowNs();
    QString outcome = QStringLiteral("complete");
    try {
        NetSend::sendFrame(QStringLiteral("127.0.0.1"), port, frame);
    } catch (const AppError &e) {
        outcome = e.message();
    }
    const double seconds = bench::msSince(start) / 1000;
    const qint64 received = server.received();
    std::printf("  %s after %.1f s; the server read %lld of %lld bytes (%.1f s at its rate)\n",
                outcome.toUtf8().constData(), seconds, qlonglong(received),
                qlonglong(frame.size()), double(frame.size()) / double(rate));
    bench::printLoad("after");
    const bool ok = outcome == QStringLiteral("complete") && received == frame.size();
    std::printf("@row\tSending a %.0f MB history to a server reading %lld kB/s\tcompletes, "
                "about %.0f s\t%s\t%s\n",
                megabytes, qlonglong(rate / 1000), double(frame.size()) / double(rate),
                ok ? QString::asprintf("%.1f s", seconds).toUtf8().constData() : "failed",
                ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}

qint64 statusKiB(qint64 pid, const char *key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qint64 folderBytes(const QString &path)
{
    qint64 total = 0;
    for (const QFileInfo &info : QDir(path).entryInfoList(QDir::Files | QDir::Hidden))
        total += info.size();
    return total;
}

struct Client {
    int fd = -1;
    qint64 sent = 0;
    bool connected = false;
    bool ended = false;
    bool cut = false; // the receiver closed or reset it before the end
};

int hostile(const QString &receiverPath, int clients, qint64 mib, const QStringList &extra)
{
    const QString base = qEnvironmentVariable("ZV_BENCH_DIR", QDir::tempPath());
    QTemporaryDir folder(base + QStringLiteral("/zv-hostile-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder in %s\n", qPrintable(base));
        return 1;
    }
    QProcess receiver;
    receiver.setProgram(receiverPath);
    receiver.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                                      QStringLiteral("--port"), QStringLiteral("0"),
                                      QStringLiteral("--dir"), folder.path()}
                          + extra);
    receiver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    receiver.start();
    if (!receiver.waitForStarted(10000) || !receiver.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the receiver did not start\n");
        return 1;
    }
    const QString first = QString::fromUtf8(receiver.readLine()).trimmed();
    const quint16 port = quint16(first.section(QLatin1Char(':'), 1).section(QLatin1Char(','), 0, 0).toUInt());
    if (port == 0) {
        std::fprintf(stderr, "unexpected first line: %s\n", qPrintable(first));
        return 1;
    }
    const qint64 pid = receiver.processId();
    const qint64 frameBytes = mib * 1024 * 1024;
    std::printf("%d clients at once, each sending a frame of %lld MiB (one line that never "
                "ends), to zelvano-receiver %s\n",
                clients, qlonglong(mib), qPrintable(extra.join(QLatin1Char(' '))));
    std::printf("  receiver at start: VmRSS %lld KiB\n", qlonglong(statusKiB(pid, "VmRSS:")));
    bench::printLoad("before");

    const QByteArray header = QByteArray::fromHex("00000001");
    const QByteArray block(256 * 1024, 'x');
    std::vector<Client> all(static_cast<size_t>(clients));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    for (Client &c : all) {
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (c.fd < 0 || (::connect(c.fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
                         && errno != EINPROGRESS)) {
            std::fprintf(stderr, "connect: %s\n", std::strerror(errno));
            return 1;
        }
    }

    const qint64 start = bench::nowNs();
    const qint64 limitNs = qint64(600) * 1000000000;
    qint64 peakRss = 0;
    qint64 peakDisk = 0;
    qint64 lastSample = 0;
    int open = clients;
    while (open > 0 && bench::nowNs() - start < limitNs) {
        std::vector<pollfd> fds;
        std::vector<Client *> who;
        for (Client &c : all) {
            if (!c.ended) {
                fds.push_back({c.fd, POLLOUT, 0});
                who.push_back(&c);
            }
        }
        ::poll(fds.data(), nfds_t(fds.size()), 100);
        for (size_t i = 0; i < fds.size(); ++i) {
            Client &c = *who[i];
            if (!(fds[i].revents & (POLLOUT | POLLERR | POLLHUP)))
                continue;
            for (;;) {
                const qint64 total = frameBytes + header.size();
                const char *data;
                qint64 n;
                if (c.sent < header.size()) {
                    data = header.constData() + c.sent;
                    n = header.size() - c.sent;
                } else {
                    data = block.constData();
                    n = qMin<qint64>(block.size(), total - c.sent);
                }
                const ssize_t w = n > 0 ? ::send(c.fd, data, size_t(n), MSG_NOSIGNAL) : 0;
                if (w > 0) {
                    c.sent += w;
                    continue;
                }
                if (n == 0) { // everything sent: end the stream
                    ::close(c.fd);
                    c.ended = true;
                    --open;
                } else if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                    ::close(c.fd);
                    c.ended = c.cut = true;
                    --open;
                }
                break;
            }
        }
        if (bench::nowNs() - lastSample > 200000000) {
            lastSample = bench::nowNs();
            peakRss = qMax(peakRss, statusKiB(pid, "VmRSS:"));
            peakDisk = qMax(peakDisk, folderBytes(folder.path()));
        }
    }
    const double seconds = bench::msSince(start) / 1000;
    for (Client &c : all) {
        if (!c.ended)
            ::close(c.fd);
    }

    // Let the receiver finish the last frames, then read what it said.
    QByteArray said;
    for (int i = 0; i < 100 && receiver.state() == QProcess::Running; ++i) {
        receiver.waitForReadyRead(100);
        said += receiver.readAllStandardOutput();
        if (said.count('\n') >= clients)
            break;
    }
    const qint64 hwm = statusKiB(pid, "VmHWM:");
    peakDisk = qMax(peakDisk, folderBytes(folder.path()));
    receiver.terminate();
    receiver.waitForFinished(10000);
    said += receiver.readAllStandardOutput();

    int stored = 0, incomplete = 0, refusedConnections = 0, refusedFrames = 0;
    for (const QByteArray &line : said.split('\n')) {
        if (line.contains("trame incompl"))
            ++incomplete;
        else if (line.startsWith("re\xc3\xa7u "))
            ++stored;
        else if (line.contains("connexions ouvertes"))
            ++refusedConnections;
        else if (line.startsWith("refus"))
            ++refusedFrames;
    }
    qint64 sent = 0;
    int cut = 0;
    for (const Client &c : all) {
        sent += c.sent;
        cut += c.cut;
    }
    std::printf("  %.1f s; clients sent %.0f MiB in all, %d were cut by the receiver\n", seconds,
                double(sent) / 1048576, cut);
    std::printf("  receiver: %d frames stored, %d kept as cut short, %d frames refused, "
                "%d connections refused at once\n",
                stored, incomplete, refusedFrames, refusedConnections);
    std::printf("  folder at its fullest: %.0f MiB; receiver VmRSS sampled peak %lld KiB, "
                "VmHWM %lld KiB (%.1f MB)\n",
                double(peakDisk) / 1048576, qlonglong(peakRss), qlonglong(hwm),
                double(hwm) * 1024 / 1e6);
    bench::printLoad("after");
    std::printf("@row\tReceiver peak resident memory, %d clients x %lld MiB at once%s\t< 100 MB\t"
                "%.1f MB\t%s\n",
                clients, qlonglong(mib),
                extra.isEmpty() ? "" : qPrintable(QStringLiteral(" (%1)").arg(extra.join(QLatin1Char(' ')))),
                double(hwm) * 1024 / 1e6, hwm * 1024 < 100000000 ? "ok" : "OVER");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QStringLiteral("--slow-send"))
        return slowSend(args.size() > 1 ? args[1].toDouble() : 8.0,
                        args.size() > 2 ? args[2].toLongLong() : 200000);
    if (args.size() >= 2 && args.first() == QStringLiteral("--hostile"))
        return hostile(args[1], args.size() > 2 ? args[2].toInt() : 100,
                       args.size() > 3 ? args[3].toLongLong() : 60, args.mid(4));
    std::fprintf(stderr, "usage: zv_bench_network --slow-send [MB] [BYTES_PER_S]\n"
                         "       zv_bench_network --hostile RECEIVER [CLIENTS] [MIB] [options]\n");
    return 2;
}
