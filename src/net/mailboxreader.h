#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

#include <vmime/vmime.hpp>

#include <memory>

// Worker thread (the account's Connection).
// Reads one server mailbox over the store's own connection, several messages
// per command: the library logs in and secures the line, this reads the
// mailbox. One login per check, and no round trip per message.
class MailboxReader
{
public:
    virtual ~MailboxReader() = default;

    // For a connected POP3 or IMAP store; null for anything else.
    static std::unique_ptr<MailboxReader> create(const vmime::shared_ptr<vmime::net::store> &store);

    // Opens the inbox (for deleting when writable) and returns its message count.
    virtual int open(bool writable) = 0;
    // The header fields that name messages low..high, by message number.
    virtual QMap<int, QByteArray> idHeaders(int low, int high) = 0;
    // Whole messages exactly as the server holds them (transport framing
    // undone), by message number.
    virtual QMap<int, QByteArray> contents(const QList<int> &numbers) = 0;
    // Marks a message for deletion; close() carries it out.
    virtual void markDeleted(int number) = 0;
    // Ends the session cleanly, carrying out the deletions.
    virtual void close() = 0;
};
