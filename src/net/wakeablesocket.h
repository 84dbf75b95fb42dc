#pragma once

#include <vmime/vmime.hpp>

#include <atomic>
#include <memory>

// Any thread may wake; the sockets live on the thread that connects them.
// Ends the long waits of its sockets at once: the IDLE watcher's wait for
// news lasts until the server says something or the watcher is told to stop
// or to watch another inbox. Only waits inside a Listening scope end early;
// the mail library's own waits (connect, login, logout) go on as usual.
class SocketWaker
{
public:
    SocketWaker();
    ~SocketWaker();
    SocketWaker(const SocketWaker &) = delete;
    SocketWaker &operator=(const SocketWaker &) = delete;

    // Ends the present wait for news and every later one until rearm().
    void wake();
    void rearm();

    class Listening
    {
    public:
        explicit Listening(SocketWaker &waker) : m_waker(waker) { m_waker.m_listening = true; }
        ~Listening() { m_waker.m_listening = false; }
        Listening(const Listening &) = delete;
        Listening &operator=(const Listening &) = delete;

    private:
        SocketWaker &m_waker;
    };

    int descriptor() const { return m_event; }
    bool listening() const { return m_listening; }

private:
    int m_event = -1;
    std::atomic<bool> m_listening{false};
};

// Plain TCP for the mail library (which puts TLS on top), as its own POSIX
// socket does it, except for the waits: those block in the kernel until the
// line or the waker has something, where the library's own polls every ten
// milliseconds. A connection that waits for minutes in IDLE then costs no
// processor time at all.
class WakeableSocketFactory : public vmime::net::socketFactory
{
public:
    explicit WakeableSocketFactory(std::shared_ptr<SocketWaker> waker) : m_waker(std::move(waker)) {}

    vmime::shared_ptr<vmime::net::socket> create() override;
    vmime::shared_ptr<vmime::net::socket> create(vmime::shared_ptr<vmime::net::timeoutHandler> handler) override;

private:
    std::shared_ptr<SocketWaker> m_waker;
};
