#include "servers/outgoingserver.h"

#include "base/caughtlog.h"
#include "net/replytracer.h"

#include <QtDebug>

OutgoingServer::OutgoingServer(QObject *parent)
    : Server(parent)
{
    setType(ServerKind::OUTGOING_TYPE);
}

Server *OutgoingServer::clone()
{
    auto *copy = new OutgoingServer; // the caller owns the clone
    copyTo(copy);
    return copy;
}

void OutgoingServer::deleteMessageByNumber(int)
{
}

bool OutgoingServer::connectService()
{
    bool connected = false;
    try {
        connected = connectWithProbe(false);
    } catch (const vmime::exceptions::authentication_error &e) {
        if (!m_replies || m_replies->lastReply().empty())
            throw;
        throw vmime::exceptions::authentication_error(m_replies->lastReply());
    }
    m_transport = vmime::dynamicCast<vmime::net::transport>(service());
    return connected;
}

void OutgoingServer::prepareConnect()
{
    // The mail library logs in to an SMTP server only when told to; without
    // this no password would ever reach a server that wants one. Only an
    // explicit "None" sends without logging in.
    const bool login = auth() != ServerKind::NO_AUTH;
    const std::string prefix = service()->getInfos().getPropertyPrefix();
    session()->getProperties()[prefix + "options.need-authentication"].setValue<bool>(login);
    if (!m_replies)
        m_replies = vmime::make_shared<ReplyTracerFactory>();
    m_replies->clear();
    service()->setTracerFactory(m_replies);
}

bool OutgoingServer::sendMessage(const QByteArray &content, const vmime::mailbox &expeditor,
                                 const vmime::mailboxList &recipients)
{
    const Job job(this);
    if (!connectService())
        return false;
    try {
        // The transport ends the data with CRLF "." CRLF, so the message's
        // own last line break is that first CRLF: sent with it, the server
        // would store one line more than was generated.
        const std::string bytes = (content.endsWith("\r\n") ? content.chopped(2) : content).toStdString();
        vmime::utility::inputStreamStringAdapter stream(bytes);
        m_transport->send(expeditor, recipients, stream, bytes.size());
    } catch (...) {
        // Left connected, the transport would refuse every later connect
        // ("already connected") and no letter could be sent again.
        try {
            if (m_transport->isConnected())
                m_transport->disconnect();
        } catch (const std::exception &e) {
            LOG_CAUGHT("std::exception", e);
        }
        throw;
    }
    m_transport->disconnect();
    return true;
}
