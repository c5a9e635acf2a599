#pragma once
// zelvano-club put together: the frames of port 50000 go to the store, the live hub takes
// the scoreboards' WebSockets, and the HTTP front answers pages and JSON from both.
#include "ClubStore.h"
#include "FrameIntake.h"
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

    // Stores every sheet of a frame; returns the stored and duplicate counts.
    void storeFrame(const QList<QByteArray> &lines, const QString &peer);

signals:
    void frameStored(int stored, int duplicates);

private:
    void report(const QString &line) const;
    void reportError(const QString &line) const;

    Options m_options;
    ClubStore m_store;
    LiveHub m_hub;
    std::unique_ptr<FrameIntake> m_frames;
    std::unique_ptr<HttpFront> m_http;
};
