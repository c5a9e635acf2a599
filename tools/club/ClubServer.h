#pragma once
// zelvano-club put together: the frames of port 50000 go to the store, the live hub takes
// the scoreboards' WebSockets, and the HTTP front answers pages and JSON from both.
#include "ClubStore.h"
#include "DbFrameSink.h"
#include "FrameServer.h"
#include "HttpFront.h"
#include "LiveHub.h"

#include <QHostAddress>
#include <QObject>
#include <memory>

class ClubServer : public QObject {
    Q_OBJECT
public:
    struct Options {
        QHostAddress address = QHostAddress(QHostAddress::AnyIPv4);
        quint16 httpPort = 8080;
        quint16 framePort = 50000;
        QString db;
        QByteArray key;
        bool quiet = false;
    };

    explicit ClubServer(Options options, QObject *parent = nullptr);
    ~ClubServer() override;

    QString start();
    quint16 httpPort() const { return m_http ? m_http->port() : 0; }
    quint16 framePort() const { return m_frames ? m_frames->port() : 0; }
    ClubStore &store() { return m_store; }
    LiveHub &hub() { return m_hub; }

    // What the HTTP front answers; public so that tests reach it without a socket.
    HttpAnswer respond(const QByteArray &method, const QUrl &url);

    // Stores every sheet of a frame; false with the reason when one could not be stored.
    bool storeFrame(const QList<QByteArray> &lines, const QString &address, QString *stored,
                    QString *error);

signals:
    void frameStored(int stored, int duplicates);

private:
    void report(const QString &line) const;
    void reportError(const QString &line) const;

    Options m_options;
    ClubStore m_store;
    LiveHub m_hub;
    DbFrameSink m_sink;
    std::unique_ptr<FrameServer> m_frames;
    std::unique_ptr<HttpFront> m_http;
};
