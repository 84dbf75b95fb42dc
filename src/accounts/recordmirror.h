#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class Connection;
class Server;

// Thread: main; the copies it makes live on the connection's thread.
// Keeps the worker thread's copies of an account's two server records in
// step with the records the user edits: each record handed in stays on this
// thread with its owner (the server manager, or the account when it had
// none); the connection gets a copy that only the connection owns and
// deletes. Queued relays join the two, and Qt drops them when either side
// goes, so no holder is ever left with a deleted record.
class RecordMirror : public QObject
{
    Q_OBJECT

public:
    // owner adopts a record that comes without a parent.
    RecordMirror(Connection *connection, QObject *owner);

    // Hands the connection a copy of the record for one direction, in place
    // of the one before.
    void take(bool incoming, Server *record);
    Server *record(bool incoming) const { return incoming ? m_incoming : m_outgoing; }

signals:
    // A record of one direction was edited; carries its new values to the
    // connection's copy.
    void recordEdited(bool incoming, int protocol, int ssl, int auth, QString address);

private:
    Connection *m_connection;
    QObject *m_owner;
    QPointer<Server> m_incoming;
    QPointer<Server> m_outgoing;
};
