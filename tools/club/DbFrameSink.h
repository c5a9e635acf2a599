#pragma once
// The frame sink of zelvano-club: a frame that arrived whole is read as sheets and each
// sheet stored in the base (in its own transaction, once however often it is sent). A frame
// cut short or refused is dropped: a half sheet would only be a wrong record. The frame's
// bytes are held until it ends, within the frame server's size limit.
#include "FrameSink.h"

#include <QByteArray>
#include <QList>
#include <functional>

class DbFrameSink : public FrameSink {
public:
    // Called with the frame's lines (without their CR LF) and the sender's address; returns
    // what it stored, for the server's report, or false with the reason.
    using Store = std::function<bool(const QList<QByteArray> &lines, const QString &address,
                                     QString *stored, QString *error)>;
    explicit DbFrameSink(Store store) : m_store(std::move(store)) {}
    std::unique_ptr<FrameSinkFrame> begin(const FrameInfo &info, QString *error) override;

    // "address:port" -> "address" (IPv6 addresses keep their own colons).
    static QString addressOf(const QString &peer);
    // A frame's bytes cut into its lines: each ends with CR LF, which is left out.
    static QList<QByteArray> splitLines(const QByteArray &bytes);

private:
    Store m_store;
};
