#include "HttpFront.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QTimer>

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
    idle->setSingleShot(true);
    idle->start(idleMs);
    auto received = std::make_shared<qint64>(0);
    // Connected before the HTTP server's own slot, so it sees the bytes before they are read.
    // An upgrade to WebSocket disconnects every slot of the socket, this one included: from
    // then on the WebSocket's own limits apply.
    auto watching = std::make_shared<QMetaObject::Connection>();
    *watching = connect(socket, &QTcpSocket::readyRead, socket, [=] {
        idle->start();
        *received += socket->bytesAvailable();
        if (*received > maxBytes) {
            idle->stop();
            socket->abort();
        }
    });
    connect(idle, &QTimer::timeout, socket, [=] {
        if (*watching) // still plain HTTP
            socket->abort();
    });
    addPendingConnection(socket);
    emit newConnection();
}

HttpFront::HttpFront(Handler handler, QObject *parent)
    : QAbstractHttpServer(parent), m_handler(std::move(handler)), m_tcp(new BoundedTcpServer)
{
    m_tcp->setParent(this);
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
