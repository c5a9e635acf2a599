#include "NetSend.h"

#include "AppError.h"
#include "IntConv.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QTcpSocket>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

namespace NetSend {

QByteArray buildFrame(const QStringList &lines)
{
    // Sized first so the frame is one allocation, then filled in a single pass: a history
    // of thousands of sheets goes out as one block.
    qsizetype size = 4;
    for (const QString &line : lines)
        size += line.size() + 2;

    QByteArray frame(size, Qt::Uninitialized);
    char *out = frame.data();
    const quint32 count = quint32(lines.size());
    *out++ = char(count >> 24);
    *out++ = char(count >> 16);
    *out++ = char(count >> 8);
    *out++ = char(count);
    for (const QString &line : lines) {
        const ushort *unit = line.utf16();
        const ushort *const end = unit + line.size();
        for (; unit != end; ++unit)
            *out++ = *unit < 0x80 ? char(*unit) : '?';
        *out++ = '\r';
        *out++ = '\n';
    }
    Q_ASSERT(out == frame.constData() + frame.size());
    return frame;
}

quint16 portFromText(const QString &text)
{
    return quint16(quint32(strToInt(text)) & 0xFFFFu);
}

namespace {

QString secondsText(int ms)
{
    return QLocale(QLocale::French).toString(ms / 1000.0, 'g', 6);
}

QString stalledReason(int timeoutMs)
{
    return QStringLiteral("le serveur ne lit plus les données depuis %1 secondes")
        .arg(secondsText(timeoutMs));
}

const QString closedReason = QStringLiteral("le serveur a fermé la connexion");
const QString networkReason =
    QStringLiteral("le réseau est coupé ou le serveur ne répond plus");

// Qt's own reason when a write stops; its texts are English, so the usual ones are said
// in French here.
QString writeFailureReason(const QTcpSocket &socket, int timeoutMs)
{
    switch (socket.error()) {
    case QAbstractSocket::RemoteHostClosedError:
        return closedReason;
    case QAbstractSocket::SocketTimeoutError:
        return stalledReason(timeoutMs);
    case QAbstractSocket::NetworkError:
        return networkReason;
    default:
        return socket.errorString();
    }
}

// Bytes the system holds for the server and the server has not acknowledged yet; 0 where
// the system cannot tell.
qint64 unacknowledged(const QTcpSocket &socket)
{
#ifdef Q_OS_LINUX
    int queued = 0;
    if (::ioctl(int(socket.socketDescriptor()), SIOCOUTQ, &queued) == 0)
        return queued;
#else
    Q_UNUSED(socket);
#endif
    return 0;
}

#ifdef Q_OS_LINUX
QString systemReason(int error)
{
    switch (error) {
    case ECONNRESET:
    case EPIPE:
        return closedReason;
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
        return networkReason;
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Waits at most waitMs for news from the server: it answered (dropped), ended its side of
// the stream (`ended` is set: a server may stop sending and still read, so only its reset
// ends the sending) or reset the connection. Returns an empty string while the connection
// holds, else the French reason.
QString watchServer(const QTcpSocket &socket, int waitMs, bool *ended)
{
    const int fd = int(socket.socketDescriptor());
    // Once the server's end of the stream is in, the socket stays readable: only errors
    // and hang-ups are watched then.
    pollfd p{fd, short(*ended ? 0 : POLLIN | POLLRDHUP), 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready < 0)
        return errno == EINTR ? QString() : systemReason(errno);
    if (ready == 0)
        return QString();
    if (p.revents & POLLERR) {
        int error = 0;
        socklen_t len = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
        return systemReason(error ? error : ECONNRESET);
    }
    if (p.revents & POLLHUP)
        return unacknowledged(socket) == 0 ? QString() : closedReason;
    // Nothing the server says is of use.
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        return systemReason(errno);
    if (n == 0 || (p.revents & POLLRDHUP))
        *ended = true;
    return QString();
}
#endif

// Hands the whole frame to the system and waits until the server's system has acknowledged
// every byte, so that a server that stops reading before the end is reported instead of the
// sending being called done. However long the whole takes, only timeoutMs without a single
// byte taken by the server ends it. Returns an empty string when everything was taken,
// else the French reason.
QString writeAll(QTcpSocket &socket, const QByteArray &frame, int timeoutMs)
{
    if (socket.write(frame) != frame.size())
        return writeFailureReason(socket, timeoutMs);

    // The system says a socket is writable only once a good part of its buffer is free,
    // which a slow reader can take longer than timeoutMs to make: the progress is measured
    // on what the server acknowledged, not on each wait.
    qint64 last = socket.bytesToWrite() + unacknowledged(socket);
    QDeadlineTimer stalled(timeoutMs);
    bool serverEnded = false;
    for (;;) {
        const int slice = int(qBound(qint64(1), stalled.remainingTime(), qint64(100)));
        if (socket.bytesToWrite() > 0) {
            if (!socket.waitForBytesWritten(slice)
                && (socket.error() != QAbstractSocket::SocketTimeoutError
                    || socket.state() != QAbstractSocket::ConnectedState))
                return writeFailureReason(socket, timeoutMs);
        } else {
#ifdef Q_OS_LINUX
            const qint64 queued = unacknowledged(socket);
            if (queued == 0)
                return QString();
            const QString broken = watchServer(socket, queued == last ? slice : 0, &serverEnded);
            if (!broken.isEmpty())
                return broken;
#else
            return QString(); // the bytes are in the system's hands
#endif
        }
        const qint64 pending = socket.bytesToWrite() + unacknowledged(socket);
        if (pending < last) {
            last = pending;
            stalled.setRemainingTime(timeoutMs);
        } else if (stalled.hasExpired()) {
            return stalledReason(timeoutMs);
        }
    }
}

} // namespace

void sendFrame(const QString &host, quint16 port, const QByteArray &frame, int timeoutMs)
{
    if (host.isEmpty())
        throw AppError(QStringLiteral(
            "Aucun serveur indiqué : saisissez le nom ou l'adresse du serveur."));
    if (port == 0)
        throw AppError(QStringLiteral(
            "Le port 0 n'est pas valide : indiquez le port d'écoute du serveur (1 à 65535)."));

    // A local object: whatever throws below, the socket is closed and freed. Blocking calls
    // work without an event loop, which the window's click handler relies on.
    QTcpSocket socket;
    socket.connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
    if (!socket.waitForConnected(timeoutMs)) {
        const QAbstractSocket::SocketError kind = socket.error();
        const QString reason = socket.errorString();
        socket.abort();
        switch (kind) {
        case QAbstractSocket::HostNotFoundError:
            throw AppError(QStringLiteral("Serveur \"%1\" introuvable.").arg(host));
        case QAbstractSocket::ConnectionRefusedError:
            throw AppError(
                QStringLiteral("Connexion refusée par %1:%2 (aucun serveur à l'écoute ?).")
                    .arg(host)
                    .arg(port));
        case QAbstractSocket::SocketTimeoutError:
            throw AppError(QStringLiteral("Aucune réponse de %1:%2 après %3 secondes.")
                               .arg(host)
                               .arg(port)
                               .arg(secondsText(timeoutMs)));
        default:
            throw AppError(QStringLiteral("Envoi impossible vers %1:%2 : %3")
                               .arg(host)
                               .arg(port)
                               .arg(reason));
        }
    }

    const auto broken = [&](const QString &reason) {
        socket.abort();
        return AppError(
            QStringLiteral("La connexion avec %1:%2 a été interrompue pendant l'envoi : %3")
                .arg(host)
                .arg(port)
                .arg(reason));
    };

    const QString failure = writeAll(socket, frame, timeoutMs);
    if (!failure.isEmpty())
        throw broken(failure);

    // The server has every byte; closing ends the stream. Nothing is read back.
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState
        && !socket.waitForDisconnected(timeoutMs))
        socket.abort();
}

} // namespace NetSend
