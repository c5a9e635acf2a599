// The receiving server as its users run it: the real program on 127.0.0.1, a port of its
// own choosing, a temporary folder, and clients that behave well or badly.
#include "AppError.h"
#include "NetSend.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

template <std::size_t N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, qsizetype(N - 1));
}

QByteArray golden(const char *name)
{
    QFile file(QStringLiteral(ZV_NET_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing golden file %s", name);
    return file.readAll();
}

const QRegularExpression sheetName(
    QStringLiteral("^feuille-\\d{8}-\\d{6}-\\d{3}-\\d+\\.txt$"));
const QRegularExpression incompleteName(
    QStringLiteral("^feuille-\\d{8}-\\d{6}-\\d{3}-\\d+\\.incomplet\\.txt$"));

// One running receiver and what it printed.
class ReceiverRun {
public:
    explicit ReceiverRun(const QString &folder, const QStringList &extra = {})
    {
        m_process.setProgram(QStringLiteral(ZV_RECEIVER_PATH));
        m_process.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                                           QStringLiteral("--port"), QStringLiteral("0"),
                                           QStringLiteral("--dir"), folder}
                               + extra);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return;
        static const QRegularExpression listening(
            QStringLiteral("^à l'écoute sur 127\\.0\\.0\\.1:(\\d+), dossier "));
        const QRegularExpressionMatch m = listening.match(nextLine());
        if (m.hasMatch())
            m_port = quint16(m.captured(1).toUInt());
    }
    ~ReceiverRun()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    quint16 port() const { return m_port; }

    // The next line the program prints, or an empty string when none comes in time.
    QString nextLine(int timeoutMs = 15000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine()) {
            if (m_process.state() != QProcess::Running
                || !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                return QString();
        }
        return QString::fromUtf8(m_process.readLine()).chopped(1);
    }

    // Whether a whole line has been printed, waiting at most timeoutMs for one.
    bool lineReady(int timeoutMs)
    {
        if (!m_process.canReadLine() && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(timeoutMs);
        return m_process.canReadLine();
    }

    // Stops the program and returns everything it printed and nobody read yet.
    QString stopAndReadRest()
    {
        m_process.terminate();
        m_process.waitForFinished(10000);
        return QString::fromUtf8(m_process.readAllStandardOutput());
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// A client that writes raw bytes, as a faulty or hostile sender would.
std::unique_ptr<QTcpSocket> rawClient(quint16 port, const QByteArray &bytesToSend)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(10000))
        return nullptr;
    if (!bytesToSend.isEmpty()) {
        socket->write(bytesToSend);
        while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(10000)) {
        }
    }
    return socket;
}

// Writes everything now, waiting for the system to take it.
bool writeAll(QTcpSocket &socket, const QByteArray &bytesToSend)
{
    socket.write(bytesToSend);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(10000))
            return false;
    }
    return true;
}

// The one file of a frame in progress, hidden under a name of the receiver's own; its size,
// or -1 when there is not exactly one.
qint64 temporaryFileSize(const QDir &dir)
{
    const QFileInfoList files = dir.entryInfoList(
        {QStringLiteral(".zelvano-reception-*.part")}, QDir::Files | QDir::Hidden);
    return files.size() == 1 ? files.first().size() : -1;
}

QByteArray fileBytes(const QDir &dir, const QString &name)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestReceiver : public QObject {
    Q_OBJECT

private slots:
    void storesEachSheetSent_data();
    void storesEachSheetSent();
    void frameCutShort_data();
    void frameCutShort();
    void absurdFrame_refusedWithoutFile_data();
    void absurdFrame_refusedWithoutFile();
    void silentClient_doesNotBlockAnotherSender();
    void silentClient_droppedAfterIdleTime();
    void manyClientsAtOnce_eachSheetStoredApart();
    void quiet_storesWithoutReporting();
    void connectionsOverTheMaximum_closedAtOnce();
    void clientBelowMinimumRate_dropped_fasterOneKept();
    void frameStreamedToItsFileAsItArrives();
    void frameOverTheMaximum_refusedAndItsFileRemoved();
    void frameOfAKilledReceiver_keptAsCutShortAtTheNextStart();
};

void TestReceiver::storesEachSheetSent_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("currentSheet")
        << QStringList{QStringLiteral("Joueur 1\tJoueur 2\t05/03/2016 14:05\r"),
                       QStringLiteral("12\t7\r"), QStringLiteral("\t\r")}
        << golden("current-sheet.txt");
    QTest::newRow("accentsArriveAsQuestionMarks")
        << QStringList{QStringLiteral("Hélène\tJoueur 2\t05/03/2016 14:05\r"), QStringLiteral("\t\r")}
        << QByteArray("H?l?ne\tJoueur 2\t05/03/2016 14:05\r\r\n\t\r\r\n");
    QTest::newRow("emptyHistoryGivesAnEmptyFile") << QStringList{} << QByteArray();

    // Long enough to arrive in many reads; the file is the lines as they were sent.
    QStringList history;
    QByteArray historyStored;
    for (int i = 0; i < 40000; ++i) {
        if (i % 2) {
            history << QString();
            historyStored += "\r\n";
        } else {
            history << QStringLiteral("Hélène %1\tZoé\t05/03/2016 14:05\r").arg(i);
            historyStored += QStringLiteral("H?l?ne %1\tZo?\t05/03/2016 14:05\r\r\n").arg(i).toLatin1();
        }
    }
    QTest::newRow("longHistoryStoredByteForByte") << history << historyStored;
}

void TestReceiver::storesEachSheetSent()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, stored);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    ReceiverRun receiver(folder.path());
    QVERIFY(receiver.port() != 0);

    try {
        NetSend::sendFrame(QStringLiteral("127.0.0.1"), receiver.port(),
                           NetSend::buildFrame(lines));
    } catch (const AppError &e) {
        QFAIL(qPrintable(e.message()));
    }
    const QString line = receiver.nextLine();
    static const QRegularExpression report(
        QStringLiteral("^reçu (\\S+) : (\\d+) lignes depuis 127\\.0\\.0\\.1:\\d+$"));
    const QRegularExpressionMatch m = report.match(line);
    QVERIFY2(m.hasMatch(), qPrintable(line));
    QCOMPARE(m.captured(2).toInt(), lines.size());
    const QString name = m.captured(1);
    QVERIFY2(sheetName.match(name).hasMatch(), qPrintable(name));

    const QDir dir(folder.path());
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList{name});
    QCOMPARE(fileBytes(dir, name), stored);
}

void TestReceiver::frameCutShort_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("reportPattern");
    QTest::addColumn<QByteArray>("stored"); // null: no file at all

    QTest::newRow("cutInsideALine")
        << bytes("\x00\x00\x00\x03" "Joueur 1\tJoueur 2\t05/03/2016 14:05\r\r\n12\t")
        << QStringLiteral("^reçu (\\S+) : 1 lignes sur 3 depuis 127\\.0\\.0\\.1:\\d+, "
                          "trame incomplète$")
        << QByteArray("Joueur 1\tJoueur 2\t05/03/2016 14:05\r\r\n12\t");
    QTest::newRow("cutAfterTheCount")
        << bytes("\x00\x00\x00\x02")
        << QStringLiteral("^reçu (\\S+) : 0 lignes sur 2 depuis 127\\.0\\.0\\.1:\\d+, "
                          "trame incomplète$")
        << QByteArray("");
    QTest::newRow("cutInsideTheCount")
        << bytes("\x00\x00")
        << QStringLiteral("^connexion de 127\\.0\\.0\\.1:\\d+ fermée avant le nombre de lignes "
                          "\\(2 octets\\)$")
        << QByteArray();
}

void TestReceiver::frameCutShort()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, reportPattern);
    QFETCH(QByteArray, stored);

    QTemporaryDir folder;
    ReceiverRun receiver(folder.path());
    QVERIFY(receiver.port() != 0);
    {
        auto client = rawClient(receiver.port(), sent);
        QVERIFY(client);
        client->disconnectFromHost();
    }
    const QString line = receiver.nextLine();
    const QRegularExpressionMatch m = QRegularExpression(reportPattern).match(line);
    QVERIFY2(m.hasMatch(), qPrintable(line));

    const QDir dir(folder.path());
    if (stored.isNull()) {
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList());
        return;
    }
    const QString name = m.captured(1);
    QVERIFY2(incompleteName.match(name).hasMatch(), qPrintable(name));
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList{name});
    QCOMPARE(fileBytes(dir, name), stored);
}

void TestReceiver::absurdFrame_refusedWithoutFile_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("reason");

    QTest::newRow("largestCount")
        << QByteArray::fromHex("FFFFFFFF") + "abc\r\n"
        << QStringLiteral("4294967295 lignes annoncées, plus que les 1000000 admises");
    QTest::newRow("oneLineMoreThanAllowed")
        << QByteArray::fromHex("000F4241")
        << QStringLiteral("1000001 lignes annoncées, plus que les 1000000 admises");
    QTest::newRow("lineThatNeverEndsBeyond64MiB")
        << QByteArray::fromHex("00000001") + QByteArray(64 * 1024 * 1024, 'x')
        << QStringLiteral("trame de plus de 67108864 octets");
}

void TestReceiver::absurdFrame_refusedWithoutFile()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    ReceiverRun receiver(folder.path());
    QVERIFY(receiver.port() != 0);
    // The server may cut the connection while this is still being written.
    auto client = rawClient(receiver.port(), sent);
    QVERIFY(client);

    const QString line = receiver.nextLine();
    const QRegularExpression expected(
        QStringLiteral("^refusé depuis 127\\.0\\.0\\.1:\\d+ : %1, connexion fermée$")
            .arg(QRegularExpression::escape(reason)));
    QVERIFY2(expected.match(line).hasMatch(), qPrintable(line));
    // The server closed it: the client sees the end without closing on its side.
    QVERIFY(client->state() == QAbstractSocket::UnconnectedState
            || client->waitForDisconnected(15000));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestReceiver::silentClient_doesNotBlockAnotherSender()
{
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path(), {QStringLiteral("--idle-ms"), QStringLiteral("600000")});
    QVERIFY(receiver.port() != 0);

    auto silent = rawClient(receiver.port(), QByteArray());
    QVERIFY(silent);
    auto halfway = rawClient(receiver.port(), bytes("\x00\x00\x00\x02" "abc"));
    QVERIFY(halfway);

    try {
        NetSend::sendFrame(QStringLiteral("127.0.0.1"), receiver.port(),
                           NetSend::buildFrame({QStringLiteral("12\t7\r")}));
    } catch (const AppError &e) {
        QFAIL(qPrintable(e.message()));
    }
    const QString line = receiver.nextLine();
    QVERIFY2(line.startsWith(QStringLiteral("reçu ")) && line.contains(QStringLiteral(" : 1 lignes depuis ")),
             qPrintable(line));
    QCOMPARE(silent->state(), QAbstractSocket::ConnectedState);
    QCOMPARE(halfway->state(), QAbstractSocket::ConnectedState);
    // The half frame waits in a hidden file of its own; one sheet is stored.
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QCOMPARE(fileBytes(QDir(folder.path()), files.first()), QByteArray("12\t7\r\r\n"));
}

void TestReceiver::silentClient_droppedAfterIdleTime()
{
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path(), {QStringLiteral("--idle-ms"), QStringLiteral("200")});
    QVERIFY(receiver.port() != 0);

    auto client = rawClient(receiver.port(), bytes("\x00\x00\x00\x02" "ab\r\ncd"));
    QVERIFY(client);
    const QString line = receiver.nextLine();
    static const QRegularExpression dropped(QStringLiteral(
        "^reçu (\\S+) : 1 lignes sur 2 depuis 127\\.0\\.0\\.1:\\d+, trame incomplète "
        "\\(silencieux depuis 200 ms\\)$"));
    const QRegularExpressionMatch m = dropped.match(line);
    QVERIFY2(m.hasMatch(), qPrintable(line));
    QCOMPARE(fileBytes(QDir(folder.path()), m.captured(1)), QByteArray("ab\r\ncd"));
    QVERIFY(client->state() == QAbstractSocket::UnconnectedState
            || client->waitForDisconnected(15000));
}

void TestReceiver::manyClientsAtOnce_eachSheetStoredApart()
{
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path());
    QVERIFY(receiver.port() != 0);

    // Every client sends the first half of its frame, then they finish in reverse order.
    const int clients = 20;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    std::vector<QByteArray> frames;
    for (int i = 0; i < clients; ++i) {
        frames.push_back(NetSend::buildFrame(
            {QStringLiteral("client %1\r").arg(i), QStringLiteral("%1\t%2\r").arg(i).arg(i * 3)}));
        sockets.push_back(rawClient(receiver.port(), frames.back().left(9)));
        QVERIFY(sockets.back());
    }
    QSet<QByteArray> expected;
    for (int i = clients - 1; i >= 0; --i) {
        sockets[i]->write(frames[i].mid(9));
        sockets[i]->disconnectFromHost();
        if (sockets[i]->state() != QAbstractSocket::UnconnectedState)
            QVERIFY(sockets[i]->waitForDisconnected(15000));
        expected.insert(frames[i].mid(4));
    }
    for (int i = 0; i < clients; ++i) {
        const QString line = receiver.nextLine();
        QVERIFY2(line.startsWith(QStringLiteral("reçu ")) && line.contains(QStringLiteral(" : 2 lignes depuis ")),
                 qPrintable(line));
    }
    const QDir dir(folder.path());
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(names.size(), clients);
    QSet<QByteArray> stored;
    for (const QString &name : names) {
        QVERIFY2(sheetName.match(name).hasMatch(), qPrintable(name));
        stored.insert(fileBytes(dir, name));
    }
    QCOMPARE(stored, expected);
}

void TestReceiver::quiet_storesWithoutReporting()
{
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path(), {QStringLiteral("--quiet")});
    QVERIFY(receiver.port() != 0);
    {
        auto client = rawClient(receiver.port(), bytes("\x00\x00\x00\x01" "a\r\n"));
        QVERIFY(client);
        // The server closes once the frame is in; that is when the sheet has been stored.
        QVERIFY(client->state() == QAbstractSocket::UnconnectedState
                || client->waitForDisconnected(15000));
    }
    QCOMPARE(receiver.stopAndReadRest(), QString());
    const QStringList files = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files.size(), 1);
    QCOMPARE(fileBytes(QDir(folder.path()), files.first()), QByteArray("a\r\n"));
}

void TestReceiver::connectionsOverTheMaximum_closedAtOnce()
{
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path(), {QStringLiteral("--max-connections"), QStringLiteral("3")});
    QVERIFY(receiver.port() != 0);

    // Three clients hold the three places, each with half a frame.
    std::vector<std::unique_ptr<QTcpSocket>> holders;
    for (int i = 0; i < 3; ++i) {
        holders.push_back(rawClient(receiver.port(), bytes("\x00\x00\x00\x01" "ab")));
        QVERIFY(holders.back());
    }
    auto extra = rawClient(receiver.port(), QByteArray());
    QVERIFY(extra);
    const QString line = receiver.nextLine();
    QVERIFY2(QRegularExpression(QStringLiteral(
                 "^connexion de 127\\.0\\.0\\.1:%1 refusée : déjà 3 connexions ouvertes$")
                                    .arg(extra->localPort()))
                 .match(line)
                 .hasMatch(),
             qPrintable(line));
    QVERIFY(extra->state() == QAbstractSocket::UnconnectedState || extra->waitForDisconnected(15000));
    for (const auto &holder : holders)
        QCOMPARE(holder->state(), QAbstractSocket::ConnectedState);

    // A place that frees up is taken again.
    QVERIFY(writeAll(*holders[0], "\r\n"));
    QVERIFY2(receiver.nextLine().contains(QStringLiteral(" : 1 lignes depuis ")), "first holder");
    try {
        NetSend::sendFrame(QStringLiteral("127.0.0.1"), receiver.port(),
                           NetSend::buildFrame({QStringLiteral("12\t7\r")}));
    } catch (const AppError &e) {
        QFAIL(qPrintable(e.message()));
    }
    const QString sent = receiver.nextLine();
    QVERIFY2(sent.contains(QStringLiteral(" : 1 lignes depuis ")), qPrintable(sent));
    QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("feuille-*")}, QDir::Files).size(), 2);
}

void TestReceiver::clientBelowMinimumRate_dropped_fasterOneKept()
{
    // A window of one second instead of thirty, and no idle limit to mix in.
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path(),
                         {QStringLiteral("--min-rate"), QStringLiteral("1000"),
                          QStringLiteral("--rate-window-ms"), QStringLiteral("1000"),
                          QStringLiteral("--idle-ms"), QStringLiteral("600000")});
    QVERIFY(receiver.port() != 0);

    // Every 50 ms the slow client sends 10 bytes (200 B/s), the other 500 (10 000 B/s) of a
    // 25 000-byte line, so it needs 2.5 s: more than two windows.
    auto slow = rawClient(receiver.port(), bytes("\x00\x00\x00\x01"));
    auto fast = rawClient(receiver.port(), bytes("\x00\x00\x00\x01"));
    QVERIFY(slow && fast);
    const quint16 slowPort = slow->localPort();
    const quint16 fastPort = fast->localPort();
    QByteArray slowSent;
    QString dropped;
    const QDeadlineTimer deadline(20000);
    for (int step = 0; step < 50; ++step) {
        QVERIFY(!deadline.hasExpired());
        if (slow->state() == QAbstractSocket::ConnectedState && writeAll(*slow, QByteArray(10, 's')))
            slowSent += QByteArray(10, 's');
        QVERIFY(writeAll(*fast, QByteArray(500, 'f')));
        if (receiver.lineReady(50)) {
            QVERIFY2(dropped.isEmpty(), "only the slow client may be dropped");
            dropped = receiver.nextLine();
        }
    }
    QVERIFY(writeAll(*fast, "\r\n"));

    static const QRegularExpression slowReport(QStringLiteral(
        "^reçu (\\S+) : 0 lignes sur 1 depuis 127\\.0\\.0\\.1:(\\d+), trame incomplète "
        "\\(moins de 1000 octets/s pendant 1 s\\)$"));
    const QRegularExpressionMatch m = slowReport.match(dropped);
    QVERIFY2(m.hasMatch(), qPrintable(dropped));
    QCOMPARE(m.captured(2).toUInt(), uint(slowPort));
    QVERIFY(slow->state() == QAbstractSocket::UnconnectedState || slow->waitForDisconnected(15000));
    // What it sent before the drop is kept, as for any frame cut short.
    const QByteArray kept = fileBytes(QDir(folder.path()), m.captured(1));
    QVERIFY2(!kept.isEmpty() && slowSent.startsWith(kept),
             qPrintable(QStringLiteral("%1 bytes kept of %2 sent").arg(kept.size()).arg(slowSent.size())));

    const QString done = receiver.nextLine();
    static const QRegularExpression fastReport(
        QStringLiteral("^reçu (\\S+) : 1 lignes depuis 127\\.0\\.0\\.1:(\\d+)$"));
    const QRegularExpressionMatch f = fastReport.match(done);
    QVERIFY2(f.hasMatch(), qPrintable(done));
    QCOMPARE(f.captured(2).toUInt(), uint(fastPort));
    QCOMPARE(fileBytes(QDir(folder.path()), f.captured(1)), QByteArray(25000, 'f') + "\r\n");
}

void TestReceiver::frameStreamedToItsFileAsItArrives()
{
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path());
    QVERIFY(receiver.port() != 0);
    const QDir dir(folder.path());

    // A whole first line and half of a second, which has no end yet.
    const QByteArray first = QByteArray(100000, 'a') + "\r\n";
    const QByteArray second = QByteArray(50000, 'b');
    auto client = rawClient(receiver.port(), bytes("\x00\x00\x00\x02") + first + second);
    QVERIFY(client);
    QTRY_COMPARE_WITH_TIMEOUT(temporaryFileSize(dir), qint64(first.size() + second.size()), 15000);
    QCOMPARE(dir.entryList({QStringLiteral("feuille-*")}, QDir::Files), QStringList());

    QVERIFY(writeAll(*client, second + "\r\n"));
    const QString line = receiver.nextLine();
    static const QRegularExpression report(QStringLiteral("^reçu (\\S+) : 2 lignes depuis "));
    const QRegularExpressionMatch m = report.match(line);
    QVERIFY2(m.hasMatch(), qPrintable(line));
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList{m.captured(1)});
    QVERIFY(fileBytes(dir, m.captured(1)) == first + second + second + "\r\n");
}

void TestReceiver::frameOverTheMaximum_refusedAndItsFileRemoved()
{
    QTemporaryDir folder;
    ReceiverRun receiver(folder.path(),
                         {QStringLiteral("--max-frame-bytes"), QStringLiteral("100000")});
    QVERIFY(receiver.port() != 0);
    const QDir dir(folder.path());

    auto client = rawClient(receiver.port(), bytes("\x00\x00\x00\x03") + QByteArray(60000, 'x'));
    QVERIFY(client);
    QTRY_COMPARE_WITH_TIMEOUT(temporaryFileSize(dir), qint64(60000), 15000);
    // The rest passes the limit; the server may cut the connection while it is written.
    client->write(QByteArray(60000, 'y'));
    client->waitForBytesWritten(10000);

    const QString line = receiver.nextLine();
    QVERIFY2(QRegularExpression(QStringLiteral(
                 "^refusé depuis 127\\.0\\.0\\.1:\\d+ : trame de plus de 100000 octets, "
                 "connexion fermée$"))
                 .match(line)
                 .hasMatch(),
             qPrintable(line));
    QVERIFY(client->state() == QAbstractSocket::UnconnectedState || client->waitForDisconnected(15000));
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestReceiver::frameOfAKilledReceiver_keptAsCutShortAtTheNextStart()
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    const QByteArray half = bytes("12\t7\r\r\n") + QByteArray(1000, 'z');
    {
        auto receiver = std::make_unique<ReceiverRun>(folder.path());
        QVERIFY(receiver->port() != 0);
        auto client = rawClient(receiver->port(), bytes("\x00\x00\x00\x03") + half);
        QVERIFY(client);
        QTRY_COMPARE_WITH_TIMEOUT(temporaryFileSize(dir), qint64(half.size()), 15000);
        receiver.reset(); // killed while the frame is in progress
    }

    ReceiverRun again(folder.path());
    QVERIFY(again.port() != 0);
    const QString line = again.nextLine();
    static const QRegularExpression kept(QStringLiteral(
        "^gardé (\\S+) : trame en cours de réception lors d'un arrêt du récepteur, incomplète$"));
    const QRegularExpressionMatch m = kept.match(line);
    QVERIFY2(m.hasMatch(), qPrintable(line));
    QVERIFY2(incompleteName.match(m.captured(1)).hasMatch(), qPrintable(m.captured(1)));
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList{m.captured(1)});
    QCOMPARE(fileBytes(dir, m.captured(1)), half);
}

QTEST_GUILESS_MAIN(TestReceiver)
#include "tst_receiver.moc"
