#pragma once

#include <QObject>
#include <QString>

#include <vmime/vmime.hpp>

#include <memory>

class Authenticator;

// Worker thread of the Connection that holds it.
// One server as the connection thread drives it: the connection hands it the
// session and the login, and asks it for deletions and for sending (and, of
// one that is also an Inbox, for the steps of a mail check). The server
// records implement it; the connection knows no more of them than this.
class Endpoint : public QObject
{
    Q_OBJECT

public:
    explicit Endpoint(QObject *parent = nullptr);

    void setSession(const vmime::shared_ptr<vmime::net::session> &session) { m_session = session; }
    vmime::shared_ptr<vmime::net::session> session() const { return m_session; }
    void setAuthenticator(const std::shared_ptr<Authenticator> &authenticator) { m_authenticator = authenticator; }
    std::shared_ptr<Authenticator> authenticator() const { return m_authenticator; }
    // How the service makes its connections; null for the library's own.
    void setSocketFactory(const vmime::shared_ptr<vmime::net::socketFactory> &factory) { m_socketFactory = factory; }
    vmime::shared_ptr<vmime::net::socketFactory> socketFactory() const { return m_socketFactory; }

    virtual void deleteMessageByNumber(int number) = 0;
    // Sends a generated message as it is to the recipients.
    virtual bool sendMessage(const QByteArray &content, const vmime::mailbox &expeditor,
                             const vmime::mailboxList &recipients) = 0;

    // Gives the endpoint up: it is deleted at once when none of its jobs
    // runs, else when the last one ends. One that waits inside a job (for
    // the user's answer, which keeps the thread's events running) must not
    // be deleted under that job.
    void release();

signals:
    void authFailed(QString response);

protected:
    // Marks a job of the endpoint as running for as long as it lives.
    class Job
    {
    public:
        explicit Job(Endpoint *endpoint) : m_endpoint(endpoint) { ++m_endpoint->m_jobs; }
        ~Job();
        Job(const Job &) = delete;
        Job &operator=(const Job &) = delete;

    private:
        Endpoint *m_endpoint;
    };

private:
    vmime::shared_ptr<vmime::net::session> m_session;
    std::shared_ptr<Authenticator> m_authenticator;
    vmime::shared_ptr<vmime::net::socketFactory> m_socketFactory;
    int m_jobs = 0;
    bool m_released = false;
};
