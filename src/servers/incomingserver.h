#pragma once

#include "net/inbox.h"
#include "servers/server.h"

#include <QMap>
#include <QPair>
#include <QVector>

#include <memory>

class MailboxReader;

// Worker thread of its Connection (see Server).
// An incoming (POP3 or IMAP) server: opens the inbox afresh for each check,
// reads the Message-IDs and contents of ranges of messages, and deletes by
// message number.
class IncomingServer : public Server, public Inbox
{
    Q_OBJECT

public:
    explicit IncomingServer(QObject *parent = nullptr);
    ~IncomingServer() override;

    bool sendMessage(const QByteArray &content, const vmime::mailbox &expeditor,
                     const vmime::mailboxList &recipients) override;
    void deleteMessageByNumber(int number) override;
    bool connectService() override;

    // Starts a check: carries out the deletions of the last one, reconnects
    // and opens the inbox. The message count, or -1 when no connection
    // could be made.
    int startCheck() override;
    // Ends the check's session: deletions are carried out, and the server
    // is not held open until the next check.
    void endCheck() override;
    // The Message-IDs of messages low..high, newest first. A message without
    // one gets derivedMessageId() of its content.
    QVector<QPair<int, QString>> messageIds(int low, int high) override;
    // Whole messages as the server holds them, every line ended by CR LF.
    QMap<int, QByteArray> contents(const QList<int> &numbers) override;
    Endpoint *watchCopy() override;
    vmime::shared_ptr<vmime::net::store> connectStore() override;
    QString identity() const override;

    // The id that a message without a Message-ID gets: derived from its
    // whole content, so the same message gets the same id at every check.
    static QString derivedMessageId(const QByteArray &content);

public slots:
    Server *clone() override;

private:
    void dropConnection();

    vmime::shared_ptr<vmime::net::store> m_store;
    std::unique_ptr<MailboxReader> m_reader;
};
