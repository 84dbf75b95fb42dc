#include "servers/server.h"

#include "base/caughtlog.h"
#include "base/settings.h"
#include "net/authenticator.h"
#include "net/certificateverifier.h"
#include "net/timeouthandlerfactory.h"

#include <QMutexLocker>
#include <QtDebug>

namespace {
void rememberProbedSsl(const QString &address, ServerKind::Ssl ssl)
{
    Settings::setProbedSsl(address, int(ssl));
}
}

Server::Server(QObject *parent)
    : Endpoint(parent)
{
}

Server::~Server()
{
    try {
        if (m_service && m_service->isConnected())
            m_service->disconnect();
    } catch (const vmime::exception &e) {
        LOG_CAUGHT("vmime::exception", e);
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
}

// Each getter and setter takes only its own field's lock, and the change
// signal leaves after the lock is released, so a binding that reads the
// field while the signal is delivered never blocks.
#define SERVER_FIELD(Type, Param, getter, setter, member, lock, signal) \
    Type Server::getter() const \
    { \
        QMutexLocker locker(&lock); \
        return member; \
    } \
    void Server::setter(Param value) \
    { \
        { \
            QMutexLocker locker(&lock); \
            if (member == value) \
                return; \
            member = value; \
        } \
        emit signal(); \
    }

namespace SM = ServerKind;
SERVER_FIELD(SM::Type, SM::Type, type, setType, m_type, m_typeLock, typeChanged)
SERVER_FIELD(SM::Protocol, SM::Protocol, protocol, setProtocol, m_protocol, m_protocolLock, protocolChanged)
SERVER_FIELD(SM::Ssl, SM::Ssl, ssl, setSsl, m_ssl, m_sslLock, sslChanged)
SERVER_FIELD(SM::Auth, SM::Auth, auth, setAuth, m_auth, m_authLock, authChanged)
SERVER_FIELD(QString, const QString &, login, setLogin, m_login, m_loginLock, loginChanged)
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

void Server::setConnectionFields(ServerKind::Protocol protocol, ServerKind::Ssl ssl,
                                 ServerKind::Auth auth, const QString &address)
{
    setProtocol(protocol);
    setSsl(ssl);
    setAuth(auth);
    setAddress(address);
}

void Server::copyTo(Server *other) const
{
    other->setConnectionFields(protocol(), ssl(), auth(), address());
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
    case ServerKind::POP3: scheme = QStringLiteral("pop3"); break;
    case ServerKind::IMAP: scheme = QStringLiteral("imap"); break;
    case ServerKind::SMTP: scheme = QStringLiteral("smtp"); break;
    }
    if (scheme.isEmpty())
        return QString();
    if (ssl() == ServerKind::TLS_SSL) {
        scheme += QLatin1Char('s');
        m_secureScheme = true;
    }
    return scheme + QStringLiteral("://") + host;
}

void Server::applyAddressCredentials()
{
    const QString full = address();
    const std::shared_ptr<Authenticator> login = authenticator();
    if (!login || !full.contains(QLatin1Char('@')))
        return;
    const QStringList credentials = full.section(QLatin1Char('@'), 0, 0).split(QLatin1Char(':'));
    if (credentials.size() == 2 && !credentials.at(0).isEmpty() && !credentials.at(1).isEmpty()) {
        login->setUsername(credentials.at(0));
        login->setPassword(credentials.at(1));
    }
}

vmime::shared_ptr<vmime::net::service> Server::createService(bool store)
{
    m_addressChanged = false;
    if (!session())
        return nullptr;
    m_service.reset();
    applyAddressCredentials();
    const QString url = serviceUrl();
    if (url.isEmpty())
        return nullptr;
    const vmime::utility::url serviceAddress(url.toUtf8().toStdString());
    if (store)
        m_service = session()->getStore(serviceAddress, authenticator());
    else
        m_service = session()->getTransport(serviceAddress, authenticator());
    if (const std::shared_ptr<Authenticator> login = authenticator())
        login->setServer(address());

    const vmime::port_t port = serviceAddress.getPort() != vmime::utility::url::UNSPECIFIED_PORT
            ? serviceAddress.getPort()
            : m_service->getInfos().getPropertyValue<vmime::port_t>(
                      session(), vmime::net::serviceInfos::property::SERVER_PORT);
    const QString server = QString::fromStdString(serviceAddress.getHost()) + QLatin1Char(':')
            + QString::number(port);
    auto verifier = vmime::make_shared<CertificateVerifier>(address(), server);
    connect(verifier.get(), &CertificateVerifier::queryCertificate, this, &Server::queryCertificate);
    connect(this, &Server::userAnswer, verifier.get(), &CertificateVerifier::userAnswer);
    m_service->setCertificateVerifier(verifier);
    m_service->setTimeoutHandlerFactory(vmime::make_shared<timeoutHandlerFactory>());
    if (socketFactory())
        m_service->setSocketFactory(socketFactory());
    return m_service;
}

bool Server::connectWithProbe(bool store)
{
    const bool automatic = ssl() == ServerKind::AUTO_SSL;
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
    const bool startTls = ssl() == ServerKind::STARTTLS_SSL;
    const std::string prefix = m_service->getInfos().getPropertyPrefix();
    vmime::propertySet &properties = session()->getProperties();
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
        if (const std::shared_ptr<Authenticator> login = authenticator()) {
            login->setUsername(QString());
            login->setPassword(QString());
        }
        throw;
    } catch (const vmime::security::cert::certificateException &) {
        // The user refused the certificate: never fall back to a weaker
        // mode after that. The next connect probes again from the start.
        if (automatic)
            setSsl(ServerKind::AUTO_SSL);
        throw;
    } catch (const vmime::exception &) {
        if (!automatic)
            throw;
        if (ssl() != ServerKind::TLS_SSL) {
            // Neither way to a secure connection worked. Whoever blocks TLS
            // on the path must not get the password in clear text: only the
            // user can choose "None" for this server. The next check probes
            // afresh.
            m_nextAutoSsl = ServerKind::TLS_SSL;
            setSsl(ServerKind::AUTO_SSL);
            throw vmime::exceptions::connection_error(
                    tr("Neither SSL/TLS nor STARTTLS works with this server, and the password "
                       "is not sent without security. If you trust the network, choose the "
                       "security \"None\" for this server.").toStdString());
        }
        m_nextAutoSsl = ServerKind::STARTTLS_SSL;
        setSsl(ServerKind::AUTO_SSL);
        m_service.reset();
        return connectService();
    }
}

void Server::onCertificateAnswer(int question, bool answer)
{
    emit userAnswer(address(), question, answer);
}

void Server::testConnection()
{
    const Job job(this);
    bool connected = false;
    try {
        connectService();
        connected = m_service && m_service->isConnected();
    } catch (const vmime::exceptions::authentication_error &e) {
        LOG_CAUGHT("vmime::exception::authentication_error", e) << QString::fromLatin1(e.response().c_str());
        emit authFailed(QString::fromLatin1(e.response().c_str()));
        return;
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    emit testConnectionResult(connected);
    if (connected) {
        try {
            m_service->disconnect();
        } catch (const std::exception &e) {
            LOG_CAUGHT("std::exception", e);
        }
    }
}
