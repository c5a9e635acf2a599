#include "FrameServer.h"

#include <QLocale>
#include <QTcpSocket>

#include <array>

namespace {

// What a connection may hold that it has not handed to its parser: the system's buffers
// take the rest and the sender waits.
constexpr qint64 readBufferBytes = 64 * 1024;
// The rate is measured over the window in this many steps.
constexpr int rateSteps = 10;

QString secondsText(int ms)
{
    return QLocale(QLocale::French).toString(ms / 1000.0, 'g', 6);
}

} // namespace

struct FrameServer::Connection {
    QTcpSocket *socket = nullptr;
    QTimer *idle = nullptr;
    FrameParser parser;
    std::unique_ptr<FrameSinkFrame> frame;
    QString peer;
    bool done = false;
    // Bytes received so far at each of the last rateSteps + 1 rate ticks, oldest first.
    std::array<qint64, rateSteps + 1> samples{};
    int sampleCount = 0;
};

FrameServer::FrameServer(Options options, FrameSink *sink, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_sink(sink)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FrameServer::accept);
    m_rateTick.setInterval(qMax(1, m_options.rateWindowMs / rateSteps));
    connect(&m_rateTick, &QTimer::timeout, this, &FrameServer::checkRates);
}

FrameServer::~FrameServer()
{
    // Frames still arriving are cut short by the shutdown and kept as such, without a
    // report: whoever listens may be gone already.
    const QList<Connection *> open = m_open.values();
    m_open.clear();
    for (Connection *c : open) {
        disconnect(c->socket, nullptr, this, nullptr);
        disconnect(c->idle, nullptr, this, nullptr);
        if (c->frame) {
            QString name;
            QString error;
            c->frame->cut(c->parser.linesDone(), &name, &error);
        }
        c->socket->abort();
        delete c->socket;
        delete c;
    }
}

QString FrameServer::start()
{
    // Up to maxConnections are read; the ones past it are taken off the queue at once, so
    // the system's queue never holds them either.
    m_server.setMaxPendingConnections(qMax(30, m_options.maxConnections));
    if (!m_server.listen(m_options.address, m_options.port))
        return QStringLiteral("impossible d'écouter sur %1:%2 : %3")
            .arg(m_options.address.toString())
            .arg(m_options.port)
            .arg(m_server.errorString());
    if (m_options.minRate > 0)
        m_rateTick.start();
    return QString();
}

void FrameServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const QString peer = QStringLiteral("%1:%2")
                                 .arg(socket->peerAddress().toString())
                                 .arg(socket->peerPort());
        if (m_open.size() >= m_options.maxConnections) {
            socket->abort();
            socket->deleteLater();
            emit report(QStringLiteral("connexion de %1 refusée : déjà %2 connexions ouvertes")
                            .arg(peer)
                            .arg(m_options.maxConnections));
            continue;
        }

        auto *c = new Connection;
        c->socket = socket;
        c->parser = FrameParser(m_options.limits);
        c->peer = peer;
        socket->setReadBufferSize(readBufferBytes);
        c->idle = new QTimer(socket);
        c->idle->setSingleShot(true);
        c->idle->setInterval(m_options.idleMs);
        m_open.insert(c);

        connect(socket, &QTcpSocket::readyRead, this, [this, c] { readFrom(c); });
        connect(c->idle, &QTimer::timeout, this, [this, c] {
            finish(c, QStringLiteral("silencieux depuis %1 ms").arg(m_options.idleMs));
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] {
            readFrom(c);
            finish(c, QString());
        });
        // The connection record lives exactly as long as its socket.
        connect(socket, &QObject::destroyed, this, [this, c] {
            m_open.remove(c);
            delete c;
        });
        c->idle->start();
        // Bytes may already be waiting, and the peer may even be gone.
        if (socket->bytesAvailable() > 0)
            readFrom(c);
        if (!c->done && socket->state() == QAbstractSocket::UnconnectedState)
            finish(c, QString());
    }
}

void FrameServer::readFrom(Connection *c)
{
    if (c->done)
        return;
    char buffer[readBufferBytes];
    for (;;) {
        const qint64 n = c->socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        c->idle->start();
        const FrameParser::State state = c->parser.feed(QByteArrayView(buffer, n));
        if (state == FrameParser::State::Refused) {
            refuse(c);
            return;
        }
        if (!hand(c))
            return;
        if (state == FrameParser::State::Complete) {
            // The sheet is whole: keep it now, whatever the client does next.
            finish(c, QString());
            return;
        }
    }
}

// Passes what the parser has of the frame on to the sink, starting the frame once its
// line count is in. False when the sink failed (the connection is then gone).
bool FrameServer::hand(Connection *c)
{
    if (!c->parser.countKnown())
        return true;
    QString error;
    if (!c->frame) {
        c->frame = m_sink->begin(FrameInfo{c->peer, c->parser.expectedLines()}, &error);
        if (!c->frame) {
            failStore(c, error);
            return false;
        }
    }
    const QByteArray bytes = c->parser.takeStreamBytes();
    if (!bytes.isEmpty() && !c->frame->write(bytes, &error)) {
        failStore(c, error);
        return false;
    }
    return true;
}

void FrameServer::finish(Connection *c, const QString &why)
{
    if (c->done)
        return;
    const FrameParser &p = c->parser;
    const bool complete = p.state() == FrameParser::State::Complete;
    if (!p.countKnown()) {
        emit report(
            QStringLiteral("connexion de %1 fermée avant le nombre de lignes (%2 octets)%3")
                .arg(c->peer)
                .arg(p.bytesReceived())
                .arg(why.isEmpty() ? QString() : QStringLiteral(" : %1").arg(why)));
        release(c, false);
        return;
    }
    if (!hand(c))
        return;

    QString name;
    QString error;
    const bool stored = complete ? c->frame->complete(p.linesDone(), &name, &error)
                                 : c->frame->cut(p.linesDone(), &name, &error);
    if (!stored) {
        failStore(c, error);
        return;
    }
    if (complete) {
        QString line = QStringLiteral("reçu %1 : %2 lignes depuis %3")
                           .arg(name)
                           .arg(p.linesDone())
                           .arg(c->peer);
        if (p.trailingBytes() > 0)
            line += QStringLiteral(" (%1 octets après la dernière ligne ignorés)")
                        .arg(p.trailingBytes());
        emit report(line);
    } else {
        emit report(QStringLiteral("reçu %1 : %2 lignes sur %3 depuis %4, trame incomplète%5")
                        .arg(name)
                        .arg(p.linesDone())
                        .arg(p.expectedLines())
                        .arg(c->peer)
                        .arg(why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
    }
    // Nothing is read back by the client; bytes after the frame are dropped with it.
    release(c, complete);
}

void FrameServer::refuse(Connection *c)
{
    if (c->frame)
        c->frame->discard();
    emit report(QStringLiteral("refusé depuis %1 : %2, connexion fermée")
                    .arg(c->peer, c->parser.refusalText()));
    release(c, false);
}

void FrameServer::failStore(Connection *c, const QString &error)
{
    if (c->frame)
        c->frame->discard();
    emit failure(QStringLiteral("échec de l'enregistrement de la feuille de %1 : %2")
                     .arg(c->peer, error));
    release(c, false);
}

void FrameServer::release(Connection *c, bool graceful)
{
    c->done = true;
    c->idle->stop();
    c->frame.reset();
    m_open.remove(c);
    if (graceful && c->socket->state() == QAbstractSocket::ConnectedState)
        c->socket->disconnectFromHost();
    else
        c->socket->abort();
    c->socket->deleteLater();
}

void FrameServer::checkRates()
{
    const qint64 windowMs = qint64(m_rateTick.interval()) * rateSteps;
    const qint64 needed = m_options.minRate * windowMs / 1000;
    const QList<Connection *> open = m_open.values();
    for (Connection *c : open) {
        if (c->done)
            continue;
        // Bytes the system already holds for it count as sent.
        const qint64 now = c->parser.bytesReceived() + c->socket->bytesAvailable();
        if (c->sampleCount < rateSteps + 1) {
            c->samples[c->sampleCount++] = now;
        } else {
            std::move(c->samples.begin() + 1, c->samples.end(), c->samples.begin());
            c->samples[rateSteps] = now;
        }
        if (c->sampleCount == rateSteps + 1 && now - c->samples[0] < needed)
            finish(c, QStringLiteral("moins de %1 octets/s pendant %2 s")
                          .arg(m_options.minRate)
                          .arg(secondsText(int(windowMs))));
    }
}
