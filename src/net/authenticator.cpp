#include "net/authenticator.h"


Authenticator::Authenticator(const QString &username, const QString &password)
    : m_username(username)
    , m_password(password)
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

void Authenticator::askAndWait(void (Authenticator::*question)()) const
{
    auto *self = const_cast<Authenticator *>(this);
    emit(self->*question)();
    // An empty answer when the thread is told to stop first.
    m_wait.wait();
}

const vmime::string Authenticator::getUsername() const
{
    if (m_username.isEmpty())
        askAndWait(&Authenticator::queryUsername);
    return m_username.toUtf8().toStdString();
}

const vmime::string Authenticator::getPassword() const
{
    if (m_password.isEmpty())
        askAndWait(&Authenticator::queryPassword);
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
