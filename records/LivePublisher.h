#pragma once
// Live publishing of the scoreboard to the club server: one persistent WebSocket to
// ws://<server>:<port>/live, a hello with the table's name and the club's key, then a
// snapshot of the scoreboard after every change.
//
// Everything runs on the event loop of the thread that owns the publisher (the GUI
// thread): no call here waits for the network. A server that is down, slow or never
// answers costs a reconnect timer and nothing else. Only the latest snapshot is kept: while
// offline nothing queues up, and while a send is still in the socket's buffer a newer
// snapshot replaces the one waiting behind it.
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QtGlobal>
#include <optional>

class QTimer;
class QWebSocket;

// What the scoreboard shows, as plain values. The averages are derived from the totals
// and the innings each player has played, with the scoreboard's own rounding.
struct LiveShotClock {
    qint32 left = 0;                 // whole seconds
    bool warning = false;
    qint32 extensions[2] = {0, 0};   // extensions left per player
    bool operator==(const LiveShotClock &o) const;
};

struct LiveResult {
    int winner = 0;                  // 1 or 2; 0 for a draw
    qint32 points[2] = {0, 0};       // match points
    QString text;                    // "Victoire de Jean"
    bool operator==(const LiveResult &o) const;
};

struct LiveMatch {
    bool active = false;             // false: no match rules set
    QString discipline;
    qint32 distances[2] = {0, 0};    // 0: no distance for that player (sent as null)
    qint32 limit = 0;                // innings limit, 0: none (sent as null)
    std::optional<qint64> remaining[2];
    QString state;                   // "inplay", "equalizing" or "finished"
    std::optional<LiveResult> result;
    bool operator==(const LiveMatch &o) const;
};

struct LiveSnapshot {
    QString table;
    QDateTime time;                  // local time of the change; not part of the comparison
    QString names[2];
    qint64 totals[2] = {0, 0};
    qint32 played[2] = {0, 0};       // innings in which the player has a recorded run
    qint32 innings = 0;              // the count the centre shows (0 while it shows "--")
    std::optional<qint32> best[2];
    std::optional<qint32> last[2];
    std::optional<qint32> run;       // the run being typed; none while it shows "--"
    int turn = 1;                    // 1 or 2
    std::optional<qint64> lapMs;     // none while run timing is off
    std::optional<qint64> chronoMs[2]; // none while the cumulative times are not shown
    std::optional<LiveShotClock> shotClock;
    LiveMatch match;

    // Same content, whatever the time of the change.
    bool sameContent(const LiveSnapshot &o) const;
};

namespace LiveJson {
// "0.000" rounding of t / r (exact halves away from zero) as a number; 0 when r < 1.
double average(qint64 total, qint64 innings);
QJsonObject snapshot(const LiveSnapshot &s, qint64 seq);
QJsonObject hello(const QString &table, const QString &key);
QByteArray compact(const QJsonObject &o);
}

enum class LiveState {
    Off,         // not asked to publish, or nothing to publish to (see stateText)
    Connecting,  // first attempt under way
    Live,        // accepted: every change goes out
    Refused,     // the server said no, with its reason
    Unreachable, // no connection, no answer, or the connection was lost; retrying
};

struct LiveTimings {
    int firstRetryMs = 500;      // after the first failure; doubled at each further one
    int maxRetryMs = 4000;       // so a restarted server is live again within about 4 s
    int refusedRetryMs = 60000;  // a refusal is not retried more often than this
    int answerTimeoutMs = 5000;  // connection, handshake and answer to the hello
};

class LivePublisher : public QObject {
    Q_OBJECT
public:
    explicit LivePublisher(LiveTimings timings = {}, QObject *parent = nullptr);
    ~LivePublisher() override;

    // Where and whether to publish. An empty host or table leaves the publisher off (with
    // the reason in stateText). A change of target drops the connection and starts again;
    // the same target again changes nothing.
    void configure(const QString &host, quint16 port, const QString &table, const QString &key,
                   bool enabled);
    bool enabled() const { return m_enabled; }

    // The scoreboard changed. Returns at once: the snapshot goes out now when the table is
    // live and the socket idle, after the send in progress otherwise, or first thing after
    // the next "accepted".
    void publish(const LiveSnapshot &snapshot);

    LiveState state() const { return m_state; }
    QString reason() const { return m_reason; }   // French: a refusal's or a failure's reason
    QString stateText() const;                    // French, for the indicator
    QUrl url() const { return m_url; }
    qint64 snapshotsSent() const { return m_seq; }
    int attempts() const { return m_attempts; }   // connection attempts so far

signals:
    void stateChanged(LiveState state);

private:
    LiveTimings m_timings;
    QWebSocket *m_socket = nullptr;
    QTimer *m_retry;
    QTimer *m_answer;
    QUrl m_url;
    QString m_host, m_table, m_key;
    quint16 m_port = 0;
    bool m_enabled = false;
    LiveState m_state = LiveState::Off;
    QString m_reason;
    int m_nextDelay;
    int m_attempts = 0;
    qint64 m_seq = 0;
    std::optional<LiveSnapshot> m_current;
    bool m_unsent = false;       // m_current has not gone out on this connection yet
    bool m_refusedNow = false;   // this connection ended in a refusal

    void setState(LiveState s, const QString &reason = {});
    void dropSocket();
    void connectNow();
    void onConnected();
    void onMessage(const QString &text);
    void onDisconnected();
    void onAnswerTimeout();
    void failed(const QString &reason);
    void scheduleRetry(int delayMs);
    void sendCurrent();
};
