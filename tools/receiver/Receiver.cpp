#include "Receiver.h"

#include <QDateTime>
#include <QSaveFile>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

struct Receiver::Connection {
    QTcpSocket *socket = nullptr;
    QTimer *idle = nullptr;
    FrameParser parser;
    QByteArray content; // the lines as they came, each with its CR LF
    QString peer;
    bool done = false;
};

Receiver::Receiver(Options options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_folder(m_options.folder)
{
    connect(&m_server, &QTcpServer::newConnection, this, &Receiver::accept);
}

QString Receiver::start()
{
    if (!m_folder.exists() && !m_folder.mkpath(QStringLiteral(".")))
        return QStringLiteral("impossible de créer le dossier %1").arg(m_folder.path());
    if (!m_server.listen(m_options.address, m_options.port))
        return QStringLiteral("impossible d'écouter sur %1:%2 : %3")
            .arg(m_options.address.toString())
            .arg(m_options.port)
            .arg(m_server.errorString());
    // Always printed, quiet or not: with --port 0 it is how a caller learns the port.
    std::fprintf(stdout, "%s\n",
                 QStringLiteral("à l'écoute sur %1:%2, dossier %3")
                     .arg(m_server.serverAddress().toString())
                     .arg(m_server.serverPort())
                     .arg(QDir::toNativeSeparators(m_folder.absolutePath()))
                     .toUtf8()
                     .constData());
    std::fflush(stdout);
    return QString();
}

void Receiver::report(const QString &line)
{
    if (m_options.quiet)
        return;
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void Receiver::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *c = new Connection;
        c->socket = socket;
        c->parser = FrameParser(m_options.limits);
        c->peer = QStringLiteral("%1:%2")
                      .arg(socket->peerAddress().toString())
                      .arg(socket->peerPort());
        c->idle = new QTimer(socket);
        c->idle->setSingleShot(true);
        c->idle->setInterval(m_options.idleMs);

        connect(socket, &QTcpSocket::readyRead, this, [this, c] { readFrom(c); });
        connect(c->idle, &QTimer::timeout, this, [this, c] {
            finish(c, QStringLiteral("silencieux depuis %1 ms").arg(m_options.idleMs));
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] {
            readFrom(c);
            finish(c, QString());
        });
        // The connection record lives exactly as long as its socket.
        connect(socket, &QObject::destroyed, this, [c] { delete c; });
        c->idle->start();
        // Bytes may already be waiting, and the peer may even be gone.
        if (socket->bytesAvailable() > 0)
            readFrom(c);
        if (!c->done && socket->state() == QAbstractSocket::UnconnectedState)
            finish(c, QString());
    }
}

void Receiver::readFrom(Connection *c)
{
    if (c->done)
        return;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = c->socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        c->idle->start();
        const FrameParser::State state = c->parser.feed(QByteArrayView(buffer, n));
        c->content += c->parser.takeBytes();
        if (state == FrameParser::State::Refused) {
            c->done = true;
            report(QStringLiteral("refusé depuis %1 : %2, connexion fermée")
                       .arg(c->peer, c->parser.refusalText()));
            c->idle->stop();
            c->socket->abort();
            c->socket->deleteLater();
            return;
        }
        if (state == FrameParser::State::Complete) {
            // The sheet is whole: keep it now, whatever the client does next.
            finish(c, QString());
            return;
        }
    }
}

void Receiver::finish(Connection *c, const QString &why)
{
    if (c->done)
        return;
    c->done = true;
    c->idle->stop();

    const FrameParser &p = c->parser;
    const bool complete = p.state() == FrameParser::State::Complete;
    if (complete || p.countKnown()) {
        QString error;
        const QString name = store(c, complete, &error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n",
                         QStringLiteral("échec de l'enregistrement de la feuille de %1 : %2")
                             .arg(c->peer, error)
                             .toUtf8()
                             .constData());
            std::fflush(stderr);
        } else if (complete) {
            QString line = QStringLiteral("reçu %1 : %2 lignes depuis %3")
                               .arg(name)
                               .arg(p.linesDone())
                               .arg(c->peer);
            if (p.trailingBytes() > 0)
                line += QStringLiteral(" (%1 octets après la dernière ligne ignorés)")
                            .arg(p.trailingBytes());
            report(line);
        } else {
            report(QStringLiteral("reçu %1 : %2 lignes sur %3 depuis %4, trame incomplète%5")
                       .arg(name)
                       .arg(p.linesDone())
                       .arg(p.expectedLines())
                       .arg(c->peer)
                       .arg(why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
        }
    } else {
        report(QStringLiteral("connexion de %1 fermée avant le nombre de lignes (%2 octets)%3")
                   .arg(c->peer)
                   .arg(p.bytesReceived())
                   .arg(why.isEmpty() ? QString() : QStringLiteral(" : %1").arg(why)));
    }

    // Nothing is read back by the client; bytes after the frame are dropped with it.
    if (complete && c->socket->state() == QAbstractSocket::ConnectedState)
        c->socket->disconnectFromHost();
    else
        c->socket->abort();
    c->socket->deleteLater();
}

QString Receiver::store(Connection *c, bool complete, QString *error)
{
    QByteArray bytes = c->content;
    if (!complete)
        bytes += c->parser.partialLine();

    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString suffix = complete ? QStringLiteral(".txt") : QStringLiteral(".incomplet.txt");
    QString name;
    do {
        name = QStringLiteral("feuille-%1-%2%3").arg(stamp).arg(++m_sequence).arg(suffix);
    } while (m_folder.exists(name));

    // Temporary file renamed into place: a reader of the folder never sees half a sheet.
    QSaveFile file(m_folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        *error = QStringLiteral("%1 : %2").arg(name, file.errorString());
    return name;
}
