#include "LiveHub.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QUrlQuery>
#include <QUuid>
#include <QWebSocket>

#include <cstdio>

namespace {
const QString kChannel = QStringLiteral("zelvano_live");
// NOTIFY carries at most 8000 bytes; a snapshot is a few hundred.
constexpr int kMaxNotifyBytes = 7900;

QString compact(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}
} // namespace

LiveHub::LiveHub(QObject *parent)
    : QObject(parent), m_instance(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

LiveHub::~LiveHub()
{
    const auto pubs = m_publishers;
    for (Publisher *p : pubs) {
        p->socket->disconnect(this);
        delete p->socket;
        delete p;
    }
    const auto watchers = m_watchers.keys();
    for (QWebSocket *w : watchers) {
        w->disconnect(this);
        delete w;
    }
}

void LiveHub::setKey(const QByteArray &key)
{
    m_keyDigest = key.isEmpty() ? QByteArray()
                                : QCryptographicHash::hash(key, QCryptographicHash::Sha256);
}

bool LiveHub::keyMatches(const QString &key) const
{
    if (m_keyDigest.isEmpty())
        return true;
    // Digests of equal length compared without an early exit: the time taken tells
    // nothing about how much of the key was right.
    const QByteArray given = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (int i = 0; i < m_keyDigest.size(); ++i)
        diff |= static_cast<unsigned char>(m_keyDigest[i] ^ given[i]);
    return diff == 0;
}

void LiveHub::report(const QString &line) const
{
    if (m_quiet)
        return;
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void LiveHub::adopt(QWebSocket *socket)
{
    socket->setParent(this);
    socket->setMaxAllowedIncomingMessageSize(quint64(m_limits.maxMessageBytes));
    socket->setMaxAllowedIncomingFrameSize(quint64(m_limits.maxMessageBytes));
    const QUrl url = socket->requestUrl();
    const QString path = url.path(QUrl::FullyEncoded);
    if (path == QLatin1String("/live")) {
        adoptPublisher(socket);
    } else if (path == QLatin1String("/live/watch")) {
        adoptWatcher(socket, QUrlQuery(url).queryItemValue(QStringLiteral("table"),
                                                           QUrl::FullyDecoded));
    } else {
        socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                      QStringLiteral("Chemin inconnu"));
        socket->deleteLater();
    }
}

void LiveHub::adoptPublisher(QWebSocket *socket)
{
    if (m_publishers.size() >= m_limits.maxPublishers) {
        socket->close(QWebSocketProtocol::CloseCodeTooMuchData,
                      QStringLiteral("Trop de tables connectées"));
        socket->deleteLater();
        return;
    }
    auto *p = new Publisher;
    p->socket = socket;
    p->peer = socket->peerAddress().toString();
    p->hello = new QTimer(socket);
    p->hello->setSingleShot(true);
    p->hello->start(m_limits.helloMs);
    m_publishers.insert(socket, p);
    connect(p->hello, &QTimer::timeout, this,
            [this, p] { refuse(p, 4002, QStringLiteral("Pas de présentation reçue")); });
    connect(socket, &QWebSocket::textMessageReceived, this,
            [this, p](const QString &text) { onPublisherText(p, text); });
    connect(socket, &QWebSocket::binaryMessageReceived, this, [this, p](const QByteArray &) {
        refuse(p, 4002, QStringLiteral("Message binaire refusé"));
    });
    connect(socket, &QWebSocket::disconnected, this, [this, p] { publisherGone(p); });
}

void LiveHub::refuse(Publisher *p, int code, const QString &reason)
{
    if (!m_publishers.contains(p->socket))
        return;
    QWebSocket *socket = p->socket;
    const QString peer = p->peer;
    // Forgotten first: closing may report the disconnection at once.
    publisherGone(p);
    QJsonObject o{{QStringLiteral("type"), QStringLiteral("refused")},
                  {QStringLiteral("reason"), reason}};
    socket->sendTextMessage(compact(o));
    report(QStringLiteral("table refusée depuis %1 : %2").arg(peer, reason));
    socket->close(QWebSocketProtocol::CloseCode(code), reason);
    // The close handshake may never finish with a hostile peer: the socket goes anyway
    // (publisherGone has already asked for its deletion).
}

void LiveHub::onPublisherText(Publisher *p, const QString &text)
{
    if (text.size() > m_limits.maxMessageBytes)
        return refuse(p, 4002, QStringLiteral("Message trop long"));
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return refuse(p, 4002, QStringLiteral("Message illisible (objet JSON attendu)"));
    const QJsonObject o = doc.object();
    const QString type = o.value(QStringLiteral("type")).toString();
    if (!p->accepted) {
        if (type != QLatin1String("hello"))
            return refuse(p, 4002, QStringLiteral("Présentation attendue"));
        const QString table = o.value(QStringLiteral("table")).toString().trimmed();
        if (!keyMatches(o.value(QStringLiteral("key")).toString()))
            return refuse(p, 4001, QStringLiteral("Clé du club incorrecte"));
        if (table.isEmpty())
            return refuse(p, 4002, QStringLiteral("Nom de table vide"));
        if (table.size() > 100)
            return refuse(p, 4002, QStringLiteral("Nom de table trop long"));
        p->accepted = true;
        p->table = table;
        p->hello->stop();
        p->socket->sendTextMessage(compact({{QStringLiteral("type"), QStringLiteral("accepted")}}));
        report(QStringLiteral("table « %1 » en direct depuis %2").arg(table, p->peer));
        return;
    }
    if (type != QLatin1String("snapshot"))
        return; // unknown types are ignored
    QJsonObject snapshot = o;
    // The table is the one the hello named: a scoreboard cannot write over another table.
    snapshot.insert(QStringLiteral("table"), p->table);
    update(p->table, snapshot, true, m_instance, p->peer, true);
}

void LiveHub::publisherGone(Publisher *p)
{
    if (!m_publishers.remove(p->socket))
        return;
    QWebSocket *socket = p->socket;
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
    } else {
        // A refusal still has its message and close frame to send: the socket goes once
        // closed, at the latest after 2 s (a hostile peer may never answer the close).
        connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(2000, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
    if (p->accepted) {
        bool other = false;
        for (const Publisher *q : std::as_const(m_publishers))
            other = other || (q->accepted && q->table == p->table);
        if (!other && m_tables.contains(p->table)) {
            report(QStringLiteral("table « %1 » hors ligne").arg(p->table));
            update(p->table, m_tables.value(p->table).snapshot, false, m_instance, p->peer, true);
        }
    }
    delete p;
}

void LiveHub::adoptWatcher(QWebSocket *socket, const QString &onlyTable)
{
    if (m_watchers.size() >= m_limits.maxWatchers) {
        socket->close(QWebSocketProtocol::CloseCodeTooMuchData,
                      QStringLiteral("Trop de spectateurs connectés"));
        socket->deleteLater();
        return;
    }
    m_watchers.insert(socket, onlyTable);
    auto gone = [this, socket] {
        if (m_watchers.remove(socket)) {
            socket->disconnect(this);
            socket->deleteLater();
        }
    };
    connect(socket, &QWebSocket::disconnected, this, gone);
    // Browsers have nothing to say; anything they send is read and dropped (the size limit
    // above closes the connection for a message too long).
    connect(socket, &QWebSocket::textMessageReceived, this, [](const QString &) {});
    QJsonArray list;
    for (const LiveTable &t : std::as_const(m_tables))
        if (onlyTable.isEmpty() || t.name == onlyTable)
            list.append(tableJson(t));
    socket->sendTextMessage(compact({{QStringLiteral("type"), QStringLiteral("tables")},
                                     {QStringLiteral("tables"), list}}));
}

QJsonObject LiveHub::tableJson(const LiveTable &t)
{
    return {{QStringLiteral("table"), t.name},
            {QStringLiteral("online"), t.online},
            {QStringLiteral("updated"), t.updatedMs},
            {QStringLiteral("snapshot"), t.snapshot}};
}

void LiveHub::update(const QString &name, const QJsonObject &snapshot, bool online,
                     const QString &instance, const QString &peer, bool shareIt)
{
    LiveTable &t = m_tables[name];
    t.name = name;
    t.snapshot = snapshot;
    t.online = online;
    t.instance = instance;
    t.peer = instance == m_instance ? peer : QString();
    t.updatedMs = QDateTime::currentMSecsSinceEpoch();
    broadcast(t);
    if (shareIt)
        share({{QStringLiteral("type"), QStringLiteral("table")},
               {QStringLiteral("origin"), m_instance},
               {QStringLiteral("online"), online},
               {QStringLiteral("snapshot"), snapshot}});
    emit tableChanged(name);
}

void LiveHub::broadcast(const LiveTable &t)
{
    QJsonObject msg = tableJson(t);
    msg.insert(QStringLiteral("type"), QStringLiteral("table"));
    const QString text = compact(msg);
    const auto watchers = m_watchers; // a dropped watcher leaves the hash
    for (auto it = watchers.begin(); it != watchers.end(); ++it) {
        if (!it.value().isEmpty() && it.value() != t.name)
            continue;
        QWebSocket *w = it.key();
        if (w->bytesToWrite() > m_limits.maxWatcherBacklog) {
            // A browser that reads nothing is not allowed to pile up our memory.
            m_watchers.remove(w);
            w->disconnect(this);
            w->abort();
            w->deleteLater();
            continue;
        }
        w->sendTextMessage(text);
    }
}

QList<LiveTable> LiveHub::tables() const
{
    QList<LiveTable> out = m_tables.values();
    std::sort(out.begin(), out.end(), [](const LiveTable &a, const LiveTable &b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    return out;
}

QString LiveHub::tableOfPeer(const QString &address) const
{
    for (const Publisher *p : std::as_const(m_publishers))
        if (p->accepted && p->peer == address)
            return p->table;
    return QString();
}

QString LiveHub::shareThrough(QSqlDriver *driver, const QString &connectionName)
{
    if (!driver->subscribeToNotification(kChannel))
        return QStringLiteral("écoute des notifications PostgreSQL refusée");
    m_driver = driver;
    m_connectionName = connectionName;
    connect(driver, &QSqlDriver::notification, this, &LiveHub::onNotification);
    // The others answer with their tables, so this instance sees them at once.
    share({{QStringLiteral("type"), QStringLiteral("sync")},
           {QStringLiteral("origin"), m_instance}});
    return QString();
}

void LiveHub::share(const QJsonObject &message)
{
    if (!m_driver)
        return;
    const QString payload = compact(message);
    if (payload.toUtf8().size() > kMaxNotifyBytes) {
        report(QStringLiteral("instantané trop long pour être partagé (%1 octets)")
                   .arg(payload.toUtf8().size()));
        return;
    }
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.prepare(QStringLiteral("SELECT pg_notify(?, ?)"));
    q.addBindValue(kChannel);
    q.addBindValue(payload);
    if (!q.exec())
        report(QStringLiteral("partage de l'instantané refusé par PostgreSQL"));
}

void LiveHub::onNotification(const QString &name, QSqlDriver::NotificationSource,
                             const QVariant &payload)
{
    if (name != kChannel)
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(payload.toString().toUtf8());
    if (!doc.isObject())
        return;
    const QJsonObject o = doc.object();
    const QString origin = o.value(QStringLiteral("origin")).toString();
    if (origin == m_instance)
        return; // our own notification comes back to us too
    const QString type = o.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("sync")) {
        for (const LiveTable &t : std::as_const(m_tables))
            if (t.instance == m_instance)
                share({{QStringLiteral("type"), QStringLiteral("table")},
                       {QStringLiteral("origin"), m_instance},
                       {QStringLiteral("online"), t.online},
                       {QStringLiteral("snapshot"), t.snapshot}});
        return;
    }
    if (type != QLatin1String("table"))
        return;
    const QJsonObject snapshot = o.value(QStringLiteral("snapshot")).toObject();
    const QString table = snapshot.value(QStringLiteral("table")).toString();
    if (table.isEmpty())
        return;
    update(table, snapshot, o.value(QStringLiteral("online")).toBool(), origin, QString(), false);
}
