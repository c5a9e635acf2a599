#pragma once
// The sheets sent to port 50000: one frame per connection (a 4-byte big-endian line
// count, then the lines), read with the receiver's bounded frame parser. A frame that
// arrived whole is handed on at once; one cut short or refused is dropped. Bounded: at most
// maxConnections at a time (the others are closed at once), a client silent for idleMs is
// dropped, a frame over the parser's limits is refused as soon as it shows.
#include "FrameParser.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <functional>

class FrameIntake : public QObject {
    Q_OBJECT
public:
    struct Options {
        int maxConnections = 256;
        int idleMs = 30000;
        FrameParser::Limits limits{100000, qint64(16) * 1024 * 1024};
    };
    using Sink = std::function<void(const QList<QByteArray> &lines, const QString &peerAddress)>;

    FrameIntake(Options options, Sink sink, QObject *parent = nullptr);
    QString listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return m_server.serverPort(); }
    int connections() const { return m_open; }

signals:
    void refused(const QString &peer, const QString &reason);

private:
    void accept();

    Options m_options;
    Sink m_sink;
    QTcpServer m_server;
    int m_open = 0;
};
