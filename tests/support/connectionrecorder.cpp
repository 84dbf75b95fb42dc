#include "connectionrecorder.h"

#include "incomingserver.h"
#include "mailservers.h"
#include "outgoingserver.h"

ConnectionRecorder::ConnectionRecorder(Connection *connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{
    // The receiver lives on the main thread, so each of these is queued.
    connect(connection, &Connection::error, this, [this](const QString &e) { errors.append(e); });
    connect(connection, &Connection::authFailed, this,
            [this](const QString &r) { authFailures.append(r); });
    connect(connection, &Connection::connectionClosed, this, [this] { ++closed; });
    connect(connection, &Connection::queryUsername, this, [this] { ++usernameQueries; });
    connect(connection, &Connection::queryPassword, this, [this] { ++passwordQueries; });
    connect(connection, &Connection::newMessageIds_chain, this,
            [this](const QList<int> &numbers, const QStringList &ids, bool) {
                for (int i = 0; i < numbers.size(); ++i)
                    announced.append({numbers.at(i), ids.value(i)});
            });
    connect(connection, &Connection::messagesStored_chain, this,
            [this](const StoredMessages &messages) { stored += messages; });
}

void ConnectionRecorder::fetch(const QList<int> &numbers, const QStringList &fileNames,
                               const QString &directory)
{
    Connection *c = m_connection;
    QMetaObject::invokeMethod(c, [=] { c->onFetchMessages(numbers, fileNames, directory); },
                              Qt::QueuedConnection);
}

void ConnectionRecorder::getMail(int index)
{
    Connection *c = m_connection;
    QMetaObject::invokeMethod(c, [c, index] { c->onQueryGetMail(index); }, Qt::QueuedConnection);
}

void ConnectionRecorder::deleteOnServer(int number)
{
    Connection *c = m_connection;
    QMetaObject::invokeMethod(c, [c, number] { c->onDeleteMessageFromServer(number); },
                              Qt::QueuedConnection);
}

void ConnectionRecorder::send(Letter *letter)
{
    Connection *c = m_connection;
    QMetaObject::invokeMethod(c, [c, letter] { c->onSendLetter(letter); }, Qt::QueuedConnection);
}

void ConnectionRecorder::answerUsername(const QString &login)
{
    Connection *c = m_connection;
    QMetaObject::invokeMethod(c, [c, login] { c->setUsername(login); }, Qt::QueuedConnection);
}

void ConnectionRecorder::answerPassword(const QString &password)
{
    Connection *c = m_connection;
    QMetaObject::invokeMethod(c, [c, password] { c->setPassword(password); }, Qt::QueuedConnection);
}

Server *ConnectionRecorder::makeServer(ServerManager::Type type, ServerManager::Protocol protocol,
                                       ServerManager::Ssl ssl, int port, ServerManager::Auth auth)
{
    Server *server = nullptr;
    if (type == ServerManager::INCOMING_TYPE)
        server = new IncomingServer; // handed to a Connection or deleted by the caller
    else
        server = new OutgoingServer; // handed to a Connection or deleted by the caller
    server->setProtocol(protocol);
    server->setSsl(ssl);
    server->setAuth(auth);
    server->setAddress(MailServers::address(port));
    return server;
}

void ConnectionRecorder::clear()
{
    errors.clear();
    authFailures.clear();
    closed = 0;
    usernameQueries = 0;
    passwordQueries = 0;
    announced.clear();
    stored.clear();
}
