#pragma once
// Reads the frame the scoreboard sends: a 4-byte big-endian line count, then that many
// lines, each ended by CR LF. Bytes are fed as they arrive, in pieces of any size; the
// parser keeps no socket and no clock, so it can be driven byte by byte or by a fuzzer.
//
// Limits are checked before anything is kept for them: a count above maxLines is refused
// as soon as its 4 bytes are in, and a frame longer than maxBytes (count included) is
// refused as soon as the bytes received show it, without waiting for the rest.
//
// A line is everything before its CR LF; a CR of its own stays in it (a sheet entry
// arrives as text CR CR LF and keeps its text CR). Bytes that come after the last line
// are not part of the sheet: the frame stays complete, they are counted in
// trailingBytes() and otherwise dropped.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

class FrameParser {
public:
    struct Limits {
        quint32 maxLines = 1000000;
        qint64 maxBytes = qint64(64) * 1024 * 1024;
    };

    enum class State { ReadingCount, ReadingLines, Complete, Refused };
    enum class Refusal { None, TooManyLines, TooLarge };

    FrameParser() = default;
    explicit FrameParser(Limits limits) : m_limits(limits) {}

    // Feeds the next bytes of the stream and returns the state after them. Once the frame
    // is complete or refused, further bytes change nothing but the counters.
    State feed(QByteArrayView bytes);

    State state() const { return m_state; }
    Refusal refusal() const { return m_refusal; }
    // French reason of a refusal, for the server's report; empty otherwise.
    QString refusalText() const;

    bool countKnown() const { return m_countBytes == 4; }
    quint32 expectedLines() const { return m_expected; }
    quint32 linesDone() const { return m_linesDone; }

    // The bytes of the lines completed since the last call, each with its CR LF, exactly as
    // they came.
    QByteArray takeBytes();
    // Every byte of the frame that came since the last take, the line in progress included:
    // what a server streams to its storage, so that a long line is never held whole. After
    // it, partialLine() is empty until more bytes of that line come.
    QByteArray takeStreamBytes();
    // The same lines one by one, without their CR LF. Both calls take from the same lines:
    // what one has handed out, the other no longer does.
    QList<QByteArray> takeLines();
    // The bytes of the line in progress not taken yet: what a frame cut short ends with.
    QByteArray partialLine() const { return m_pending; }

    // Splits bytes of whole lines, each ended by CR LF, into the lines without their CR LF.
    static QList<QByteArray> splitLines(QByteArrayView bytes);

    qint64 bytesReceived() const { return m_received; }
    qint64 trailingBytes() const { return m_trailing; }

private:
    void refuse(Refusal why);

    Limits m_limits;
    State m_state = State::ReadingCount;
    Refusal m_refusal = Refusal::None;
    int m_countBytes = 0;
    quint32 m_expected = 0;
    quint32 m_linesDone = 0;
    QByteArray m_done;          // lines completed and not taken yet, each with its CR LF
    QByteArray m_pending;       // bytes of the line in progress not taken yet
    bool m_pendingCr = false;   // the line in progress ends with a CR so far
    qint64 m_frameBytes = 0;    // bytes that belong to the frame so far
    qint64 m_received = 0;      // every byte fed
    qint64 m_trailing = 0;      // bytes after a complete frame
};
