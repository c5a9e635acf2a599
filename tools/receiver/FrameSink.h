#pragma once
// Where a FrameServer puts the frames it receives. The server reads and bounds the stream
// (connections, rate, size); a sink only keeps what it is handed, as it comes, so a frame
// is never held whole in memory by the server.
//
// For every connection whose line count has arrived and is acceptable, the server calls
// begin(); the frame it returns then gets, in this order:
//   - write() with the frame's bytes as they arrive: the lines with their CR LF, exactly
//     as sent; a piece may end in the middle of a line;
//   - then exactly one of: complete() when every announced line is in; cut() when the
//     connection ended or was dropped before that (what arrived is kept as such);
//     discard() when the frame was refused (too large) or a write failed: nothing of it
//     may remain.
// A frame destroyed without any of the three is discarded.
//
// All calls come from the server's thread, one connection at a time; a sink never blocks
// for long (a write is a local file or a buffer).
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <memory>

struct FrameInfo {
    QString peer;          // "address:port" of the sender, for messages
    quint32 expectedLines; // the line count the frame announced
};

class FrameSinkFrame {
public:
    virtual ~FrameSinkFrame() = default;
    // Returns false with a French reason when the bytes could not be kept.
    virtual bool write(QByteArrayView bytes, QString *error) = 0;
    // `stored` names what was kept (a file name, a record number), for the server's report.
    virtual bool complete(quint32 lines, QString *stored, QString *error) = 0;
    virtual bool cut(quint32 linesDone, QString *stored, QString *error) = 0;
    virtual void discard() = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Null with a French reason in `error` when the frame cannot be kept at all.
    virtual std::unique_ptr<FrameSinkFrame> begin(const FrameInfo &info, QString *error) = 0;
};
