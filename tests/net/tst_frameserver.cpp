// The bounded frame server as a library, as the club's server uses it: a sink of the
// test's own records every call, so the order and content of what a sink gets are checked
// on real sockets of 127.0.0.1, in this process.
#include "FrameServer.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

template <std::size_t N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, qsizetype(N - 1));
}

struct Journal {
    QStringList calls;  // "begin 2", "complete 2", "cut 1", "discard", "destroyed"
    QByteArray written; // every byte handed to write(), in order
};

class RecordingFrame : public FrameSinkFrame {
public:
    explicit RecordingFrame(Journal *journal) : m_journal(journal) {}
    ~RecordingFrame() override { m_journal->calls << QStringLiteral("destroyed"); }
    bool write(QByteArrayView bytes, QString *) override
    {
        m_journal->written += bytes.toByteArray();
        return true;
    }
    bool complete(quint32 lines, QString *stored, QString *) override
    {
        m_journal->calls << QStringLiteral("complete %1").arg(lines);
        *stored = QStringLiteral("enregistrement");
        return true;
    }
    bool cut(quint32 lines, QString *stored, QString *) override
    {
        m_journal->calls << QStringLiteral("cut %1").arg(lines);
        *stored = QStringLiteral("enregistrement");
        return true;
    }
    void discard() override { m_journal->calls << QStringLiteral("discard"); }

private:
    Journal *m_journal;
};

class RecordingSink : public FrameSink {
public:
    std::unique_ptr<FrameSinkFrame> begin(const FrameInfo &info, QString *) override
    {
        journal.calls << QStringLiteral("begin %1").arg(info.expectedLines);
        return std::make_unique<RecordingFrame>(&journal);
    }
    Journal journal;
};

FrameServer::Options localOptions()
{
    FrameServer::Options options;
    options.address = QHostAddress::LocalHost;
    options.port = 0;
    options.limits.maxBytes = 1000;
    return options;
}

} // namespace

class TestFrameServer : public QObject {
    Q_OBJECT

private slots:
    void sinkGetsTheFrameInOrder_data();
    void sinkGetsTheFrameInOrder();
    void destroyedWithAFrameInProgress_cutsIt();
};

void TestFrameServer::sinkGetsTheFrameInOrder_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("then"); // sent once the sink has every byte of `sent`
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("complete") << bytes("\x00\x00\x00\x02" "a\r\r\nb\r\n") << QByteArray() << false
                              << QStringList{"begin 2", "complete 2", "destroyed"}
                              << QByteArray("a\r\r\nb\r\n");
    QTest::newRow("emptyFrame") << bytes("\x00\x00\x00\x00") << QByteArray() << false
                                << QStringList{"begin 0", "complete 0", "destroyed"}
                                << QByteArray();
    QTest::newRow("cutInsideALine") << bytes("\x00\x00\x00\x03" "a\r\nbc") << QByteArray() << true
                                    << QStringList{"begin 3", "cut 1", "destroyed"}
                                    << QByteArray("a\r\nbc");
    QTest::newRow("tooLarge") << bytes("\x00\x00\x00\x01") + QByteArray(600, 'x')
                              << QByteArray(600, 'y') << false
                              << QStringList{"begin 1", "discard", "destroyed"}
                              << QByteArray(600, 'x');
    QTest::newRow("tooManyLinesNeverBegins") << QByteArray::fromHex("FFFFFFFF") << QByteArray() << false
                                             << QStringList{} << QByteArray();
}

void TestFrameServer::sinkGetsTheFrameInOrder()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, then);
    QFETCH(bool, closeAfter);
    QFETCH(QStringList, calls);
    QFETCH(QByteArray, written);

    RecordingSink sink;
    FrameServer server(localOptions(), &sink);
    QSignalSpy reports(&server, &FrameServer::report);
    QCOMPARE(server.start(), QString());

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(client.waitForConnected(10000));
    client.write(sent);
    if (!then.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(sink.journal.written.size(), sent.size() - 4, 10000);
        client.write(then);
    }
    if (closeAfter)
        client.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, 10000);
    QCOMPARE(sink.journal.calls, calls);
    if (!written.isEmpty())
        QCOMPARE(sink.journal.written, written);
}

void TestFrameServer::destroyedWithAFrameInProgress_cutsIt()
{
    RecordingSink sink;
    QTcpSocket client;
    int reports = 0; // counted up to the end of the server's destruction
    {
        FrameServer server(localOptions(), &sink);
        QObject::connect(&server, &FrameServer::report, [&reports] { ++reports; });
        QCOMPARE(server.start(), QString());
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(client.waitForConnected(10000));
        client.write(bytes("\x00\x00\x00\x02" "a\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(sink.journal.written, QByteArray("a\r\n"), 10000);
        QCOMPARE(server.openConnections(), 1);
    }
    QCOMPARE(reports, 0);
    QCOMPARE(sink.journal.calls, (QStringList{"begin 2", "cut 1", "destroyed"}));
}

QTEST_GUILESS_MAIN(TestFrameServer)
#include "tst_frameserver.moc"
