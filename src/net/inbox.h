#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

#include <vmime/vmime.hpp>

class Endpoint;

// Worker thread of the Connection that holds it.
// The receiving side of an Endpoint, as a mail check walks it.
class Inbox
{
public:
    virtual ~Inbox() = default;

    // Starts a check: carries out the deletions of the last one, reconnects
    // and opens the inbox. The message count, or -1 when no connection
    // could be made.
    virtual int startCheck() = 0;
    // The Message-IDs of messages low..high, newest first.
    virtual QVector<QPair<int, QString>> messageIds(int low, int high) = 0;
    // Whole messages as the server holds them, every line ended by CR LF.
    virtual QMap<int, QByteArray> contents(const QList<int> &numbers) = 0;
    // Ends the check's session: deletions are carried out, and the server
    // is not held open until the next check.
    virtual void endCheck() = 0;

    // For a second connection to the same inbox, the IDLE watcher's: a copy
    // of the record, owned by the caller, whose certificate questions are
    // put as this record's. Null when the protocol cannot wait for mail.
    virtual Endpoint *watchCopy() = 0;
    // Connects as startCheck() does, leaving the session to the caller: the
    // library's store, or null when no connection could be made.
    virtual vmime::shared_ptr<vmime::net::store> connectStore() = 0;
    // What a connection is made from (protocol, security, server): records
    // with equal texts reach one mailbox the same way.
    virtual QString identity() const = 0;
};
