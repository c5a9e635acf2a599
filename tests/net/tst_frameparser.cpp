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
    QByteArray bytes;                   // the same stream taken as bytes by a second parser
    QByteArray bytesHeldAfterRefusal;
};

Outcome feedInPieces(const QByteArray &stream, qsizetype pieceSize, FrameParser::Limits limits)
{
    FrameParser parser(limits);
    FrameParser byBytes(limits);
    QList<QByteArray> lines;
    QByteArray taken;
    for (qsizetype at = 0; at < stream.size(); at += pieceSize) {
        const QByteArrayView piece = QByteArrayView(stream).sliced(at, qMin(pieceSize, stream.size() - at));
        if (parser.feed(piece) != State::Refused)
            lines += parser.takeLines();
        if (byBytes.feed(piece) != State::Refused)
            taken += byBytes.takeBytes();
    }
    return {parser.state(), parser.refusal(), lines, parser.partialLine(), parser.trailingBytes(),
            parser.linesDone(), parser.takeLines(), taken, byBytes.takeBytes()};
}

QByteArray withBreaks(const QList<QByteArray> &lines)
{
    QByteArray joined;
    for (const QByteArray &line : lines)
        joined += line + "\r\n";
    return joined;
}

// A long frame as a history makes it: entries ending with their own CR, empty lines, a lone
// LF and CR inside a line, bytes above 7F and a NUL; `count` lines in all.
QByteArray longFrame(int count)
{
    const QByteArray kinds[] = {QByteArray("\tJoueur 1\tJoueur 2\t05/03/2016 14:05\r"),
                                QByteArray(), QByteArray("\t12\t7\r"), QByteArray("a\nb\rc"),
                                QByteArray("\t\r"), bytes("\xE9\x00\xFF\x80")};
    QByteArray frame;
    frame.append(char(count >> 24)).append(char(count >> 16)).append(char(count >> 8)).append(char(count));
    for (int i = 0; i < count; ++i) {
        const QByteArray &kind = kinds[i % 6];
        frame += (kind.isEmpty() ? QByteArray() : QByteArray::number(i)) + kind + "\r\n";
    }
    return frame;
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
    void longFrame_handedOutAsItCame_data();
    void longFrame_handedOutAsItCame();
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
        QVERIFY2(got.bytes == withBreaks(lines), where);
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
    const QByteArray history = longFrame(3000);
    QTest::newRow("longFrameAtTheByteLimit")
        << history + "next" << 3000u << qint64(history.size()) << State::Complete << Refusal::None;
    QTest::newRow("longFrameOneByteOverTheByteLimit")
        << history << 3000u << qint64(history.size() - 1) << State::Refused << Refusal::TooLarge;
    QTest::newRow("longFrameOneLineMoreThanAllowed")
        << history << 2999u << qint64(history.size()) << State::Refused << Refusal::TooManyLines;
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
            QVERIFY2(got.bytesHeldAfterRefusal.isEmpty(), where);
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
    QVERIFY(parser.takeBytes().isEmpty());
    QCOMPARE(parser.bytesReceived(), qint64(9));
}

// The receiver stores the bytes handed out as they are: however the stream is cut and
// whenever they are taken, they must be the frame's lines exactly as sent.
void TestFrameParser::longFrame_handedOutAsItCame_data()
{
    QTest::addColumn<QList<int>>("pieces");    // piece sizes, used in turn
    QTest::addColumn<int>("takeLinesEvery");   // every n-th take is takeLines(); 0: never;
                                               // -1: every take is takeStreamBytes()

    QTest::newRow("whole") << QList<int>{1 << 30} << 0;
    QTest::newRow("byteByByte") << QList<int>{1} << 0;
    QTest::newRow("pairs") << QList<int>{2} << 0;
    QTest::newRow("threes") << QList<int>{3} << 0;
    QTest::newRow("socketReads") << QList<int>{65536} << 0;
    QTest::newRow("unevenPieces") << QList<int>{1, 5, 2, 13, 64, 3, 1000, 4096, 7} << 0;
    QTest::newRow("unevenPiecesSomeTakenAsLines") << QList<int>{1, 5, 2, 13, 64, 3, 1000, 7} << 3;
    QTest::newRow("allTakenAsLines") << QList<int>{17} << 1;
    // The line in progress is handed out too: a CR at the end of one piece and its LF at
    // the start of the next must still end the line.
    QTest::newRow("streamedByteByByte") << QList<int>{1} << -1;
    QTest::newRow("streamedInUnevenPieces") << QList<int>{1, 5, 2, 13, 64, 3, 1000, 7} << -1;
}

void TestFrameParser::longFrame_handedOutAsItCame()
{
    QFETCH(QList<int>, pieces);
    QFETCH(int, takeLinesEvery);

    const int count = 20000;
    const QByteArray frame = longFrame(count);
    const QByteArray stream = frame + "after the frame";

    FrameParser parser;
    QByteArray taken;
    int takes = 0;
    for (qsizetype at = 0, i = 0; at < stream.size(); ++i) {
        const qsizetype n = qMin<qsizetype>(pieces[i % pieces.size()], stream.size() - at);
        parser.feed(QByteArrayView(stream).sliced(at, n));
        at += n;
        if (takeLinesEvery < 0) {
            taken += parser.takeStreamBytes();
            QCOMPARE(parser.partialLine(), QByteArray());
        } else if (takeLinesEvery > 0 && ++takes % takeLinesEvery == 0) {
            for (const QByteArray &line : parser.takeLines())
                taken += line + "\r\n";
        } else {
            taken += parser.takeBytes();
        }
    }

    QCOMPARE(parser.state(), State::Complete);
    QCOMPARE(parser.linesDone(), quint32(count));
    QCOMPARE(parser.trailingBytes(), qint64(15));
    QCOMPARE(parser.partialLine(), QByteArray());
    QCOMPARE(taken.size(), frame.size() - 4);
    QVERIFY(taken == frame.sliced(4));
    // Everything was handed out once.
    QVERIFY(parser.takeBytes().isEmpty());
    QVERIFY(parser.takeLines().isEmpty());
}

QTEST_GUILESS_MAIN(TestFrameParser)
#include "tst_frameparser.moc"
