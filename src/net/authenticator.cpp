#include "net/authenticator.h"

#include <vmime/security/sasl/builtinSASLMechanism.hpp>

#include <cstring>
#include <mutex>

namespace {

// A mechanism that only logs in and leaves the stream as it is: no
// integrity or privacy layer (RFC 4422, 3.7). The library still passes every
// byte received after the login through the mechanism, and its own pass
// copies byte by byte: a fifth of the processor time of a large check.
class LayerlessMechanism : public vmime::security::sasl::builtinSASLMechanism
{
public:
    using builtinSASLMechanism::builtinSASLMechanism;

    void encode(std::shared_ptr<vmime::security::sasl::SASLSession>, const vmime::byte_t *input,
                const size_t inputLen, vmime::byte_t **output, size_t *outputLen) override
    {
        pass(input, inputLen, output, outputLen);
    }
    void decode(std::shared_ptr<vmime::security::sasl::SASLSession>, const vmime::byte_t *input,
                const size_t inputLen, vmime::byte_t **output, size_t *outputLen) override
    {
        pass(input, inputLen, output, outputLen);
    }

private:
    // The caller frees the output with delete[], as it does the library's.
    static void pass(const vmime::byte_t *input, size_t length, vmime::byte_t **output, size_t *outputLen)
    {
        *output = new vmime::byte_t[length];
        std::memcpy(*output, input, length);
        *outputLen = length;
    }
};

// Mechanisms registered by name take the place of the library's own; the
// login itself stays the SASL library's. Only those it supports, so that a
// server's offer is judged as before.
void registerLayerlessMechanisms()
{
    static std::once_flag once;
    std::call_once(once, [] {
        auto *factory = vmime::security::sasl::SASLMechanismFactory::getInstance();
        for (const char *name : {"PLAIN", "LOGIN", "CRAM-MD5", "SCRAM-SHA-1", "SCRAM-SHA-256"}) {
            if (factory->isBuiltinMechanism(name))
                factory->registerMechanism<LayerlessMechanism>(name);
        }
    });
}

} // namespace


Authenticator::Authenticator(const QString &username, const QString &password, bool incoming)
    : m_username(username)
    , m_password(password)
    , m_incoming(incoming)
{
    // Before any login of this program, on whichever thread makes the first
    // authenticator: the library's registry is not guarded.
    registerLayerlessMechanisms();
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
