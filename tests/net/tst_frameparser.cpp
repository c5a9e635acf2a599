// Reading the scoreboard's frame as the receiving server gets it: in pieces of any size.
// Every row is fed whole, byte by byte and in uneven pieces; the outcome must not depend
// on how the stream was cut.
#include "FrameParser.h"

#include <QtTest>

using State = FrameParser::State;
using Refusal = FrameParser::Refusal;
Q_DECLARE_METATYPE(FrameParser::State)
Q_DECLARE_METATYPE(FrameParser::Refusal)

namespace {

template <std::size_t N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, qsizetype(N - 1));
}

struct Outcome {
    State state;
    Refusal refusal;
    QList<QByteArray> lines;
    QByteArray partial;
    qint64 trailing;
    quint32 linesDone;
    QList<QByteArray> heldAfterRefusal; // what a refused parser would still hand out
};

Outcome feedInPieces(const QByteArray &stream, qsizetype pieceSize, FrameParser::Limits limits)
{
    FrameParser parser(limits);
    QList<QByteArray> lines;
    for (qsizetype at = 0; at < stream.size(); at += pieceSize) {
        if (parser.feed(QByteArrayView(stream).sliced(at, qMin(pieceSize, stream.size() - at)))
            != State::Refused)
            lines += parser.takeLines();
    }
    return {parser.state(), parser.refusal(), lines, parser.partialLine(), parser.trailingBytes(),
            parser.linesDone(), parser.takeLines()};
}

FrameParser::Limits limits(quint32 maxLines, qint64 maxBytes)
{
    FrameParser::Limits l;
    l.maxLines = maxLines;
    l.maxBytes = maxBytes;
    return l;
}

} // namespace

class TestFrameParser : public QObject {
    Q_OBJECT

private slots:
    void feed_data();
    void feed();
    void refusal_data();
    void refusal();
    void defaultLimits_data();
    void defaultLimits();
    void refusedAtOnce_beforeTheRestArrives();
};

void TestFrameParser::feed_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<State>("state");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("partial");
    QTest::addColumn<qint64>("trailing");

    using L = QList<QByteArray>;
    QTest::newRow("currentSheetKeepsEachEntrysOwnCr")
        << bytes("\x00\x00\x00\x03Joueur 1\tJoueur 2\t05/03/2016 14:05\r\r\n12\t7\r\r\n\t\r\r\n")
        << State::Complete
        << L{"Joueur 1\tJoueur 2\t05/03/2016 14:05\r", "12\t7\r", "\t\r"} << QByteArray()
        << qint64(0);
    QTest::newRow("emptyHistoryIsCompleteAfterTheCount")
        << bytes("\x00\x00\x00\x00") << State::Complete << L{} << QByteArray() << qint64(0);
    QTest::newRow("emptyLines")
        << bytes("\x00\x00\x00\x02\r\n\r\n") << State::Complete << L{"", ""} << QByteArray()
        << qint64(0);
    QTest::newRow("loneLfAndLoneCrStayInTheLine")
        << bytes("\x00\x00\x00\x01" "a\nb\rc\r\n") << State::Complete << L{"a\nb\rc"}
        << QByteArray() << qint64(0);
    QTest::newRow("bytesAbove7FAndNulKeptAsTheyCame")
        << bytes("\x00\x00\x00\x01\xE9\x00\xFF\r\n") << State::Complete
        << L{bytes("\xE9\x00\xFF")} << QByteArray() << qint64(0);
    QTest::newRow("countAbove255")
        << QByteArray::fromHex("00000101") + QByteArray("\r\n").repeated(257) << State::Complete
        << L(257, QByteArray("")) << QByteArray() << qint64(0);
    QTest::newRow("cutInsideTheCount")
        << bytes("\x00\x00\x00") << State::ReadingCount << L{} << QByteArray() << qint64(0);
    QTest::newRow("cutBeforeTheFirstLine")
        << bytes("\x00\x00\x00\x02") << State::ReadingLines << L{} << QByteArray() << qint64(0);
    QTest::newRow("cutInsideALine")
        << bytes("\x00\x00\x00\x03" "abc\r\nde") << State::ReadingLines << L{"abc"}
        << QByteArray("de") << qint64(0);
    QTest::newRow("cutBetweenCrAndLf")
        << bytes("\x00\x00\x00\x02" "abc\r") << State::ReadingLines << L{}
        << QByteArray("abc\r") << qint64(0);
    QTest::newRow("cutAfterACompleteLine")
        << bytes("\x00\x00\x00\x02" "abc\r\n") << State::ReadingLines << L{"abc"} << QByteArray()
        << qint64(0);
    // Bytes after the last line are no part of the sheet: the sheet stands, they are counted.
    QTest::newRow("bytesAfterTheLastLineAreCountedNotKept")
        << bytes("\x00\x00\x00\x01" "abc\r\nXYZ\r\n") << State::Complete << L{"abc"}
        << QByteArray() << qint64(5);
    QTest::newRow("secondFrameOnTheSameConnectionIsTrailing")
        << bytes("\x00\x00\x00\x00\x00\x00\x00\x01" "a\r\n") << State::Complete << L{}
        << QByteArray() << qint64(7);
}

void TestFrameParser::feed()
{
    QFETCH(QByteArray, stream);
    QFETCH(State, state);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, partial);
    QFETCH(qint64, trailing);

    for (const qsizetype piece : {stream.size() > 0 ? stream.size() : 1, qsizetype(1),
                                  qsizetype(2), qsizetype(3), qsizetype(5)}) {
        const Outcome got = feedInPieces(stream, piece, FrameParser::Limits());
        const QByteArray where = "pieces of " + QByteArray::number(piece);
        QVERIFY2(got.state == state, where);
        QVERIFY2(got.refusal == Refusal::None, where);
        QVERIFY2(got.lines == lines, where);
        QVERIFY2(got.linesDone == quint32(lines.size()), where);
        QVERIFY2(got.partial == partial, where);
        QVERIFY2(got.trailing == trailing, where);
    }
}

void TestFrameParser::refusal_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<quint32>("maxLines");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<State>("state");
    QTest::addColumn<Refusal>("refusal");

    const QByteArray frame = bytes("\x00\x00\x00\x02" "abc\r\nde\r\n"); // 13 bytes
    QTest::newRow("countAtTheLineLimit") << frame << 2u << qint64(100) << State::Complete
                                         << Refusal::None;
    QTest::newRow("countAboveTheLineLimit") << frame << 1u << qint64(100) << State::Refused
                                            << Refusal::TooManyLines;
    QTest::newRow("frameAtTheByteLimit") << frame << 10u << qint64(13) << State::Complete
                                         << Refusal::None;
    QTest::newRow("frameOneByteOverTheByteLimit")
        << frame << 10u << qint64(12) << State::Refused << Refusal::TooLarge;
    QTest::newRow("lineThatNeverEndsHitsTheByteLimit")
        << bytes("\x00\x00\x00\x01") + QByteArray(40, 'x') << 10u << qint64(20)
        << State::Refused << Refusal::TooLarge;
    QTest::newRow("trailingBytesDoNotCountAgainstTheLimit")
        << frame + QByteArray(40, 'x') << 10u << qint64(13) << State::Complete << Refusal::None;
}

void TestFrameParser::refusal()
{
    QFETCH(QByteArray, stream);
    QFETCH(quint32, maxLines);
    QFETCH(qint64, maxBytes);
    QFETCH(State, state);
    QFETCH(Refusal, refusal);

    for (const qsizetype piece : {stream.size(), qsizetype(1), qsizetype(4), qsizetype(7)}) {
        const Outcome got = feedInPieces(stream, piece, limits(maxLines, maxBytes));
        const QByteArray where = "pieces of " + QByteArray::number(piece);
        QVERIFY2(got.state == state, where);
        QVERIFY2(got.refusal == refusal, where);
        if (state == State::Refused) {
            // Nothing of a refused frame is kept, not even the lines of its last piece.
            QVERIFY2(got.heldAfterRefusal.isEmpty(), where);
            QVERIFY2(got.partial.isEmpty(), where);
        }
    }
}

void TestFrameParser::defaultLimits_data()
{
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<qint64>("lineBytes"); // one unfinished line of that many bytes
    QTest::addColumn<State>("state");

    const qint64 mib64 = qint64(64) * 1024 * 1024;
    QTest::newRow("millionLinesAccepted")
        << QByteArray::fromHex("000F4240") << qint64(0) << State::ReadingLines;
    QTest::newRow("millionAndOneLinesRefused")
        << QByteArray::fromHex("000F4241") << qint64(0) << State::Refused;
    QTest::newRow("largestCountRefused")
        << QByteArray::fromHex("FFFFFFFF") << qint64(0) << State::Refused;
    QTest::newRow("frameOf64MiBAccepted")
        << QByteArray::fromHex("00000001") << mib64 - 4 << State::ReadingLines;
    QTest::newRow("frameOver64MiBRefused")
        << QByteArray::fromHex("00000001") << mib64 - 3 << State::Refused;
}

void TestFrameParser::defaultLimits()
{
    QFETCH(QByteArray, count);
    QFETCH(qint64, lineBytes);
    QFETCH(State, state);

    FrameParser parser;
    parser.feed(count);
    const QByteArray chunk(1024 * 1024, 'x');
    for (qint64 left = lineBytes; left > 0; left -= chunk.size())
        parser.feed(QByteArrayView(chunk).first(qMin<qint64>(left, chunk.size())));
    QCOMPARE(parser.state(), state);
}

void TestFrameParser::refusedAtOnce_beforeTheRestArrives()
{
    FrameParser parser;
    QCOMPARE(parser.feed(QByteArray::fromHex("7FFFFFFF")), State::Refused);
    QCOMPARE(parser.refusal(), Refusal::TooManyLines);
    QVERIFY(parser.refusalText().contains(QStringLiteral("2147483647")));
    // What follows is not looked at.
    QCOMPARE(parser.feed("abc\r\n"), State::Refused);
    QVERIFY(parser.takeLines().isEmpty());
    QCOMPARE(parser.bytesReceived(), qint64(9));
}

QTEST_GUILESS_MAIN(TestFrameParser)
#include "tst_frameparser.moc"
