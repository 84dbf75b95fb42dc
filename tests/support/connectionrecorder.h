#pragma once

#include "net/connection.h"
#include "servers/server.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class Letter;
class Server;

// Main thread. Records, on the main thread, everything that a Connection on
// its worker thread says, and queues jobs to it the way an account does.
class ConnectionRecorder : public QObject
{
    Q_OBJECT

public:
    explicit ConnectionRecorder(Connection *connection, QObject *parent = nullptr);

    // Queued calls into the worker thread.
    void getMail(int index) { queue([=](Connection *c) { c->onQueryGetMail(index); }); }
    void fetch(const QList<int> &numbers, const QStringList &fileNames, const QString &directory)
    {
        queue([=](Connection *c) { c->onFetchMessages(numbers, fileNames, directory); });
    }
    void send(Letter *letter) { queue([=](Connection *c) { c->onSendLetter(letter); }); }
    void answerUsername(const QString &login) { queue([=](Connection *c) { c->setUsername(login); }); }
    void answerPassword(const QString &password) { queue([=](Connection *c) { c->setPassword(password); }); }

    // A server record for 127.0.0.1:port.
    static Server *makeServer(ServerKind::Type type, ServerKind::Protocol protocol,
                              ServerKind::Ssl ssl, int port,
                              ServerKind::Auth auth = ServerKind::AUTO_AUTH);
    static Server *incoming(int protocol, int port, ServerKind::Ssl ssl = ServerKind::NO_SSL)
    {
        return makeServer(ServerKind::INCOMING_TYPE, ServerKind::Protocol(protocol), ssl, port);
    }

    QStringList errors;
    QStringList authFailures;
    int closed = 0;
    int usernameQueries = 0;
    int passwordQueries = 0;
    QList<QPair<int, QString>> announced;
    StoredMessages stored;
    // What each send handed to the server (empty when nothing went).
    QList<QByteArray> sentContents;

private:
    template <class Job>
    void queue(Job job)
    {
        Connection *c = m_connection;
        QMetaObject::invokeMethod(c, [c, job] { job(c); }, Qt::QueuedConnection);
    }

    Connection *m_connection;
};
