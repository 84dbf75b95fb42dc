#pragma once

#include "servermanager.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <vmime/vmime.hpp>

#include <memory>

class Authenticator;

// Lives on the worker thread of the Connection (or connection test) that
// holds it; the main thread reads and writes its properties too, so each
// field has a lock of its own.
// One mail server: direction, protocol, security, authentication, address
// and login, plus the mail-library objects of its live connection.
class Server : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(ServerManager::Type type READ type WRITE setType NOTIFY typeChanged)
    Q_PROPERTY(ServerManager::Protocol protocol READ protocol WRITE setProtocol NOTIFY protocolChanged)
    Q_PROPERTY(ServerManager::Ssl ssl READ ssl WRITE setSsl NOTIFY sslChanged)
    Q_PROPERTY(ServerManager::Auth auth READ auth WRITE setAuth NOTIFY authChanged)
    Q_PROPERTY(QString address READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(QString login READ login WRITE setLogin NOTIFY loginChanged)

public:
    explicit Server(QObject *parent = nullptr);
    ~Server() override;

    ServerManager::Type type() const;
    void setType(ServerManager::Type type);
    ServerManager::Protocol protocol() const;
    void setProtocol(ServerManager::Protocol protocol);
    ServerManager::Ssl ssl() const;
    void setSsl(ServerManager::Ssl ssl);
    ServerManager::Auth auth() const;
    void setAuth(ServerManager::Auth auth);
    QString address() const;
    void setAddress(const QString &address);
    QString login() const;
    void setLogin(const QString &login);

    // Worker-thread side: the session and authenticator come from the
    // Connection; the service is built here from the record.
    void setSession(const vmime::shared_ptr<vmime::net::session> &session) { m_session = session; }
    vmime::shared_ptr<vmime::net::session> session() const { return m_session; }
    void setAuthenticator(const std::shared_ptr<Authenticator> &authenticator) { m_authenticator = authenticator; }
    std::shared_ptr<Authenticator> authenticator() const { return m_authenticator; }
    vmime::shared_ptr<vmime::net::service> service() const { return m_service; }
    // The port part of the address, as the last service build found it.
    QString portText() const { return m_portText; }
    bool secureScheme() const { return m_secureScheme; }
    // The service address for the current record, e.g. "imaps://host:993".
    QString serviceUrl();

    // Worker thread. Gives the record up: it is deleted at once when none of
    // its jobs runs, else when the last one ends. A record that waits inside
    // a job (for the user's answer, which keeps the thread's events running)
    // must not be deleted under that job.
    void release();

    virtual bool sendMessage(vmime::shared_ptr<vmime::message> message) = 0;
    virtual void deleteMessageByNumber(int number) = 0;
    virtual bool connectService() = 0;

signals:
    void typeChanged();
    void protocolChanged();
    void sslChanged();
    void authChanged();
    void addressChanged();
    void addressChanged(QString address);
    void loginChanged();
    void queryCertificate(QString text);
    void userAnswer(QString address, bool answer);
    void testConnectionResult(bool connected);
    void authFailed(QString response);

public slots:
    void onCertificateAnswer(bool answer);
    void testConnection();
    virtual Server *clone() = 0;

protected:
    // Marks a job of the record as running for as long as it lives.
    class Job
    {
    public:
        explicit Job(Server *server) : m_server(server) { ++m_server->m_jobs; }
        ~Job();
        Job(const Job &) = delete;
        Job &operator=(const Job &) = delete;

    private:
        Server *m_server;
    };
    // Builds the store or transport for the record (fresh certificate
    // verifier and time-out handler each time).
    vmime::shared_ptr<vmime::net::service> createService(bool store);
    // Connects the service, trying implicit TLS, STARTTLS and no security in
    // turn while ssl is automatic.
    bool connectWithProbe(bool store);
    // Lets the subclass set the properties that its protocol needs before
    // each connect (e.g. SMTP authentication).
    virtual void prepareConnect() {}
    void dropService() { m_service.reset(); }
    void copyTo(Server *other) const;

private:
    void applyAddressCredentials();

    ServerManager::Ssl m_nextAutoSsl = ServerManager::TLS_SSL;
    vmime::shared_ptr<vmime::net::session> m_session;
    vmime::shared_ptr<vmime::net::service> m_service;
    std::shared_ptr<Authenticator> m_authenticator;
    ServerManager::Type m_type = ServerManager::INCOMING_TYPE;
    ServerManager::Protocol m_protocol = ServerManager::POP3;
    ServerManager::Ssl m_ssl = ServerManager::AUTO_SSL;
    ServerManager::Auth m_auth = ServerManager::AUTO_AUTH;
    QString m_address;
    QString m_login;
    QString m_portText;
    mutable QMutex m_typeLock;
    mutable QMutex m_protocolLock;
    mutable QMutex m_sslLock;
    mutable QMutex m_authLock;
    mutable QMutex m_addressLock;
    mutable QMutex m_loginLock;
    int m_jobs = 0;
    bool m_released = false;
    bool m_secureScheme = false;
    bool m_addressChanged = false;
};
