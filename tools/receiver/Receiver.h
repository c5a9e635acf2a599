#pragma once
// The club's receiving server: listens for the scoreboard's sendings, one frame per
// connection, and keeps each sheet as a text file. Event-driven: every connection has its
// own parser and idle timer, so a slow or silent client never holds up the others.
#include "FrameParser.h"

#include <QDir>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;
class QTimer;

class Receiver : public QObject {
    Q_OBJECT
public:
    struct Options {
        QHostAddress address = QHostAddress(QHostAddress::AnyIPv4);
        quint16 port = 50000;
        QString folder;
        int idleMs = 30000;
        bool quiet = false;
        FrameParser::Limits limits;
    };

    explicit Receiver(Options options, QObject *parent = nullptr);

    // Returns an empty string when listening, else the reason.
    QString start();
    quint16 port() const { return m_server.serverPort(); }

private:
    struct Connection;

    void accept();
    void readFrom(Connection *c);
    void finish(Connection *c, const QString &why);
    QString store(Connection *c, bool complete, QString *error);
    void report(const QString &line);

    Options m_options;
    QDir m_folder;
    QTcpServer m_server;
    quint64 m_sequence = 0;
};
