#pragma once
// The receiving side of the scoreboard's sending, for any program that collects frames:
// listens, reads one frame per connection with a FrameParser, hands the bytes to a
// FrameSink as they arrive, and keeps hostile or broken peers within bounds:
//   - at most maxConnections at once; one more is closed as soon as it is accepted;
//   - a client silent for idleMs is dropped;
//   - a client that sent less than minRate bytes a second over the last rateWindowMs is
//     dropped, so a slow drip cannot hold a connection for good;
//   - a frame larger than limits.maxBytes or announcing more than limits.maxLines lines is
//     refused as soon as that shows, and what the sink kept of it is discarded.
// A client dropped or gone before its frame ended leaves a cut frame in the sink.
// Event-driven on the thread's event loop: every connection has its own parser, so a slow
// or silent client never holds up the others, and each holds only a small read buffer.
//
// What happens is told through report() (one French line per frame or refusal) and
// failure() (the sink could not keep a frame).
#include "FrameParser.h"
#include "FrameSink.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

class FrameServer : public QObject {
    Q_OBJECT
public:
    struct Options {
        QHostAddress address = QHostAddress(QHostAddress::AnyIPv4);
        quint16 port = 50000;
        int idleMs = 30000;
        int maxConnections = 64;
        qint64 minRate = 1024; // bytes a second; 0: no minimum
        int rateWindowMs = 30000;
        FrameParser::Limits limits;
    };

    // The sink must outlive the server. Destroying the server cuts the frames in progress
    // (the sink keeps them as cut short) without reporting them.
    FrameServer(Options options, FrameSink *sink, QObject *parent = nullptr);
    ~FrameServer() override;

    // Returns an empty string when listening, else the French reason.
    QString start();
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }
    // Connections accepted whose frame has not ended yet.
    int openConnections() const { return int(m_open.size()); }

signals:
    void report(const QString &line);
    void failure(const QString &line);

private:
    struct Connection;

    void accept();
    void readFrom(Connection *c);
    bool hand(Connection *c);
    void finish(Connection *c, const QString &why);
    void refuse(Connection *c);
    void failStore(Connection *c, const QString &error);
    void release(Connection *c, bool graceful);
    void checkRates();

    Options m_options;
    FrameSink *m_sink;
    // Before the server: its sockets, destroyed with it, take their records out of this set.
    QSet<Connection *> m_open;
    QTcpServer m_server;
    QTimer m_rateTick;
};
