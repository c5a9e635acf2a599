#include "FrameIntake.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

FrameIntake::FrameIntake(Options options, Sink sink, QObject *parent)
    : QObject(parent), m_options(options), m_sink(std::move(sink))
{
    connect(&m_server, &QTcpServer::newConnection, this, &FrameIntake::accept);
}

QString FrameIntake::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server.listen(address, port))
        return QStringLiteral("impossible d'écouter sur %1:%2 : %3")
            .arg(address.toString()).arg(port).arg(m_server.errorString());
    return QString();
}

void FrameIntake::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_open >= m_options.maxConnections) {
            emit refused(socket->peerAddress().toString(), QStringLiteral("trop de connexions"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        auto parser = std::make_shared<FrameParser>(m_options.limits);
        auto lines = std::make_shared<QList<QByteArray>>();
        auto done = std::make_shared<bool>(false);
        const QString peer = socket->peerAddress().toString();
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->start(m_options.idleMs);
        socket->setReadBufferSize(256 * 1024);
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        auto close = [socket, idle, done](bool graceful) {
            *done = true;
            idle->stop();
            if (graceful && socket->state() == QAbstractSocket::ConnectedState)
                socket->disconnectFromHost();
            else
                socket->abort();
            socket->deleteLater();
        };
        auto read = [=] {
            if (*done)
                return;
            char buffer[64 * 1024];
            for (;;) {
                const qint64 n = socket->read(buffer, sizeof buffer);
                if (n <= 0)
                    break;
                idle->start();
                const auto state = parser->feed(QByteArrayView(buffer, n));
                *lines += parser->takeLines();
                if (state == FrameParser::State::Refused) {
                    emit refused(peer, parser->refusalText());
                    close(false);
                    return;
                }
                if (state == FrameParser::State::Complete) {
                    m_sink(*lines, peer);
                    close(true);
                    return;
                }
            }
        };
        connect(socket, &QTcpSocket::readyRead, this, read);
        connect(socket, &QTcpSocket::disconnected, this, [=] {
            read();
            if (!*done) {
                emit refused(peer, QStringLiteral("trame incomplète (%1 lignes sur %2)")
                                       .arg(parser->linesDone()).arg(parser->expectedLines()));
                close(false);
            }
        });
        connect(idle, &QTimer::timeout, this, [=] {
            emit refused(peer, QStringLiteral("client silencieux"));
            close(false);
        });
        if (socket->bytesAvailable() > 0)
            read();
        if (!*done && socket->state() == QAbstractSocket::UnconnectedState) {
            emit refused(peer, QStringLiteral("connexion fermée avant la fin de la trame"));
            close(false);
        }
    }
}
