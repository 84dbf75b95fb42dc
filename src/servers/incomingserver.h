#pragma once

#include "servers/server.h"

// Worker thread of its Connection (see Server).
// An incoming (POP3 or IMAP) server: one step of the fetch protocol per
// getMail call, and deletion by message number.
class IncomingServer : public Server
{
    Q_OBJECT

public:
    explicit IncomingServer(QObject *parent = nullptr);
    ~IncomingServer() override;

    bool sendMessage(vmime::shared_ptr<vmime::message> message) override;
    bool getMail(int index) override;
    void deleteMessageByNumber(int number) override;
    bool connectService() override;

    // The id that a message without a Message-ID gets: derived from its
    // whole content, so the same message gets the same id at every check.
    static QString derivedMessageId(const QByteArray &content);

public slots:
    Server *clone() override;

private:
    void dropConnection();
    QString messageIdOf(const vmime::shared_ptr<vmime::net::message> &message);

    vmime::shared_ptr<vmime::net::store> m_store;
    vmime::shared_ptr<vmime::net::folder> m_folder;
    vmime::shared_ptr<vmime::net::message> m_pending;
    // Kept until the next hand-over, so that its last release is on this thread.
    vmime::shared_ptr<vmime::net::message> m_handedOver;
};
