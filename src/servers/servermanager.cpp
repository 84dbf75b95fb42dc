#include "servers/servermanager.h"

#include "base/keyring.h"
#include "base/settings.h"
#include "servers/incomingserver.h"
#include "servers/outgoingserver.h"

#include <QThread>

ServerManager::ServerManager(QObject *parent)
    : QObject(parent)
    , m_keyring(new Keyring(this))
    , m_typeNames({tr("Incoming"), tr("Outgoing")})
    , m_protocolNames({tr("POP3"), tr("IMAP"), tr("SMTP")})
    , m_sslNames({tr("Autodetection"), tr("None"), tr("SSL/TLS"), tr("STARTTLS")})
    , m_authNames({tr("Autodetection"), tr("None"), tr("Simple password"), tr("SASL")})
{
    load();
}

ServerManager::~ServerManager()
{
    // The records stay on this thread (accounts hand copies to their worker
    // threads); one that was moved away anyway belongs to that thread now.
    for (const QVariant &item : qAsConst(m_servers)) {
        Server *server = item.value<Server *>();
        if (server && server->thread() == thread())
            delete server;
    }
}

void ServerManager::load()
{
    for (const QString &address : Settings::servers()) {
        const Settings::ServerRecord stored = Settings::server(address);
        // Owned here; accounts work on copies.
        if (Server *server = createRecord(static_cast<ServerKind::Type>(stored.type))) {
            server->setLogin(stored.login);
            server->setConnectionFields(static_cast<ServerKind::Protocol>(stored.protocol),
                                        static_cast<ServerKind::Ssl>(stored.ssl),
                                        static_cast<ServerKind::Auth>(stored.auth), address);
            append(server);
        }
    }
    emit serversChanged();
}

Server *ServerManager::createRecord(ServerKind::Type type)
{
    if (type == ServerKind::INCOMING_TYPE)
        return new IncomingServer(this);
    if (type == ServerKind::OUTGOING_TYPE)
        return new OutgoingServer(this);
    return nullptr;
}

void ServerManager::append(Server *server)
{
    m_servers.append(QVariant::fromValue(server));
    connect(server, &Server::queryCertificate, this, &ServerManager::onQueryCertificate,
            Qt::QueuedConnection);
}

void ServerManager::save(Server *server)
{
    Settings::ServerRecord stored;
    stored.type = static_cast<int>(server->type());
    stored.protocol = static_cast<int>(server->protocol());
    stored.ssl = static_cast<int>(server->ssl());
    stored.auth = static_cast<int>(server->auth());
    stored.login = server->login();
    Settings::saveServer(server->address(), stored);
}

void ServerManager::removeGroup(const QString &address)
{
    Settings::removeServer(address);
}

void ServerManager::forgetPasswords(const QString &address)
{
    const QStringList emails = Settings::accounts();
    for (const QString &email : emails) {
        const Settings::AccountRecord account = Settings::account(email);
        if (account.inServer == address)
            m_keyring->remove({email, address, true});
        if (account.outServer == address)
            m_keyring->remove({email, address, false});
    }
}

void ServerManager::addServer(int type, int protocol, int ssl, int auth, QString address)
{
    Server *server = createRecord(ServerKind::Type(type)); // owned here; accounts work on copies
    if (!server)
        return;
    server->setConnectionFields(ServerKind::Protocol(protocol), ServerKind::Ssl(ssl),
                                ServerKind::Auth(auth), address);
    save(server);
    append(server);
    emit serversChanged();
}

void ServerManager::changeServer(int index, int, int protocol, int ssl, int auth, QString address)
{
    if (index < 0 || index >= m_servers.size())
        return;
    Server *server = m_servers.at(index).value<Server *>();
    if (!server)
        return;
    if (server->address() != address)
        removeGroup(server->address());
    server->setConnectionFields(ServerKind::Protocol(protocol), ServerKind::Ssl(ssl),
                                ServerKind::Auth(auth), address);
    save(server);
}

void ServerManager::removeServer(int index)
{
    if (index >= 0 && index < m_servers.size()) {
        Server *server = m_servers.takeAt(index).value<Server *>();
        if (server) {
            // A question of the record goes unanswered otherwise, and its
            // worker waits until the account ends.
            for (auto it = m_askers.begin(); it != m_askers.end();) {
                if (it.value() == server) {
                    server->onCertificateAnswer(it.key(), false);
                    it = m_askers.erase(it);
                } else {
                    ++it;
                }
            }
            removeGroup(server->address());
            forgetPasswords(server->address());
            server->deleteLater();
        }
    }
    emit serversChanged();
}

void ServerManager::onQueryCertificate(int question, QString text)
{
    auto *server = qobject_cast<Server *>(sender());
    if (!server)
        return;
    m_askers.insert(question, server);
    emit queryCertificateQml(question, text);
}

void ServerManager::certificateAnswerQml(int question, bool answer)
{
    const QPointer<Server> server = m_askers.take(question);
    if (server)
        QMetaObject::invokeMethod(server, [server, question, answer] {
            if (server)
                server->onCertificateAnswer(question, answer);
        }, Qt::QueuedConnection);
}

#define MANAGER_LIST(Type, setter, member, signal) \
    void ServerManager::setter(const Type &value) \
    { \
        if (member == value) \
            return; \
        member = value; \
        emit signal(); \
    }
MANAGER_LIST(QVariantList, setServers, m_servers, serversChanged)
MANAGER_LIST(QStringList, setTypeNames, m_typeNames, typeNamesChanged)
MANAGER_LIST(QStringList, setProtocolNames, m_protocolNames, protocolNamesChanged)
MANAGER_LIST(QStringList, setSslNames, m_sslNames, sslNamesChanged)
MANAGER_LIST(QStringList, setAuthNames, m_authNames, authNamesChanged)
#undef MANAGER_LIST
