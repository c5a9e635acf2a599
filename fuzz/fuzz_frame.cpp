// The receiver's frame parser fed an arbitrary stream, once in one piece and again in
// pieces whose sizes come from a small generator started from a hash of the input, and
// byte by byte. How the stream was cut must not change the outcome. Limits are small for
// part of the inputs so the refusals are reached too.
#include "FrameParser.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Outcome {
    FrameParser::State state;
    FrameParser::Refusal refusal;
    QString refusalText;
    bool countKnown;
    quint32 expected;
    quint32 linesDone;
    QList<QByteArray> lines;
    QByteArray partial;
    qint64 received;
    qint64 trailing;
};

quint64 fnv1a(QByteArrayView bytes)
{
    quint64 h = 1469598103934665603ull;
    for (const char c : bytes) {
        h ^= quint8(c);
        h *= 1099511628211ull;
    }
    return h;
}

quint64 nextRandom(quint64 &state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

Outcome finish(FrameParser &parser, QList<QByteArray> lines)
{
    if (parser.state() == FrameParser::State::Refused) {
        // Nothing of a refused frame is handed out any more.
        if (!parser.takeLines().isEmpty() || !parser.partialLine().isEmpty()) {
            std::fprintf(stderr, "fuzz_frame: a refused frame still holds bytes\n");
            std::abort();
        }
        lines.clear();
    } else {
        lines += parser.takeLines();
    }
    if (quint32(lines.size()) > parser.linesDone() && parser.state() != FrameParser::State::Refused) {
        std::fprintf(stderr, "fuzz_frame: more lines handed out than done\n");
        std::abort();
    }
    return {parser.state(), parser.refusal(), parser.refusalText(), parser.countKnown(),
            parser.expectedLines(), parser.linesDone(), lines, parser.partialLine(),
            parser.bytesReceived(), parser.trailingBytes()};
}

// `pieceOf` gives the size of the next piece (at least 1); lines are taken after some feeds.
template <typename Next>
Outcome run(const QByteArray &stream, FrameParser::Limits limits, Next pieceOf, quint64 takeMask)
{
    FrameParser parser(limits);
    QList<QByteArray> lines;
    qsizetype at = 0;
    int feeds = 0;
    while (at < stream.size()) {
        const qsizetype n = qMin(pieceOf(), stream.size() - at);
        parser.feed(QByteArrayView(stream).sliced(at, n));
        at += n;
        if (parser.state() != FrameParser::State::Refused && (takeMask >> (feeds++ % 64)) & 1)
            lines += parser.takeLines();
    }
    return finish(parser, lines);
}

// Taken as a server streams it, the line in progress included: the bytes handed out must be
// exactly the frame's lines with their CR LF and then the partial line, whatever the pieces.
template <typename Next>
void checkStreamed(const QByteArray &stream, FrameParser::Limits limits, Next pieceOf,
                   const Outcome &one)
{
    FrameParser parser(limits);
    QByteArray taken;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = qMin(pieceOf(), stream.size() - at);
        parser.feed(QByteArrayView(stream).sliced(at, n));
        at += n;
        taken += parser.takeStreamBytes();
        if (!parser.partialLine().isEmpty()) {
            std::fprintf(stderr, "fuzz_frame: a streamed line in progress is still held\n");
            std::abort();
        }
    }
    if (one.state == FrameParser::State::Refused)
        return;
    QByteArray expected;
    for (const QByteArray &line : one.lines)
        expected += line + "\r\n";
    expected += one.partial;
    if (taken != expected) {
        std::fprintf(stderr, "fuzz_frame: streamed bytes differ from the lines\n");
        std::abort();
    }
}

void compare(const Outcome &a, const Outcome &b, const char *how)
{
    const char *what = nullptr;
    if (a.state != b.state)
        what = "state";
    else if (a.refusal != b.refusal || a.refusalText != b.refusalText)
        what = "refusal";
    else if (a.received != b.received)
        what = "bytes received";
    else if (a.state != FrameParser::State::Refused) {
        if (a.countKnown != b.countKnown || a.expected != b.expected)
            what = "line count";
        else if (a.linesDone != b.linesDone || a.lines != b.lines)
            what = "lines";
        else if (a.partial != b.partial)
            what = "partial line";
        else if (a.trailing != b.trailing)
            what = "trailing bytes";
    }
    if (what) {
        std::fprintf(stderr, "fuzz_frame: %s differs when fed %s\n", what, how);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    const quint64 hash = fnv1a(stream);

    FrameParser::Limits limits;
    if (hash & 1) {
        limits.maxLines = quint32((hash >> 8) % 16);
        limits.maxBytes = qint64((hash >> 16) % quint64(stream.size() + 16));
    }

    FrameParser whole(limits);
    whole.feed(stream);
    const Outcome one = finish(whole, {});
    if (one.received != stream.size()) {
        std::fprintf(stderr, "fuzz_frame: bytes received is not the stream's size\n");
        std::abort();
    }
    if (one.state == FrameParser::State::Complete && one.linesDone != one.expected) {
        std::fprintf(stderr, "fuzz_frame: complete with another number of lines than announced\n");
        std::abort();
    }

    quint64 state = hash | 1;
    const quint64 maxPiece = 1 + ((hash >> 24) % 16);
    compare(one, run(stream, limits, [&] { return qsizetype(1 + nextRandom(state) % maxPiece); }, hash >> 32),
            "in random pieces");
    compare(one, run(stream, limits, [] { return qsizetype(1); }, ~quint64(0)), "byte by byte");
    checkStreamed(stream, limits, [&] { return qsizetype(1 + nextRandom(state) % maxPiece); }, one);
    return 0;
}
