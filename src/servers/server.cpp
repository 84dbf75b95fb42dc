#include "server.h"

#include "authenticator.h"
#include "certificateverifier.h"
#include "settings.h"
#include "timeouthandlerfactory.h"

#include <QMutexLocker>
#include <QSettings>
#include <QtDebug>

namespace {
// The mode autodetection connected with last time for a saved record;
// AUTO_SSL when none is known.
ServerManager::Ssl probedSsl(const QString &address)
{
    QSettings settings;
    settings.beginGroup(Settings::serversGroup);
    settings.beginGroup(address);
    return ServerManager::Ssl(settings.value(Settings::probedSslKey, int(ServerManager::AUTO_SSL)).toInt());
}

void rememberProbedSsl(const QString &address, ServerManager::Ssl ssl)
{
    QSettings settings;
    settings.beginGroup(Settings::serversGroup);
    settings.beginGroup(address);
    // Only for a saved record: a group without a type would be read back as
    // a record of its own.
    if (settings.contains(Settings::typeKey)
        && settings.value(Settings::probedSslKey, int(ServerManager::AUTO_SSL)).toInt() != int(ssl))
        settings.setValue(Settings::probedSslKey, int(ssl));
}
}

Server::Server(QObject *parent)
    : QObject(parent)
{
}

Server::~Server()
{
    try {
        if (m_service && m_service->isConnected())
            m_service->disconnect();
    } catch (const vmime::exception &e) {
        qCritical() << "Server::~Server(): vmime::exception:" << e.what();
    } catch (const std::exception &e) {
        qCritical() << "Server::~Server(): std::exception:" << e.what();
    }
}

// Each getter and setter takes only its own field's lock, and the change
// signal leaves after the lock is released, so a binding that reads the
// field while the signal is delivered never blocks.
#define SERVER_FIELD(Type, getter, setter, member, lock, signal) \
    Type Server::getter() const \
    { \
        QMutexLocker locker(&lock); \
        return member; \
    } \
    void Server::setter(Type value) \
    { \
        { \
            QMutexLocker locker(&lock); \
            if (member == value) \
                return; \
            member = value; \
        } \
        emit signal(); \
    }

SERVER_FIELD(ServerManager::Type, type, setType, m_type, m_typeLock, typeChanged)
SERVER_FIELD(ServerManager::Protocol, protocol, setProtocol, m_protocol, m_protocolLock, protocolChanged)
SERVER_FIELD(ServerManager::Ssl, ssl, setSsl, m_ssl, m_sslLock, sslChanged)
SERVER_FIELD(ServerManager::Auth, auth, setAuth, m_auth, m_authLock, authChanged)
#undef SERVER_FIELD

QString Server::address() const
{
    QMutexLocker locker(&m_addressLock);
    return m_address;
}

void Server::setAddress(const QString &address)
{
    {
        QMutexLocker locker(&m_addressLock);
        if (m_address == address)
            return;
        m_address = address;
        m_addressChanged = true;
    }
    emit addressChanged();
    emit addressChanged(address);
}

QString Server::login() const
{
    QMutexLocker locker(&m_loginLock);
    return m_login;
}

void Server::setLogin(const QString &login)
{
    {
        QMutexLocker locker(&m_loginLock);
        if (m_login == login)
            return;
        m_login = login;
    }
    emit loginChanged();
}

void Server::copyTo(Server *other) const
{
    other->setProtocol(protocol());
    other->setSsl(ssl());
    other->setAuth(auth());
    other->setAddress(address());
}

QString Server::serviceUrl()
{
    m_secureScheme = false;
    const QString full = address();
    const QStringList atParts = full.split(QLatin1Char('@'));
    const QString host = atParts.size() > 1 ? atParts.at(1) : full;
    const QStringList hostParts = host.split(QLatin1Char(':'));
    m_portText = hostParts.size() > 1 ? hostParts.at(1) : QString();

    QString scheme;
    switch (protocol()) {
    case ServerManager::POP3: scheme = QStringLiteral("pop3"); break;
    case ServerManager::IMAP: scheme = QStringLiteral("imap"); break;
    case ServerManager::SMTP: scheme = QStringLiteral("smtp"); break;
    }
    if (scheme.isEmpty())
        return QString();
    if (ssl() == ServerManager::TLS_SSL) {
        scheme += QLatin1Char('s');
        m_secureScheme = true;
    }
    return scheme + QStringLiteral("://") + host;
}

void Server::applyAddressCredentials()
{
    const QString full = address();
    if (!m_authenticator || !full.contains(QLatin1Char('@')))
        return;
    const QStringList credentials = full.section(QLatin1Char('@'), 0, 0).split(QLatin1Char(':'));
    if (credentials.size() == 2 && !credentials.at(0).isEmpty() && !credentials.at(1).isEmpty()) {
        m_authenticator->setUsername(credentials.at(0));
        m_authenticator->setPassword(credentials.at(1));
    }
}

vmime::shared_ptr<vmime::net::service> Server::createService(bool store)
{
    m_addressChanged = false;
    if (!m_session)
        return nullptr;
    m_service.reset();
    applyAddressCredentials();
    const QString url = serviceUrl();
    if (url.isEmpty())
        return nullptr;
    const vmime::utility::url serviceAddress(url.toUtf8().toStdString());
    if (store)
        m_service = m_session->getStore(serviceAddress, m_authenticator);
    else
        m_service = m_session->getTransport(serviceAddress, m_authenticator);

    auto verifier = vmime::make_shared<CertificateVerifier>(address());
    connect(verifier.get(), &CertificateVerifier::queryCertificate, this, &Server::queryCertificate);
    connect(this, &Server::userAnswer, verifier.get(), &CertificateVerifier::userAnswer);
    m_service->setCertificateVerifier(verifier);
    m_service->setTimeoutHandlerFactory(vmime::make_shared<timeoutHandlerFactory>());
    return m_service;
}

bool Server::connectWithProbe(bool store)
{
    const bool automatic = ssl() == ServerManager::AUTO_SSL;
    if (automatic)
        setSsl(m_nextAutoSsl);
    if (!m_service || m_addressChanged)
        createService(store);
    if (!m_service)
        return false;

    // The session is shared by both directions and outlives this service:
    // set the STARTTLS switch both ways, so that a later "none" really means
    // no TLS. A chosen STARTTLS must not quietly go on in clear text when the
    // server does not offer it.
    const bool startTls = ssl() == ServerManager::STARTTLS_SSL;
    const std::string prefix = m_service->getInfos().getPropertyPrefix();
    vmime::propertySet &properties = m_session->getProperties();
    properties[prefix + "connection.tls"].setValue<bool>(startTls);
    properties[prefix + "connection.tls.required"].setValue<bool>(startTls);
    prepareConnect();

    try {
        m_service->connect();
        const bool connected = m_service->isConnected();
        if (connected && automatic)
            rememberProbedSsl(address(), ssl());
        return connected;
    } catch (const vmime::exceptions::authentication_error &) {
        if (m_authenticator) {
            m_authenticator->setUsername(QString());
            m_authenticator->setPassword(QString());
        }
        throw;
    } catch (const vmime::security::cert::certificateException &) {
        // The user refused the certificate: never fall back to a weaker
        // mode after that. The next connect probes again from the start.
        if (automatic)
            setSsl(ServerManager::AUTO_SSL);
        throw;
    } catch (const vmime::exception &) {
        if (!automatic)
            throw;
        const ServerManager::Ssl tried = ssl();
        if (tried == ServerManager::TLS_SSL) {
            m_nextAutoSsl = ServerManager::STARTTLS_SSL;
        } else if (tried == ServerManager::STARTTLS_SSL) {
            const ServerManager::Ssl before = probedSsl(address());
            if (before == ServerManager::TLS_SSL || before == ServerManager::STARTTLS_SSL) {
                // Whoever blocks TLS to a server that had it must not get the
                // password in clear text. The next check probes afresh; only
                // the user can choose "None" for this server.
                m_nextAutoSsl = ServerManager::TLS_SSL;
                setSsl(ServerManager::AUTO_SSL);
                throw vmime::exceptions::connection_error(
                        tr("This server offered a secure connection before and does not now; "
                           "the connection is not made without security.").toStdString());
            }
            m_nextAutoSsl = ServerManager::NO_SSL;
        } else {
            throw;
        }
        setSsl(ServerManager::AUTO_SSL);
        m_service.reset();
        return connectService();
    }
}

void Server::onCertificateAnswer(bool answer)
{
    emit userAnswer(address(), answer);
}

void Server::release()
{
    m_released = true;
    if (m_jobs == 0)
        deleteLater();
}

Server::Job::~Job()
{
    if (--m_server->m_jobs == 0 && m_server->m_released)
        m_server->deleteLater();
}

void Server::testConnection()
{
    const Job job(this);
    bool connected = false;
    try {
        connectService();
        connected = m_service && m_service->isConnected();
    } catch (const vmime::exceptions::authentication_error &e) {
        qCritical() << "Server::testConnection(): vmime::exception::authentication_error:"
                    << e.what() << QString::fromLatin1(e.response().c_str());
        emit authFailed(QString::fromLatin1(e.response().c_str()));
        return;
    } catch (const std::exception &e) {
        qCritical() << "Server::testConnection(): std::exception:" << e.what();
    }
    emit testConnectionResult(connected);
    if (connected) {
        try {
            m_service->disconnect();
        } catch (const std::exception &e) {
            qCritical() << "Server::testConnection(): std::exception:" << e.what();
        }
    }
}
