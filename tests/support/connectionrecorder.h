#pragma once

#include "connection.h"
#include "servermanager.h"

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
    void getMail(int index);
    void fetch(const QList<int> &numbers, const QStringList &fileNames, const QString &directory);
    void deleteOnServer(int number);
    void send(Letter *letter);
    void answerUsername(const QString &login);
    void answerPassword(const QString &password);

    // A server record for 127.0.0.1:port.
    static Server *makeServer(ServerManager::Type type, ServerManager::Protocol protocol,
                              ServerManager::Ssl ssl, int port,
                              ServerManager::Auth auth = ServerManager::AUTO_AUTH);

    QStringList errors;
    QStringList authFailures;
    int closed = 0;
    int usernameQueries = 0;
    int passwordQueries = 0;
    QList<QPair<int, QString>> announced;
    StoredMessages stored;

    void clear();

private:
    Connection *m_connection;
};
