#include "HttpFront.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace {
// Lives as a child of the socket: its end is the socket's end, whoever owns the socket by
// then (the WebSocket side takes it over on an upgrade).
class Tally : public QObject {
public:
    Tally(QObject *parent, int *count) : QObject(parent), m_count(count) { ++*m_count; }
    ~Tally() override { --*m_count; }
private:
    int *m_count;
};
} // namespace

void BoundedTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    if (m_open >= maxConnections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    new Tally(socket, &m_open);
    auto *idle = new QTimer(socket);
    idle->setObjectName(QStringLiteral("idle"));
    idle->setSingleShot(true);
    idle->start(idleMs);
    connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
    auto waiting = std::make_shared<QMetaObject::Connection>();
    *waiting = connect(socket, &QTcpSocket::readyRead, this, [=] { sort(socket, waiting); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (socket->bytesAvailable() > 0)
        sort(socket, waiting);
}

void BoundedTcpServer::sort(QTcpSocket *socket, const std::shared_ptr<QMetaObject::Connection> &waiting)
{
    if (socket->state() != QAbstractSocket::ConnectedState || !socket->isOpen())
        return;
    const QByteArray head = socket->peek(maxHead);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() >= maxHead)
            socket->abort();
        return; // the rest of the head is still to come
    }
    disconnect(*waiting);
    auto *idle = socket->findChild<QTimer *>(QStringLiteral("idle"), Qt::FindDirectChildrenOnly);
    bool upgrade = false;
    for (const QByteArray &line : head.left(end).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("upgrade", Qt::CaseInsensitive) == 0
            && line.mid(colon + 1).trimmed().compare("websocket", Qt::CaseInsensitive) == 0)
            upgrade = true;
    }
    if (upgrade) {
        // The WebSocket side has its own limits and handshake time-out from here on.
        delete idle;
        socket->disconnect();
        emit webSocketRequested(socket);
        return;
    }
    watchHttp(socket, idle);
    addPendingConnection(socket);
    emit newConnection();
    // The head is already waiting in the socket: tell the HTTP server, which only reads on
    // this signal.
    QMetaObject::invokeMethod(socket, [socket] { emit socket->readyRead(); }, Qt::QueuedConnection);
}

void BoundedTcpServer::watchHttp(QTcpSocket *socket, QTimer *idle)
{
    auto received = std::make_shared<qint64>(0);
    // Connected before the HTTP server's own slot, so it sees the bytes before they are read.
    connect(socket, &QTcpSocket::readyRead, socket, [=] {
        if (idle)
            idle->start();
        *received += socket->bytesAvailable();
        if (*received > maxBytes)
            socket->abort();
    });
    if (idle)
        idle->start();
}

HttpFront::HttpFront(Handler handler, QObject *parent)
    : QAbstractHttpServer(parent), m_handler(std::move(handler)), m_tcp(new BoundedTcpServer),
      m_ws(new QWebSocketServer(QStringLiteral("zelvano-club"), QWebSocketServer::NonSecureMode, this))
{
    m_tcp->setParent(this);
    m_ws->setHandshakeTimeout(10000);
    connect(m_tcp, &BoundedTcpServer::webSocketRequested, this, [this](QTcpSocket *socket) {
        m_ws->handleConnection(socket);
        emit socket->readyRead();
    });
    connect(m_ws, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket *s = m_ws->nextPendingConnection())
            emit webSocket(s);
    });
}

QString HttpFront::listen(const QHostAddress &address, quint16 port)
{
    if (!m_tcp->listen(address, port))
        return QStringLiteral("impossible d'écouter sur %1:%2 : %3")
            .arg(address.toString()).arg(port).arg(m_tcp->errorString());
    bind(m_tcp);
    return QString();
}

bool HttpFront::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QByteArray method;
    switch (request.method()) {
    case QHttpServerRequest::Method::Get: method = "GET"; break;
    case QHttpServerRequest::Method::Head: method = "HEAD"; break;
    default: method = "OTHER"; break;
    }
    const HttpAnswer a = m_handler(method, request.url());
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(a.status));
    responder.writeHeader("Content-Type", a.mime);
    responder.writeHeader("Content-Length", QByteArray::number(a.body.size()));
    responder.writeHeader("Cache-Control", a.cache);
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Content-Security-Policy",
                          "default-src 'self'; img-src 'self' data:; style-src 'self'; "
                          "script-src 'self'; connect-src 'self' ws: wss:");
    if (method != "HEAD")
        responder.writeBody(a.body);
    else
        responder.writeBody(QByteArray());
    return true;
}

void HttpFront::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    socket->abort();
}
