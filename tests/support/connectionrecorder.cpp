#include "connectionrecorder.h"

#include "mailservers.h"
#include "model/letter.h"
#include "servers/incomingserver.h"
#include "servers/outgoingserver.h"

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
            [this](const QList<int> &numbers, const QStringList &ids) {
                for (int i = 0; i < numbers.size(); ++i)
                    announced.append({numbers.at(i), ids.value(i)});
            });
    connect(connection, &Connection::messagesStored_chain, this,
            [this](const StoredMessages &messages) { stored += messages; });
    connect(connection, &Connection::sendFinished, this,
            [this](Letter *, bool, const QString &, const QByteArray &content) {
                sentContents.append(content);
            });
}

Server *ConnectionRecorder::makeServer(ServerKind::Type type, ServerKind::Protocol protocol,
                                       ServerKind::Ssl ssl, int port, ServerKind::Auth auth)
{
    // Handed to a Connection or deleted by the caller.
    Server *server = type == ServerKind::INCOMING_TYPE ? static_cast<Server *>(new IncomingServer)
                                                          : new OutgoingServer;
    server->setProtocol(protocol);
    server->setSsl(ssl);
    server->setAuth(auth);
    server->setAddress(MailServers::address(port));
    return server;
}

RecordedConnection::RecordedConnection(Server *incoming, Server *outgoing, const QString &login,
                                       const QString &password)
    : connection(std::make_unique<Connection>())
    , log(std::make_unique<ConnectionRecorder>(connection.get()))
{
    connection->setAuthenticator(true, login, password);
    connection->setAuthenticator(false, login, password);
    connection->start();
    if (incoming)
        connection->setServer(true, incoming);
    if (outgoing)
        connection->setServer(false, outgoing);
}
