// The live publisher: snapshot to JSON, and the one WebSocket to the club server.
#include "LivePublisher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebSocket>

// --- comparisons ---------------------------------------------------------------------

bool LiveShotClock::operator==(const LiveShotClock &o) const
{
    return left == o.left && warning == o.warning && extensions[0] == o.extensions[0]
        && extensions[1] == o.extensions[1];
}

bool LiveResult::operator==(const LiveResult &o) const
{
    return winner == o.winner && points[0] == o.points[0] && points[1] == o.points[1] && text == o.text;
}

bool LiveMatch::operator==(const LiveMatch &o) const
{
    return active == o.active && discipline == o.discipline && distances[0] == o.distances[0]
        && distances[1] == o.distances[1] && limit == o.limit && remaining[0] == o.remaining[0]
        && remaining[1] == o.remaining[1] && state == o.state && result == o.result;
}

bool LiveSnapshot::sameContent(const LiveSnapshot &o) const
{
    for (int i = 0; i < 2; ++i) {
        if (names[i] != o.names[i] || totals[i] != o.totals[i] || played[i] != o.played[i]
            || best[i] != o.best[i] || last[i] != o.last[i] || chronoMs[i] != o.chronoMs[i])
            return false;
    }
    return table == o.table && innings == o.innings && run == o.run && turn == o.turn
        && lapMs == o.lapMs && shotClock == o.shotClock && match == o.match;
}

// --- JSON ----------------------------------------------------------------------------

namespace LiveJson {

double average(qint64 total, qint64 innings)
{
    if (innings < 1)
        return 0.0;
    // On integers, as the scoreboard rounds: 1 over 16 is 0.063, and 2.0005 is not 2.000.
    const qint64 num = total * 1000;
    qint64 q = num / innings;
    const qint64 rem = num % innings;
    if (2 * (rem < 0 ? -rem : rem) >= innings)
        q += num < 0 ? -1 : 1;
    return double(q) / 1000.0;
}

namespace {
template <class T>
QJsonValue orNull(const std::optional<T> &v)
{
    return v ? QJsonValue(double(*v)) : QJsonValue(QJsonValue::Null);
}

QJsonArray pair(double a, double b)
{
    return QJsonArray{a, b};
}

QJsonValue positiveOrNull(qint64 v)
{
    return v > 0 ? QJsonValue(double(v)) : QJsonValue(QJsonValue::Null);
}

QJsonObject matchJson(const LiveMatch &m)
{
    QJsonObject o{{QStringLiteral("active"), m.active}};
    if (!m.active)
        return o;
    o.insert(QStringLiteral("discipline"), m.discipline);
    o.insert(QStringLiteral("distances"), QJsonArray{positiveOrNull(m.distances[0]), positiveOrNull(m.distances[1])});
    o.insert(QStringLiteral("limit"), positiveOrNull(m.limit));
    o.insert(QStringLiteral("remaining"), QJsonArray{orNull(m.remaining[0]), orNull(m.remaining[1])});
    o.insert(QStringLiteral("state"), m.state);
    if (m.result) {
        o.insert(QStringLiteral("result"),
                 QJsonObject{{QStringLiteral("winner"), m.result->winner},
                             {QStringLiteral("points"), pair(m.result->points[0], m.result->points[1])},
                             {QStringLiteral("text"), m.result->text}});
    } else {
        o.insert(QStringLiteral("result"), QJsonValue(QJsonValue::Null));
    }
    return o;
}
} // namespace

QJsonObject snapshot(const LiveSnapshot &s, qint64 seq)
{
    QJsonObject o;
    o.insert(QStringLiteral("type"), QStringLiteral("snapshot"));
    o.insert(QStringLiteral("version"), 1);
    o.insert(QStringLiteral("seq"), double(seq));
    o.insert(QStringLiteral("table"), s.table);
    o.insert(QStringLiteral("time"), s.time.toString(Qt::ISODate));
    o.insert(QStringLiteral("names"), QJsonArray{s.names[0], s.names[1]});
    o.insert(QStringLiteral("totals"), pair(double(s.totals[0]), double(s.totals[1])));
    o.insert(QStringLiteral("innings"), s.innings);
    o.insert(QStringLiteral("averages"),
             pair(average(s.totals[0], s.played[0]), average(s.totals[1], s.played[1])));
    o.insert(QStringLiteral("generalAverage"),
             average(s.totals[0] + s.totals[1], qint64(s.played[0]) + s.played[1]));
    o.insert(QStringLiteral("best"), QJsonArray{orNull(s.best[0]), orNull(s.best[1])});
    o.insert(QStringLiteral("last"), QJsonArray{orNull(s.last[0]), orNull(s.last[1])});
    o.insert(QStringLiteral("run"), orNull(s.run));
    o.insert(QStringLiteral("turn"), s.turn == 2 ? 2 : 1);
    o.insert(QStringLiteral("lapMs"), orNull(s.lapMs));
    if (s.chronoMs[0] && s.chronoMs[1])
        o.insert(QStringLiteral("chronoMs"), pair(double(*s.chronoMs[0]), double(*s.chronoMs[1])));
    else
        o.insert(QStringLiteral("chronoMs"), QJsonValue(QJsonValue::Null));
    if (s.shotClock) {
        o.insert(QStringLiteral("shotClock"),
                 QJsonObject{{QStringLiteral("left"), s.shotClock->left},
                             {QStringLiteral("warning"), s.shotClock->warning},
                             {QStringLiteral("extensions"),
                              pair(s.shotClock->extensions[0], s.shotClock->extensions[1])}});
    } else {
        o.insert(QStringLiteral("shotClock"), QJsonValue(QJsonValue::Null));
    }
    o.insert(QStringLiteral("match"), matchJson(s.match));
    return o;
}

QJsonObject hello(const QString &table, const QString &key)
{
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("hello")},
                       {QStringLiteral("version"), 1},
                       {QStringLiteral("table"), table},
                       {QStringLiteral("key"), key}};
}

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace LiveJson

// --- the publisher ---------------------------------------------------------------------

namespace {
QString socketReason(QAbstractSocket::SocketError e)
{
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connexion refusée");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("adresse introuvable");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("connexion fermée par le serveur");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("délai dépassé");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("réseau indisponible");
    default:
        return QStringLiteral("erreur réseau");
    }
}
}

LivePublisher::LivePublisher(LiveTimings timings, QObject *parent)
    : QObject(parent), m_timings(timings), m_retry(new QTimer(this)), m_answer(new QTimer(this)),
      m_nextDelay(timings.firstRetryMs)
{
    m_retry->setSingleShot(true);
    m_answer->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &LivePublisher::connectNow);
    connect(m_answer, &QTimer::timeout, this, &LivePublisher::onAnswerTimeout);
}

LivePublisher::~LivePublisher()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void LivePublisher::configure(const QString &host, quint16 port, const QString &table, const QString &key,
                              bool enabled)
{
    const QString h = host.trimmed();
    if (enabled == m_enabled && h == m_host && port == m_port && table == m_table && key == m_key)
        return;
    m_enabled = enabled;
    m_host = h;
    m_port = port;
    m_table = table;
    m_key = key;
    m_retry->stop();
    m_answer->stop();
    dropSocket();
    m_nextDelay = m_timings.firstRetryMs;
    m_url = QUrl();
    if (!enabled) {
        setState(LiveState::Off);
        return;
    }
    if (h.isEmpty()) {
        setState(LiveState::Off, QStringLiteral("adresse du serveur club vide"));
        return;
    }
    if (table.trimmed().isEmpty()) {
        setState(LiveState::Off, QStringLiteral("nom de la table vide"));
        return;
    }
    if (port == 0) {
        setState(LiveState::Off, QStringLiteral("port du serveur club incorrect"));
        return;
    }
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(h);
    url.setPort(port);
    url.setPath(QStringLiteral("/live"));
    if (!url.isValid() || url.host().isEmpty()) {
        setState(LiveState::Off, QStringLiteral("adresse du serveur club incorrecte : « %1 »").arg(h));
        return;
    }
    m_url = url;
    setState(LiveState::Connecting);
    connectNow();
}

void LivePublisher::publish(const LiveSnapshot &snapshot)
{
    m_current = snapshot;
    m_unsent = true;
    sendCurrent();
}

QString LivePublisher::stateText() const
{
    switch (m_state) {
    case LiveState::Off:
        if (!m_enabled)
            return QStringLiteral("Diffusion en direct arrêtée");
        return QStringLiteral("Diffusion en direct impossible : %1").arg(m_reason);
    case LiveState::Connecting:
        return QStringLiteral("Connexion au serveur club %1:%2…").arg(m_host).arg(m_port);
    case LiveState::Live:
        return QStringLiteral("En direct sur le serveur club %1:%2 (table « %3 »)").arg(m_host).arg(m_port).arg(m_table);
    case LiveState::Refused:
        return QStringLiteral("Refusé par le serveur club : %1").arg(m_reason);
    case LiveState::Unreachable:
        return QStringLiteral("Serveur club %1:%2 injoignable : %3. Nouvel essai automatique.")
            .arg(m_host)
            .arg(m_port)
            .arg(m_reason);
    }
    return QString();
}

void LivePublisher::setState(LiveState s, const QString &reason)
{
    const bool changed = s != m_state || reason != m_reason;
    m_state = s;
    m_reason = reason;
    if (changed)
        emit stateChanged(s);
}

void LivePublisher::dropSocket()
{
    if (!m_socket)
        return;
    QWebSocket *s = m_socket;
    m_socket = nullptr;
    s->disconnect(this);
    s->abort();
    s->deleteLater();
}

void LivePublisher::connectNow()
{
    if (!m_enabled || !m_url.isValid())
        return;
    dropSocket();
    m_refusedNow = false;
    ++m_attempts;
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    // The server's messages are small; a runaway one must not grow without bound.
    m_socket->setMaxAllowedIncomingMessageSize(64 * 1024);
    m_socket->setMaxAllowedIncomingFrameSize(64 * 1024);
    connect(m_socket, &QWebSocket::connected, this, &LivePublisher::onConnected);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &LivePublisher::onMessage);
    connect(m_socket, &QWebSocket::disconnected, this, &LivePublisher::onDisconnected);
    connect(m_socket, &QWebSocket::bytesWritten, this, &LivePublisher::sendCurrent);
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) {
                // A failed connection attempt may end without a disconnected signal.
                if (m_socket && m_socket->state() == QAbstractSocket::UnconnectedState)
                    QMetaObject::invokeMethod(this, [this, s = m_socket] {
                        if (s == m_socket)
                            onDisconnected();
                    }, Qt::QueuedConnection);
            });
    m_answer->start(m_timings.answerTimeoutMs);
    m_socket->open(m_url);
}

void LivePublisher::onConnected()
{
    if (!m_socket)
        return;
    m_socket->sendTextMessage(QString::fromUtf8(LiveJson::compact(LiveJson::hello(m_table, m_key))));
}

void LivePublisher::onMessage(const QString &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject())
        return;
    const QJsonObject o = doc.object();
    const QString type = o.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("accepted")) {
        if (m_state == LiveState::Live)
            return;
        m_answer->stop();
        m_nextDelay = m_timings.firstRetryMs;
        setState(LiveState::Live);
        // The current scoreboard goes first on a new connection.
        m_unsent = m_current.has_value();
        sendCurrent();
    } else if (type == QLatin1String("refused")) {
        m_answer->stop();
        m_refusedNow = true;
        QString reason = o.value(QStringLiteral("reason")).toString().trimmed();
        if (reason.isEmpty())
            reason = QStringLiteral("raison non précisée");
        setState(LiveState::Refused, reason);
        if (m_socket)
            m_socket->close();
    }
    // "ping" and any other message: nothing to do.
}

void LivePublisher::onDisconnected()
{
    if (!m_socket)
        return;
    m_answer->stop();
    const QWebSocketProtocol::CloseCode code = m_socket->closeCode();
    const QString closeReason = m_socket->closeReason().trimmed();
    const QAbstractSocket::SocketError error = m_socket->error();
    const bool wasLive = m_state == LiveState::Live;
    dropSocket();
    if (m_refusedNow || code == 4001 || code == 4002) {
        if (!m_refusedNow) {
            setState(LiveState::Refused, !closeReason.isEmpty() ? closeReason
                                         : code == 4001        ? QStringLiteral("Clé du club incorrecte")
                                                               : QStringLiteral("message d'accueil refusé"));
        }
        scheduleRetry(qMax(m_timings.refusedRetryMs, m_nextDelay));
        return;
    }
    if (wasLive)
        failed(QStringLiteral("connexion perdue"));
    else if (error == QAbstractSocket::UnknownSocketError)
        failed(QStringLiteral("connexion fermée par le serveur"));
    else
        failed(socketReason(error));
}

void LivePublisher::onAnswerTimeout()
{
    if (!m_socket)
        return;
    dropSocket();
    failed(QStringLiteral("pas de réponse du serveur"));
}

void LivePublisher::failed(const QString &reason)
{
    setState(LiveState::Unreachable, reason);
    scheduleRetry(m_nextDelay);
    m_nextDelay = qMin(m_nextDelay * 2, qMax(m_timings.maxRetryMs, m_timings.firstRetryMs));
}

void LivePublisher::scheduleRetry(int delayMs)
{
    if (m_enabled && m_url.isValid())
        m_retry->start(qMax(0, delayMs));
}

void LivePublisher::sendCurrent()
{
    if (m_state != LiveState::Live || !m_socket || !m_current || !m_unsent)
        return;
    // A send still in the socket's buffer: this snapshot waits behind it, and a newer one
    // replaces it in the meantime.
    if (m_socket->bytesToWrite() > 0)
        return;
    ++m_seq;
    m_unsent = false;
    m_socket->sendTextMessage(QString::fromUtf8(LiveJson::compact(LiveJson::snapshot(*m_current, m_seq))));
}
