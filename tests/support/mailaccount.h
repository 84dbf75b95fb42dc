#pragma once

#include "connectionrecorder.h"
#include "model/model.h"
#include "net/connection.h"
#include "store/cache.h"

#include <QStringList>

#include <memory>

class MailServers;

// Main thread. One account's receiving side wired as the account wires it:
// the Connection on its thread, the store, a MailCheck per check and the
// Incoming folder model.
class MailAccount : public RecordedConnection
{
public:
    explicit MailAccount(Server *incoming, const QString &address = QStringLiteral("test@example.org"));
    ~MailAccount();

    // One mail check, as the account makes it; true when it ended by itself
    // (all held, empty mailbox or error) within the time.
    bool check(int timeoutMs = 60000);

    // Message file names in Incoming, sorted.
    QStringList incomingFiles() const;
    // Empty when Incoming holds every message of the server exactly as the
    // server holds it, one file each, the folder lists each file once and
    // each row listed shows its own letter's subject; else what is wrong.
    QString differenceFrom(const MailServers &servers) const;

    std::unique_ptr<Cache> cache;
    std::unique_ptr<Model> incoming;
    QStringList stored;   // ids of the letters the store announced, in order
    int finished = 0;     // lettersRecieved
};
