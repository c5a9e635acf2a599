#pragma once
// The HTTP side of the club server on Qt HttpServer. Requests are answered by a plain
// function (path + query -> response) so tests reach every page without a socket; WebSocket
// upgrades on the same port go to the live hub ("/live", "/live/watch").
//
// Qt 6.4's own upgrade in QAbstractHttpServer misses the "Upgrade" header as browsers
// write it (it looks the name up in lower case only), so the upgrade is told apart here:
// the head of the first request is peeked at before the socket goes anywhere, and a
// WebSocket handshake goes to a QWebSocketServer of ours on the same port.
//
// Bounds against hostile clients: at most maxConnections sockets (HTTP and WebSocket
// together; more are closed at once), a request head over 16 KiB is refused, an HTTP
// connection that sends more than maxBytes or stays silent for idleMs is dropped.
#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <functional>
#include <memory>

class QTimer;

struct HttpAnswer {
    int status = 200;
    QByteArray mime = "text/html; charset=utf-8";
    QByteArray body;
    QByteArray cache = "no-store";
};

class QWebSocket;
class QWebSocketServer;

class BoundedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    static constexpr qint64 maxHead = 16 * 1024;
    int maxConnections = 2000;
    qint64 maxBytes = 1024 * 1024;
    int idleMs = 30000;
    int open() const { return m_open; }

signals:
    void webSocketRequested(QTcpSocket *socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void sort(QTcpSocket *socket, const std::shared_ptr<QMetaObject::Connection> &waiting);
    void watchHttp(QTcpSocket *socket, QTimer *idle);
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

signals:
    void webSocket(QWebSocket *socket);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    Handler m_handler;
    BoundedTcpServer *m_tcp;
    QWebSocketServer *m_ws;
};
