#pragma once

#include "net/answerwait.h"

#include <QObject>
#include <QString>

#include <vmime/vmime.hpp>

// Worker thread of its Connection.
// Hands the login and password of one direction to the mail library; when
// one is missing it asks (queryUsername / queryPassword, naming the server)
// and waits until the answer arrives through setUsername / setPassword.
class Authenticator : public QObject, public vmime::security::sasl::defaultSASLAuthenticator
{
    Q_OBJECT

public:
    Authenticator(const QString &username, const QString &password, bool incoming);

    const std::vector<vmime::shared_ptr<vmime::security::sasl::SASLMechanism>> getAcceptableMechanisms(
        const std::vector<vmime::shared_ptr<vmime::security::sasl::SASLMechanism>> &available,
        vmime::shared_ptr<vmime::security::sasl::SASLMechanism> suggested) const override;
    void setSASLMechanism(vmime::shared_ptr<vmime::security::sasl::SASLMechanism> mechanism) override;
    const vmime::string getUsername() const override;
    const vmime::string getPassword() const override;

    QString username() const { return m_username; }
    QString password() const { return m_password; }
    // The record that logs in with it now, named in its questions.
    void setServer(const QString &address) { m_server = address; }

signals:
    void queryUsername(ServerQuestion question);
    void queryPassword(ServerQuestion question);

public slots:
    void setUsername(QString login);
    void setPassword(QString password);

private:
    void askAndWait(ServerQuestion::Kind kind) const;

    // The library calls the const getters; the answers arrive through the
    // slots while the getter waits.
    mutable AnswerWait m_wait;
    QString m_username;
    QString m_password;
    QString m_server;
    bool m_incoming;
};
