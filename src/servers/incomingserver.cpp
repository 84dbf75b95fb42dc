#include "servers/incomingserver.h"

#include "base/caughtlog.h"
#include "base/settings.h"
#include "model/messagefiles.h"
#include "net/mailboxreader.h"

#include <QCryptographicHash>
#include <QtDebug>

IncomingServer::IncomingServer(QObject *parent)
    : Server(parent)
{
    setType(ServerKind::INCOMING_TYPE);
}

IncomingServer::~IncomingServer()
{
    dropConnection();
}

void IncomingServer::dropConnection()
{
    m_reader.reset();
    try {
        if (service() && service()->isConnected())
            service()->disconnect();
    } catch (const vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    m_store.reset();
    dropService();
}

bool IncomingServer::sendMessage(const QByteArray &, const vmime::mailbox &,
                                 const vmime::mailboxList &)
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

void IncomingServer::endCheck()
{
    const Job job(this);
    try {
        if (m_reader)
            m_reader->close();
        m_reader.reset();
        if (service() && service()->isConnected())
            service()->disconnect();
    } catch (const vmime::exception &e) {
        // The connection broke; the next check starts on a new one.
        LOG_CAUGHT("vmime::exception", e);
        dropConnection();
    }
}

int IncomingServer::startCheck()
{
    const Job job(this);
    // Left open by a check that failed part way.
    endCheck();
    if (!connectService() || !m_store)
        return -1;
    m_reader = MailboxReader::create(m_store);
    if (!m_reader)
        return -1;
    // Read-only keeps the messages unread for other clients; writing only
    // when fetched mail is to be deleted.
    return m_reader->open(Settings::deleteFromServer());
}

QVector<QPair<int, QString>> IncomingServer::messageIds(int low, int high)
{
    const Job job(this);
    QVector<QPair<int, QString>> ids;
    if (!m_reader || low > high)
        return ids;
    const QMap<int, QByteArray> headers = m_reader->idHeaders(low, high);
    QList<int> withoutId;
    QMap<int, QString> found;
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        const QString id = ListFields::fromMessage(it.value() + "\r\n").id;
        if (id.isEmpty())
            withoutId.append(it.key());
        else
            found.insert(it.key(), id);
    }
    // Without a Message-ID the message would be met unknown at every check
    // and never stop it; its content names it instead.
    if (!withoutId.isEmpty()) {
        const QMap<int, QByteArray> whole = contents(withoutId);
        for (auto it = whole.cbegin(); it != whole.cend(); ++it)
            found.insert(it.key(), derivedMessageId(it.value()));
    }
    for (int n = high; n >= low; --n) {
        if (found.contains(n))
            ids.append({n, found.value(n)});
    }
    return ids;
}

QMap<int, QByteArray> IncomingServer::contents(const QList<int> &numbers)
{
    const Job job(this);
    QMap<int, QByteArray> result;
    if (!m_reader)
        return result;
    result = m_reader->contents(numbers);
    for (auto it = result.begin(); it != result.end(); ++it)
        it.value() = MessageFiles::withCrlf(it.value());
    return result;
}

Endpoint *IncomingServer::watchCopy()
{
    if (protocol() != ServerKind::IMAP)
        return nullptr;
    Server *copy = clone(); // the caller owns the copy
    connect(copy, &Server::queryCertificate, this, &Server::queryCertificate, Qt::QueuedConnection);
    connect(this, &Server::userAnswer, copy, &Server::userAnswer, Qt::QueuedConnection);
    return copy;
}

vmime::shared_ptr<vmime::net::store> IncomingServer::connectStore()
{
    const Job job(this);
    endCheck();
    return connectService() ? m_store : nullptr;
}

QString IncomingServer::identity() const
{
    return QStringLiteral("%1 %2 %3").arg(int(protocol())).arg(int(ssl())).arg(address());
}

QString IncomingServer::derivedMessageId(const QByteArray &content)
{
    return QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha1).toHex())
           + QStringLiteral("@derived.drel-mail");
}

void IncomingServer::deleteMessageByNumber(int number)
{
    const Job job(this);
    if (m_reader && number >= 1)
        m_reader->markDeleted(number);
}
