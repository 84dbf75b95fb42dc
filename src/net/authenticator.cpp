#include "net/authenticator.h"


Authenticator::Authenticator(const QString &username, const QString &password, bool incoming)
    : m_username(username)
    , m_password(password)
    , m_incoming(incoming)
{
}

const std::vector<vmime::shared_ptr<vmime::security::sasl::SASLMechanism>> Authenticator::getAcceptableMechanisms(
    const std::vector<vmime::shared_ptr<vmime::security::sasl::SASLMechanism>> &available,
    vmime::shared_ptr<vmime::security::sasl::SASLMechanism> suggested) const
{
    return defaultSASLAuthenticator::getAcceptableMechanisms(available, suggested);
}

void Authenticator::setSASLMechanism(vmime::shared_ptr<vmime::security::sasl::SASLMechanism> mechanism)
{
    defaultSASLAuthenticator::setSASLMechanism(mechanism);
}

void Authenticator::askAndWait(ServerQuestion::Kind kind) const
{
    auto *self = const_cast<Authenticator *>(this);
    ServerQuestion question;
    question.kind = kind;
    question.incoming = m_incoming;
    question.server = m_server;
    // An empty answer when the thread is told to stop first.
    m_wait.ask(question, [self](const ServerQuestion &asked) {
        if (asked.kind == ServerQuestion::Username)
            emit self->queryUsername(asked);
        else
            emit self->queryPassword(asked);
    });
}

const vmime::string Authenticator::getUsername() const
{
    if (m_username.isEmpty())
        askAndWait(ServerQuestion::Username);
    return m_username.toUtf8().toStdString();
}

const vmime::string Authenticator::getPassword() const
{
    if (m_password.isEmpty())
        askAndWait(ServerQuestion::Password);
    return m_password.toUtf8().toStdString();
}

void Authenticator::setUsername(QString login)
{
    m_username = login;
    m_wait.answered();
}

void Authenticator::setPassword(QString password)
{
    m_password = password;
    m_wait.answered();
}
