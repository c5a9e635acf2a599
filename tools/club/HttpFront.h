#pragma once
// The HTTP side of the club server on Qt HttpServer. Requests are answered by a plain
// function (path + query -> response) so tests reach every page without a socket; WebSocket
// upgrades on the same port go to the live hub ("/live", "/live/watch").
//
// Bounds against hostile clients: at most maxConnections sockets (HTTP and WebSocket
// together; more are closed at once), an HTTP connection that sends more than maxBytes or
// stays silent for idleMs is dropped.
#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <functional>

struct HttpAnswer {
    int status = 200;
    QByteArray mime = "text/html; charset=utf-8";
    QByteArray body;
    QByteArray cache = "no-store";
};

class BoundedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    int maxConnections = 2000;
    qint64 maxBytes = 1024 * 1024;
    int idleMs = 30000;
    int open() const { return m_open; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    int m_open = 0;
};

class HttpFront : public QAbstractHttpServer {
    Q_OBJECT
public:
    using Handler = std::function<HttpAnswer(const QByteArray &method, const QUrl &url)>;
    HttpFront(Handler handler, QObject *parent = nullptr);
    QString listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return m_tcp->serverPort(); }
    BoundedTcpServer *tcp() const { return m_tcp; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    Handler m_handler;
    BoundedTcpServer *m_tcp;
};
