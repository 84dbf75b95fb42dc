#include "accounts/recordmirror.h"

#include "net/connection.h"
#include "servers/server.h"

RecordMirror::RecordMirror(Connection *connection, QObject *owner)
    : QObject(owner)
    , m_connection(connection)
    , m_owner(owner)
{
}

void RecordMirror::take(bool incoming, Server *front)
{
    QPointer<Server> &current = incoming ? m_incoming : m_outgoing;
    if (current && current != front) {
        current->disconnect(this);
        current->disconnect(m_owner);
        if (current->parent() == m_owner)
            current->deleteLater();
    }
    current = front;
    if (!front->parent() && front->thread() == thread())
        front->setParent(m_owner);

    Server *worker = front->clone();
    // Certificate questions of the worker copy are the record's questions;
    // the user's answer to the record goes back to the copy's verifier.
    connect(worker, &Server::queryCertificate, front, &Server::queryCertificate, Qt::QueuedConnection);
    connect(front, &Server::userAnswer, worker, &Server::userAnswer, Qt::QueuedConnection);
    // Edits of the record reach the copy on its own thread; the values travel
    // in the queued call, so neither side reads the other across threads.
    auto edited = [this, incoming, front] {
        emit recordEdited(incoming, int(front->protocol()), int(front->ssl()), int(front->auth()),
                          front->address());
    };
    connect(front, qOverload<>(&Server::addressChanged), this, edited);
    connect(front, &Server::protocolChanged, this, edited);
    connect(front, &Server::sslChanged, this, edited);
    connect(front, &Server::authChanged, this, edited);
    connect(this, &RecordMirror::recordEdited, worker,
            [worker, incoming](bool forIncoming, int protocol, int ssl, int auth, QString address) {
                if (forIncoming != incoming)
                    return;
                worker->setConnectionFields(ServerKind::Protocol(protocol), ServerKind::Ssl(ssl),
                                            ServerKind::Auth(auth), address);
            }, Qt::QueuedConnection);
    m_connection->setServer(incoming, worker);
}
