// Sending a frame over a real TCP connection on the loopback interface. Servers run in
// worker threads with blocking sockets, the way the sender itself works.
#include "AppError.h"
#include "NetSend.h"

#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// A server on 127.0.0.1 for one connection: it either keeps every byte until the client
// closes, or drops the connection as soon as it is accepted.
class OneConnectionServer : public QThread {
public:
    enum class Mode { ReadUntilClosed, DropAtOnce };

    explicit OneConnectionServer(Mode mode) : m_mode(mode) {}
    ~OneConnectionServer() override { wait(); }

    quint16 listen()
    {
        start();
        m_ready.acquire();
        return m_port;
    }
    QByteArray received()
    {
        wait();
        return m_received;
    }
    bool connectionSeen()
    {
        wait();
        return m_seen;
    }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        m_port = server.serverPort();
        m_ready.release();
        if (!server.waitForNewConnection(20000))
            return;
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        m_seen = true;
        if (m_mode == Mode::DropAtOnce) {
            socket->abort();
            return;
        }
        while (socket->waitForReadyRead(20000))
            m_received += socket->readAll();
        m_received += socket->readAll();
    }

private:
    Mode m_mode;
    QSemaphore m_ready;
    quint16 m_port = 0;
    QByteArray m_received;
    bool m_seen = false;
};

#ifdef Q_OS_UNIX
// A server on 127.0.0.1 that reads at a bounded rate, `chunk` bytes every `stepMs`, and
// may stop reading for good after `stopAfter` bytes while keeping the connection open, as
// a busy or hung server does. Its system buffer is kept small, so what it has not read
// stays on the sender's side and the rate is the one the sender sees.
class SlowServer : public QThread {
public:
    SlowServer(qint64 chunk, int stepMs, qint64 stopAfter = -1)
        : m_chunk(chunk), m_stepMs(stepMs), m_stopAfter(stopAfter)
    {
    }
    ~SlowServer() override
    {
        m_release.release();
        wait();
    }

    quint16 listen()
    {
        start();
        m_ready.acquire();
        return m_port;
    }
    // Lets a server that stopped reading end; returns what it read.
    QByteArray received()
    {
        m_release.release();
        wait();
        return m_received;
    }

protected:
    void run() override
    {
        // The buffer size must be set before listening to hold for the accepted socket.
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
        if (!server.waitForNewConnection(20000))
            return;
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        socket->setReadBufferSize(m_chunk);
        while (m_stopAfter < 0 || m_received.size() < m_stopAfter) {
            if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(20000))
                break; // the client closed (or gave up)
            qint64 n = m_chunk;
            if (m_stopAfter >= 0)
                n = qMin(n, m_stopAfter - m_received.size());
            m_received += socket->read(n);
            QThread::msleep(m_stepMs);
        }
        if (m_stopAfter >= 0 && m_received.size() >= m_stopAfter)
            m_release.tryAcquire(1, 20000); // hung: reads nothing more until released
    }

private:
    qint64 m_chunk;
    int m_stepMs;
    qint64 m_stopAfter;
    QSemaphore m_ready;
    QSemaphore m_release;
    quint16 m_port = 0;
    QByteArray m_received;
};
#endif

// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

#ifdef Q_OS_UNIX
// A listener whose accept queue is already full: the system drops further connection
// requests without answering, which is what a server that does not respond looks like.
class FullBacklogListener {
public:
    FullBacklogListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), len) != 0
            || ::listen(m_fd, 0) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_filler.connectToHost(QHostAddress::LocalHost, m_port);
        m_filled = m_filler.waitForConnected(5000);
    }
    ~FullBacklogListener()
    {
        m_filler.abort();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    quint16 port() const { return m_filled ? m_port : 0; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    QTcpSocket m_filler;
    bool m_filled = false;
};
#endif

QByteArray exampleFrame()
{
    return NetSend::buildFrame({QStringLiteral("Joueur 1\tJoueur 2\t05/03/2016 14:05\r"),
                                QStringLiteral("12\t7\r"), QStringLiteral("\t\r")});
}

// Far more than the system buffers of both ends hold, so a server that does not read
// stops the sending half-way.
QByteArray hugeFrame()
{
    QStringList lines(32, QString(1 << 20, QLatin1Char('x')));
    return NetSend::buildFrame(lines);
}

} // namespace

class TestNetSend : public QObject {
    Q_OBJECT

private slots:
    void sendFrame_serverReceivesExactBytes_data();
    void sendFrame_serverReceivesExactBytes();
    void sendFrame_slowServer_receivesEverything();
    void sendFrame_errors_data();
    void sendFrame_errors();
};

void TestNetSend::sendFrame_serverReceivesExactBytes_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("exampleSheetByAddress") << QStringLiteral("127.0.0.1") << exampleFrame();
    // The server listens on IPv4 only: a name must be resolved to its IPv4 address.
    QTest::newRow("exampleSheetByName") << QStringLiteral("localhost") << exampleFrame();
    QTest::newRow("emptyHistory") << QStringLiteral("127.0.0.1") << NetSend::buildFrame({});
    QStringList history;
    for (int sheet = 0; sheet < 10000; ++sheet)
        history << QStringLiteral("Joueur 1\tJoueur 2\t05/03/2016 14:05") << QString()
                << QStringLiteral("%1\t%2").arg(sheet % 97).arg(sheet % 13) << QString();
    QTest::newRow("historyOfTenThousandSheets")
        << QStringLiteral("127.0.0.1") << NetSend::buildFrame(history);
}

void TestNetSend::sendFrame_serverReceivesExactBytes()
{
    QFETCH(QString, host);
    QFETCH(QByteArray, frame);

    OneConnectionServer server(OneConnectionServer::Mode::ReadUntilClosed);
    const quint16 port = server.listen();
    QVERIFY(port != 0);
    try {
        NetSend::sendFrame(host, port, frame);
    } catch (const AppError &e) {
        QFAIL(qPrintable(e.message()));
    }
    const QByteArray received = server.received();
    QCOMPARE(received.size(), frame.size());
    QVERIFY(received == frame);
}

// A server that keeps reading, however slowly, gets the whole frame: the sending waits as
// long as bytes keep moving, far longer in all than the time without progress it allows.
void TestNetSend::sendFrame_slowServer_receivesEverything()
{
#ifdef Q_OS_UNIX
    QStringList lines(4, QString(1 << 20, QLatin1Char('x')));
    const QByteArray frame = NetSend::buildFrame(lines);
    SlowServer server(64 * 1024, 40); // about 1.6 MB/s: 4 MiB take 2.6 s at least
    const quint16 port = server.listen();
    QVERIFY(port != 0);
    QElapsedTimer clock;
    clock.start();
    try {
        NetSend::sendFrame(QStringLiteral("127.0.0.1"), port, frame, 500);
    } catch (const AppError &e) {
        QFAIL(qPrintable(e.message()));
    }
    // Not a timing test: it shows the 0.5 s bound is on stalls, not on the whole sending.
    QVERIFY2(clock.elapsed() > 2000, qPrintable(QString::number(clock.elapsed())));
    const QByteArray received = server.received();
    QCOMPARE(received.size(), frame.size());
    QVERIFY(received == frame);
#else
    QSKIP("needs POSIX sockets");
#endif
}

enum class Situation {
    Nothing,
    ClosedPort,
    Unresponsive,
    NotReading,
    StopsReadingHalfway,
    StopsReadingNearTheEnd,
    DropsConnection
};
Q_DECLARE_METATYPE(Situation)

void TestNetSend::sendFrame_errors_data()
{
    QTest::addColumn<Situation>("situation");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port"); // when nothing is set up for the row
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("expected"); // {port}: the port the row set up

    QTest::newRow("emptyHost")
        << Situation::Nothing << QString() << 50000 << 4000
        << QStringLiteral("Aucun serveur indiqué : saisissez le nom ou l'adresse du serveur.");
    QTest::newRow("portZero")
        << Situation::Nothing << QStringLiteral("127.0.0.1") << 0 << 4000
        << QStringLiteral(
               "Le port 0 n'est pas valide : indiquez le port d'écoute du serveur (1 à 65535).");
    // Spaces make the name invalid, so it fails without asking any name server.
    QTest::newRow("hostNotFound")
        << Situation::Nothing << QStringLiteral("serveur du club") << 50000 << 4000
        << QStringLiteral("Serveur \"serveur du club\" introuvable.");
    QTest::newRow("refused")
        << Situation::ClosedPort << QStringLiteral("127.0.0.1") << 0 << 4000
        << QStringLiteral("Connexion refusée par 127.0.0.1:{port} (aucun serveur à l'écoute ?).");
    QTest::newRow("noAnswerWithinTimeout")
        << Situation::Unresponsive << QStringLiteral("127.0.0.1") << 0 << 300
        << QStringLiteral("Aucune réponse de 127.0.0.1:{port} après 0,3 secondes.");
    QTest::newRow("serverStopsReading")
        << Situation::NotReading << QStringLiteral("127.0.0.1") << 0 << 300
        << QStringLiteral("La connexion avec 127.0.0.1:{port} a été interrompue pendant "
                          "l'envoi : le serveur ne lit plus les données depuis 0,3 secondes");
    // A server that read for a while, then hangs with the connection open.
    QTest::newRow("serverStopsReadingHalfway")
        << Situation::StopsReadingHalfway << QStringLiteral("127.0.0.1") << 0 << 300
        << QStringLiteral("La connexion avec 127.0.0.1:{port} a été interrompue pendant "
                          "l'envoi : le serveur ne lit plus les données depuis 0,3 secondes");
    // The rest fits in the sender's own system buffer: handed over is not received.
    QTest::newRow("serverStopsReadingNearTheEnd")
        << Situation::StopsReadingNearTheEnd << QStringLiteral("127.0.0.1") << 0 << 300
        << QStringLiteral("La connexion avec 127.0.0.1:{port} a été interrompue pendant "
                          "l'envoi : le serveur ne lit plus les données depuis 0,3 secondes");
    QTest::newRow("serverDropsConnection")
        << Situation::DropsConnection << QStringLiteral("127.0.0.1") << 0 << 4000
        << QStringLiteral("La connexion avec 127.0.0.1:{port} a été interrompue pendant "
                          "l'envoi : le serveur a fermé la connexion");
}

void TestNetSend::sendFrame_errors()
{
    QFETCH(Situation, situation);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, timeoutMs);
    QFETCH(QString, expected);

    QByteArray frame = exampleFrame();
    QTcpServer notReading;
    std::unique_ptr<OneConnectionServer> dropping;
#ifdef Q_OS_UNIX
    std::unique_ptr<FullBacklogListener> unresponsive;
    std::unique_ptr<SlowServer> hanging;
#endif
    switch (situation) {
    case Situation::Nothing:
        break;
    case Situation::ClosedPort:
        port = closedPort();
        break;
    case Situation::Unresponsive:
#ifdef Q_OS_UNIX
        unresponsive = std::make_unique<FullBacklogListener>();
        port = unresponsive->port();
        if (port == 0)
            QSKIP("could not fill a listener's accept queue");
        break;
#else
        QSKIP("needs POSIX sockets");
#endif
    case Situation::NotReading:
        // Listening but never accepting: the system completes the connection, takes what
        // fits in its buffers, then nothing moves.
        QVERIFY(notReading.listen(QHostAddress::LocalHost, 0));
        port = notReading.serverPort();
        frame = hugeFrame();
        break;
    case Situation::StopsReadingHalfway:
    case Situation::StopsReadingNearTheEnd:
#ifdef Q_OS_UNIX
        frame = NetSend::buildFrame(QStringList(4, QString(1 << 20, QLatin1Char('x'))));
        hanging = std::make_unique<SlowServer>(
            64 * 1024, 1,
            situation == Situation::StopsReadingHalfway ? frame.size() / 2
                                                        : frame.size() - 512 * 1024);
        port = hanging->listen();
        QVERIFY(port != 0);
        break;
#else
        QSKIP("needs POSIX sockets");
#endif
    case Situation::DropsConnection:
        dropping = std::make_unique<OneConnectionServer>(
            OneConnectionServer::Mode::DropAtOnce);
        port = dropping->listen();
        frame = hugeFrame();
        break;
    }
    expected.replace(QStringLiteral("{port}"), QString::number(port));

    try {
        NetSend::sendFrame(host, quint16(port), frame, timeoutMs);
        QFAIL("the sending was reported as done");
    } catch (const AppError &e) {
        QCOMPARE(e.message(), expected);
    }
    if (dropping)
        QVERIFY(dropping->connectionSeen());
#ifdef Q_OS_UNIX
    if (hanging)
        QVERIFY(hanging->received().size() < frame.size());
#endif
}

QTEST_GUILESS_MAIN(TestNetSend)
#include "tst_netsend.moc"
