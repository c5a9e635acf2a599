#pragma once
// The live side of the club server. Scoreboards publish on the WebSocket path "/live"
// (hello with the club's key, then one snapshot per change; the last one wins); browsers
// watch on "/live/watch" and get every table's snapshot at once, then each change as it
// comes. With PostgreSQL, snapshots also travel between instances by LISTEN/NOTIFY, so a
// browser on any instance sees every table.
//
// Bounds: a message over 64 KiB, one that is not a JSON object, or a publisher that does
// not say hello within 10 s is refused and its connection closed; a watcher that does not
// read (more than 1 MiB waiting for it) is dropped; connections beyond the limits are
// closed at once.
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSqlDriver>
#include <QString>

class QWebSocket;
class QTimer;

struct LiveTable {
    QString name;
    QJsonObject snapshot;   // the last one received, as the scoreboard sent it
    bool online = false;    // a publisher is connected (here or on another instance)
    QString instance;       // the instance that holds its publisher
    QString peer;           // address of the publisher, when it is ours
    qint64 updatedMs = 0;   // when the last snapshot arrived, ms since the epoch
};

class LiveHub : public QObject {
    Q_OBJECT
public:
    struct Limits {
        qint64 maxMessageBytes = 64 * 1024;
        int maxPublishers = 200;
        int maxWatchers = 1000;
        qint64 maxWatcherBacklog = 1024 * 1024;
        int helloMs = 10000;
    };

    explicit LiveHub(QObject *parent = nullptr);
    ~LiveHub() override;

    void setLimits(const Limits &l) { m_limits = l; }
    // Empty: any key is accepted. Otherwise the key compared in constant time.
    void setKey(const QByteArray &key);
    void setQuiet(bool q) { m_quiet = q; }
    // Shares snapshots with the other instances on the same PostgreSQL base.
    // Returns an error text, empty when listening.
    QString shareThrough(QSqlDriver *driver, const QString &connectionName);

    // Takes ownership of a WebSocket already upgraded; routes it by its path.
    void adopt(QWebSocket *socket);

    QList<LiveTable> tables() const;
    // The table that a scoreboard at this address publishes, if one does.
    QString tableOfPeer(const QString &address) const;
    int publisherCount() const { return int(m_publishers.size()); }
    int watcherCount() const { return int(m_watchers.size()); }
    QString instanceId() const { return m_instance; }

    static QJsonObject tableJson(const LiveTable &t);

signals:
    void tableChanged(const QString &name);

private:
    struct Publisher {
        QWebSocket *socket = nullptr;
        QString table;
        QString peer;
        bool accepted = false;
        QTimer *hello = nullptr;
    };

    void adoptPublisher(QWebSocket *socket);
    void adoptWatcher(QWebSocket *socket, const QString &onlyTable);
    void onPublisherText(Publisher *p, const QString &text);
    void refuse(Publisher *p, int code, const QString &reason);
    void publisherGone(Publisher *p);
    void update(const QString &name, const QJsonObject &snapshot, bool online,
                const QString &instance, const QString &peer, bool share);
    void broadcast(const LiveTable &t);
    void share(const QJsonObject &message);
    void onNotification(const QString &name, QSqlDriver::NotificationSource source,
                        const QVariant &payload);
    bool keyMatches(const QString &key) const;
    void report(const QString &line) const;

    Limits m_limits;
    QByteArray m_keyDigest;   // SHA-256 of the club's key; empty: no key asked
    bool m_quiet = false;
    QHash<QString, LiveTable> m_tables;
    QHash<QWebSocket *, Publisher *> m_publishers;
    QHash<QWebSocket *, QString> m_watchers;   // socket -> table it follows ("" = all)
    QPointer<QSqlDriver> m_driver;
    QString m_connectionName;
    QString m_instance;
};
