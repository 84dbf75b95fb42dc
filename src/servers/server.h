#pragma once

#include "net/endpoint.h"
#include "servers/serverkind.h"

#include <QMutex>
#include <QString>

#include <vmime/vmime.hpp>

// Lives on the worker thread of the Connection (or connection test) that
// holds it; the main thread reads and writes its properties too, so each
// field has a lock of its own.
// One mail server: direction, protocol, security, authentication, address
// and login, plus the mail-library objects of its live connection.
class Server : public Endpoint
{
    Q_OBJECT
    Q_PROPERTY(QString text READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(ServerKind::Type type READ type WRITE setType NOTIFY typeChanged)
    Q_PROPERTY(ServerKind::Protocol protocol READ protocol WRITE setProtocol NOTIFY protocolChanged)
    Q_PROPERTY(ServerKind::Ssl ssl READ ssl WRITE setSsl NOTIFY sslChanged)
    Q_PROPERTY(ServerKind::Auth auth READ auth WRITE setAuth NOTIFY authChanged)
    Q_PROPERTY(QString address READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(QString login READ login WRITE setLogin NOTIFY loginChanged)

public:
    explicit Server(QObject *parent = nullptr);
    ~Server() override;

    ServerKind::Type type() const;
    void setType(ServerKind::Type type);
    ServerKind::Protocol protocol() const;
    void setProtocol(ServerKind::Protocol protocol);
    ServerKind::Ssl ssl() const;
    void setSsl(ServerKind::Ssl ssl);
    ServerKind::Auth auth() const;
    void setAuth(ServerKind::Auth auth);
    QString address() const;
    void setAddress(const QString &address);
    QString login() const;
    void setLogin(const QString &login);
    // What a connection is made from, set in one go (a stored record, a
    // candidate, an edit, a copy).
    void setConnectionFields(ServerKind::Protocol protocol, ServerKind::Ssl ssl,
                             ServerKind::Auth auth, const QString &address);

    // Worker-thread side: the session and authenticator come from the
    // Connection; the service is built here from the record.
    vmime::shared_ptr<vmime::net::service> service() const { return m_service; }
    // The port part of the address, as the last service build found it.
    QString portText() const { return m_portText; }
    bool secureScheme() const { return m_secureScheme; }
    // The service address for the current record, e.g. "imaps://host:993".
    QString serviceUrl();

    virtual bool connectService() = 0;

signals:
    void typeChanged();
    void protocolChanged();
    void sslChanged();
    void authChanged();
    void addressChanged();
    void addressChanged(QString address);
    void loginChanged();
    // question numbers the question; its answer carries the number back to
    // the verifier that asked, and no other.
    void queryCertificate(int question, QString text);
    void userAnswer(QString address, int question, bool answer);
    void testConnectionResult(bool connected);

public slots:
    void onCertificateAnswer(int question, bool answer);
    void testConnection();
    virtual Server *clone() = 0;

protected:
    // Builds the store or transport for the record (fresh certificate
    // verifier and time-out handler each time).
    vmime::shared_ptr<vmime::net::service> createService(bool store);
    // Connects the service, trying implicit TLS and then STARTTLS while ssl
    // is automatic; never clear text unless the user chose "None".
    bool connectWithProbe(bool store);
    // Lets the subclass set the properties that its protocol needs before
    // each connect (e.g. SMTP authentication).
    virtual void prepareConnect() {}
    void dropService() { m_service.reset(); }
    void copyTo(Server *other) const;

private:
    void applyAddressCredentials();

    ServerKind::Ssl m_nextAutoSsl = ServerKind::TLS_SSL;
    vmime::shared_ptr<vmime::net::service> m_service;
    ServerKind::Type m_type = ServerKind::INCOMING_TYPE;
    ServerKind::Protocol m_protocol = ServerKind::POP3;
    ServerKind::Ssl m_ssl = ServerKind::AUTO_SSL;
    ServerKind::Auth m_auth = ServerKind::AUTO_AUTH;
    QString m_address;
    QString m_login;
    QString m_portText;
    mutable QMutex m_typeLock;
    mutable QMutex m_protocolLock;
    mutable QMutex m_sslLock;
    mutable QMutex m_authLock;
    mutable QMutex m_addressLock;
    mutable QMutex m_loginLock;
    bool m_secureScheme = false;
    bool m_addressChanged = false;
};
