#pragma once
// A real club-server stand-in for the live publishing tests: a QWebSocketServer on
// 127.0.0.1 (port chosen by the system) in the test's own thread, so a client that
// blocked waiting for it would never get its answer. It answers the hello as told and
// records everything it receives.
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QWebSocket>
#include <QWebSocketServer>

class LiveTestServer : public QObject {
    Q_OBJECT
public:
    enum class Answer { Accept, Refuse, RefuseByCloseOnly, Silent };

    Answer answer = Answer::Accept;
    QString refuseReason = QStringLiteral("Clé du club incorrecte");
    QList<QJsonObject> hellos;
    QList<QJsonObject> snapshots;
    QList<QString> paths;
    int connections = 0;

    explicit LiveTestServer(QObject *parent = nullptr)
        : QObject(parent), m_server(QStringLiteral("club"), QWebSocketServer::NonSecureMode)
    {
        connect(&m_server, &QWebSocketServer::newConnection, this, &LiveTestServer::onNew);
    }
    ~LiveTestServer() override { stop(); }

    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_server.serverPort(); }
    bool isListening() const { return m_server.isListening(); }
    // Stops listening and drops every client, as a killed server would.
    void stop()
    {
        m_server.close();
        for (QWebSocket *c : m_clients) {
            c->disconnect(this);
            c->abort();
            c->deleteLater();
        }
        m_clients.clear();
    }
    void sendToAll(const QString &text)
    {
        for (QWebSocket *c : m_clients)
            c->sendTextMessage(text);
    }
    QJsonObject lastSnapshot() const { return snapshots.isEmpty() ? QJsonObject() : snapshots.last(); }

private:
    QWebSocketServer m_server;
    QList<QWebSocket *> m_clients;

    void onNew()
    {
        while (QWebSocket *c = m_server.nextPendingConnection()) {
            ++connections;
            paths << c->requestUrl().path();
            m_clients << c;
            connect(c, &QWebSocket::textMessageReceived, this, [this, c](const QString &text) { onText(c, text); });
            connect(c, &QWebSocket::disconnected, this, [this, c] {
                m_clients.removeAll(c);
                c->deleteLater();
            });
        }
    }
    void onText(QWebSocket *c, const QString &text)
    {
        const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
        const QString type = o.value(QStringLiteral("type")).toString();
        if (type == QLatin1String("hello")) {
            hellos << o;
            switch (answer) {
            case Answer::Accept:
                c->sendTextMessage(QStringLiteral("{\"type\":\"accepted\"}"));
                break;
            case Answer::Refuse:
                c->sendTextMessage(QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("refused")},
                                                                               {QStringLiteral("reason"), refuseReason}})
                                                         .toJson(QJsonDocument::Compact)));
                c->close(QWebSocketProtocol::CloseCode(4001), refuseReason);
                break;
            case Answer::RefuseByCloseOnly:
                c->close(QWebSocketProtocol::CloseCode(4001), refuseReason);
                break;
            case Answer::Silent:
                break;
            }
        } else if (type == QLatin1String("snapshot")) {
            snapshots << o;
        }
    }
};
