#pragma once

#include "servers/server.h"

class ReplyTracerFactory;

// Worker thread of its Connection (see Server).
// An outgoing (SMTP) server: each send opens and closes its own connection.
class OutgoingServer : public Server
{
    Q_OBJECT

public:
    explicit OutgoingServer(QObject *parent = nullptr);

    bool sendMessage(const QByteArray &content, const vmime::mailbox &expeditor,
                     const vmime::mailboxList &recipients) override;
    void deleteMessageByNumber(int number) override;
    bool connectService() override;

public slots:
    Server *clone() override;

protected:
    void prepareConnect() override;

private:
    vmime::shared_ptr<vmime::net::transport> m_transport;
    vmime::shared_ptr<ReplyTracerFactory> m_replies;
};
