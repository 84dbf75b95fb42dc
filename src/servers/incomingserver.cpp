#include "servers/incomingserver.h"

#include "base/settings.h"

#include <QCryptographicHash>
#include <QtDebug>

IncomingServer::IncomingServer(QObject *parent)
    : Server(parent)
{
    setType(ServerManager::INCOMING_TYPE);
}

IncomingServer::~IncomingServer()
{
    dropConnection();
}

void IncomingServer::dropConnection()
{
    // The library's store keeps plain pointers to its folders: disconnect
    // while the folder is alive, and let the store go before the folder, or
    // a later disconnect reaches a deleted folder.
    m_pending.reset();
    m_handedOver.reset();
    try {
        if (service() && service()->isConnected())
            service()->disconnect();
    } catch (const vmime::exception &e) {
        qCritical() << "IncomingServer::dropConnection(): vmime::exception:" << e.what();
    } catch (const std::exception &e) {
        qCritical() << "IncomingServer::dropConnection(): std::exception:" << e.what();
    }
    m_store.reset();
    dropService();
    m_folder.reset();
}

bool IncomingServer::sendMessage(vmime::shared_ptr<vmime::message>)
{
    return true;
}

Server *IncomingServer::clone()
{
    auto *copy = new IncomingServer; // the caller owns the clone
    copyTo(copy);
    return copy;
}

bool IncomingServer::connectService()
{
    const bool connected = connectWithProbe(true);
    m_store = vmime::dynamicCast<vmime::net::store>(service());
    return connected;
}

bool IncomingServer::getMail(int index)
{
    const Job job(this);
    if (m_pending && m_pending->getNumber() == static_cast<size_t>(qMax(index, 0))) {
        // The library unregisters a message from its folder when the last
        // handle goes, and the folder is this thread's. The store asks for
        // this message only after it has finished with the previous one, so
        // the previous handle is let go here, on this thread, and never by
        // the store while this thread works on the folder.
        m_handedOver = m_pending;
        emit newMessage(m_pending);
        m_pending.reset();
        return true;
    }

    if (index <= 0) {
        // Every check starts afresh; closing with expunge carries out the
        // deletions asked for during the previous one. A read-only folder
        // cannot expunge (the library refuses), and has nothing to expunge.
        m_pending.reset();
        m_handedOver.reset();
        try {
            if (m_folder && m_folder->isOpen())
                m_folder->close(m_folder->getMode() == vmime::net::folder::MODE_READ_WRITE);
            m_folder.reset();
            if (service() && service()->isConnected())
                service()->disconnect();
        } catch (const vmime::exception &e) {
            // The connection broke during the last check; start on a new one
            // rather than fail every check from now on.
            qCritical() << "IncomingServer::getMail(): vmime::exception:" << e.what();
            dropConnection();
        }
        if (!connectService())
            return false;
    } else if (!(service() && service()->isConnected())) {
        if (!connectService())
            return false;
    }
    if (!m_store)
        return false;

    if (!m_folder)
        m_folder = m_store->getDefaultFolder();
    // Read-only keeps the messages unread for other clients, but refuses
    // deletions: open for writing only when fetched mail is to be deleted.
    if (!m_folder->isOpen())
        m_folder->open(Settings::deleteFromServer() ? vmime::net::folder::MODE_READ_WRITE
                                                    : vmime::net::folder::MODE_READ_ONLY,
                       false);

    const vmime::size_t count = m_folder->getMessageCount();
    if (count < 1)
        return false;
    const vmime::size_t number = index <= 0 ? count : qMin<vmime::size_t>(count, index);

    m_pending = m_folder->getMessage(number);
    vmime::net::fetchAttributes attributes(vmime::net::fetchAttributes::ENVELOPE);
    // The IMAP envelope does not carry the Message-ID; ask for it by name.
    attributes.add("Message-ID");
    m_folder->fetchMessage(m_pending, attributes);

    emit newMessageId(static_cast<int>(number), messageIdOf(m_pending));
    return true;
}

QString IncomingServer::messageIdOf(const vmime::shared_ptr<vmime::net::message> &message)
{
    auto header = vmime::constCast<vmime::header>(message->getHeader());
    if (auto field = header->findField(vmime::fields::MESSAGE_ID)) {
        auto id = field->getValue<vmime::messageId>();
        if (id && !id->getId().empty())
            return QString::fromUtf8(id->getId().c_str());
    }
    // Without a Message-ID the message would be met unknown at every check
    // and stop it; give it a stable id and write it into the header that
    // the store reads, so the file and the letter carry the same id.
    std::string content;
    vmime::utility::outputStreamStringAdapter out(content);
    message->extract(out, nullptr, 0, -1, true);
    const QString id = derivedMessageId(QByteArray::fromStdString(content));
    const QStringList parts = id.split(QLatin1Char('@'));
    header->getField(vmime::fields::MESSAGE_ID)
        ->setValue(vmime::messageId(parts.at(0).toStdString(), parts.at(1).toStdString()));
    return id;
}

QString IncomingServer::derivedMessageId(const QByteArray &content)
{
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha1).toHex())
           + QStringLiteral("@derived.drel-mail");
}

void IncomingServer::deleteMessageByNumber(int number)
{
    const Job job(this);
    if (m_folder && m_folder->isOpen() && number >= 1)
        m_folder->deleteMessages(vmime::net::messageSet::byNumber(static_cast<vmime::size_t>(number)));
}
