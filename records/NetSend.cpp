#include "NetSend.h"

#include "AppError.h"
#include "IntConv.h"

#include <QLocale>
#include <QTcpSocket>

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

// Qt's own reason when a write stops; its texts are English, so the usual ones are said
// in French here.
QString writeFailureReason(const QTcpSocket &socket, int timeoutMs)
{
    switch (socket.error()) {
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("le serveur a fermé la connexion");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("le serveur ne lit plus les données depuis %1 secondes")
            .arg(secondsText(timeoutMs));
    default:
        return socket.errorString();
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

    const auto broken = [&] {
        const QString reason = writeFailureReason(socket, timeoutMs);
        socket.abort();
        return AppError(
            QStringLiteral("La connexion avec %1:%2 a été interrompue pendant l'envoi : %3")
                .arg(host)
                .arg(port)
                .arg(reason));
    };

    if (socket.write(frame) != frame.size())
        throw broken();
    // Each wait is bounded: a server that stops reading for timeoutMs ends the sending
    // instead of freezing the window for good.
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            throw broken();
    }

    // Everything is in the system's hands; closing sends it on and ends the stream. Nothing
    // is read back.
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState
        && !socket.waitForDisconnected(timeoutMs))
        socket.abort();
}

} // namespace NetSend
