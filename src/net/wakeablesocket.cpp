#include "net/wakeablesocket.h"

#include <QtGlobal>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace {
// Outside a Listening scope the library's waits are cut into slices, so
// that its own time-out check (which also ends the wait of a thread being
// stopped) runs between them.
constexpr int librarySliceMs = 1000;

[[noreturn]] void fail(const char *what, int error)
{
    throw vmime::exceptions::socket_exception(std::string(what) + ": " + std::strerror(error));
}

class WakeableSocket : public vmime::net::socket
{
public:
    WakeableSocket(vmime::shared_ptr<vmime::net::timeoutHandler> handler, std::shared_ptr<SocketWaker> waker)
        : m_timeoutHandler(std::move(handler))
        , m_waker(std::move(waker))
    {
    }

    ~WakeableSocket() override { disconnect(); }

    void connect(const vmime::string &address, const vmime::port_t port) override
    {
        disconnect();
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *found = nullptr;
        const std::string service = std::to_string(port);
        if (const int error = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found))
            throw vmime::exceptions::connection_error("cannot resolve " + address + ": " + gai_strerror(error));
        int lastError = ECONNREFUSED;
        for (addrinfo *candidate = found; candidate && m_fd < 0; candidate = candidate->ai_next) {
            const int fd = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                    candidate->ai_protocol);
            if (fd < 0) {
                lastError = errno;
                continue;
            }
            if (::connect(fd, candidate->ai_addr, candidate->ai_addrlen) == 0 || finishConnect(fd, &lastError)) {
                m_fd = fd;
                char numeric[INET6_ADDRSTRLEN] = {};
                ::getnameinfo(candidate->ai_addr, candidate->ai_addrlen, numeric, sizeof numeric, nullptr, 0,
                              NI_NUMERICHOST);
                m_peerAddress = numeric;
            } else {
                ::close(fd);
            }
        }
        ::freeaddrinfo(found);
        if (m_fd < 0)
            throw vmime::exceptions::connection_error("cannot connect to " + address + ": " + std::strerror(lastError));
        m_peerName = address;
        // A connection that waits for news hears nothing from a server that
        // vanished without a word (or from a router that forgot it) until the
        // renewal, half an hour later: the kernel's probes find it dead
        // within two minutes, and keep routers from forgetting it.
        const int on = 1;
        const int idleSeconds = 60;
        const int probeSeconds = 15;
        const int probes = 4;
        ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &probeSeconds, sizeof probeSeconds);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    }

    bool isConnected() const override { return m_fd >= 0; }

    void disconnect() override
    {
        if (m_fd < 0)
            return;
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_fd = -1;
    }

    bool waitForRead(const int msecs = 30000) override { return waitFor(POLLIN, msecs); }
    bool waitForWrite(const int msecs = 30000) override { return waitFor(POLLOUT, msecs); }

    void receive(vmime::string &buffer) override
    {
        char bytes[16384];
        const size_t count = receiveRaw(reinterpret_cast<vmime::byte_t *>(bytes), sizeof bytes);
        buffer.assign(bytes, count);
    }

    size_t receiveRaw(vmime::byte_t *buffer, const size_t count) override
    {
        m_status = 0;
        if (m_fd < 0)
            throw vmime::exceptions::socket_not_connected_exception();
        const ssize_t got = ::recv(m_fd, buffer, count, 0);
        if (got > 0)
            return size_t(got);
        if (got == 0) {
            disconnect();
            throw vmime::exceptions::socket_exception("connection closed by the server");
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            m_status = STATUS_WANT_READ;
            return 0;
        }
        const int error = errno;
        disconnect();
        fail("receive", error);
    }

    void send(const vmime::string &buffer) override
    {
        sendRaw(reinterpret_cast<const vmime::byte_t *>(buffer.data()), buffer.size());
    }

    void send(const char *text) override
    {
        sendRaw(reinterpret_cast<const vmime::byte_t *>(text), std::strlen(text));
    }

    void sendRaw(const vmime::byte_t *buffer, const size_t count) override
    {
        size_t sent = 0;
        if (m_timeoutHandler)
            m_timeoutHandler->resetTimeOut();
        while (sent < count) {
            const size_t now = sendRawNonBlocking(buffer + sent, count - sent);
            if (now > 0) {
                sent += now;
                if (m_timeoutHandler)
                    m_timeoutHandler->resetTimeOut();
                continue;
            }
            if (m_timeoutHandler && m_timeoutHandler->isTimeOut() && !m_timeoutHandler->handleTimeOut())
                throw vmime::exceptions::operation_timed_out();
            waitForWrite(librarySliceMs);
        }
    }

    size_t sendRawNonBlocking(const vmime::byte_t *buffer, const size_t count) override
    {
        m_status = 0;
        if (m_fd < 0)
            throw vmime::exceptions::socket_not_connected_exception();
        const ssize_t sent = ::send(m_fd, buffer, count, MSG_NOSIGNAL);
        if (sent >= 0)
            return size_t(sent);
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            m_status = STATUS_WANT_WRITE;
            return 0;
        }
        const int error = errno;
        disconnect();
        fail("send", error);
    }

    size_t getBlockSize() const override { return 16384; }
    unsigned int getStatus() const override { return m_status; }
    const vmime::string getPeerName() const override { return m_peerName; }
    const vmime::string getPeerAddress() const override { return m_peerAddress; }
    vmime::shared_ptr<vmime::net::timeoutHandler> getTimeoutHandler() override { return m_timeoutHandler; }
    void setTracer(vmime::shared_ptr<vmime::net::tracer> tracer) override { m_tracer = std::move(tracer); }
    vmime::shared_ptr<vmime::net::tracer> getTracer() override { return m_tracer; }

private:
    // A connect that did not complete at once: waits for it as long as the
    // time-out handler lets it.
    bool finishConnect(int fd, int *error)
    {
        if (errno != EINPROGRESS) {
            *error = errno;
            return false;
        }
        if (m_timeoutHandler)
            m_timeoutHandler->resetTimeOut();
        for (;;) {
            pollfd watched{fd, POLLOUT, 0};
            const int ready = ::poll(&watched, 1, librarySliceMs);
            if (ready > 0) {
                int result = 0;
                socklen_t length = sizeof result;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length);
                *error = result;
                return result == 0;
            }
            if (ready < 0 && errno != EINTR) {
                *error = errno;
                return false;
            }
            if (m_timeoutHandler && m_timeoutHandler->isTimeOut() && !m_timeoutHandler->handleTimeOut()) {
                *error = ETIMEDOUT;
                return false;
            }
        }
    }

    bool waitFor(short events, int msecs)
    {
        if (m_fd < 0)
            return false;
        const bool listening = m_waker && m_waker->listening();
        pollfd watched[2] = {{m_fd, events, 0}, {listening ? m_waker->descriptor() : -1, POLLIN, 0}};
        const int ready = ::poll(watched, 2, listening ? msecs : qMin(msecs, librarySliceMs));
        if (ready < 0 && errno != EINTR)
            fail("poll", errno);
        return ready > 0 && watched[0].revents != 0;
    }

    vmime::shared_ptr<vmime::net::timeoutHandler> m_timeoutHandler;
    std::shared_ptr<SocketWaker> m_waker;
    vmime::shared_ptr<vmime::net::tracer> m_tracer;
    int m_fd = -1;
    unsigned int m_status = 0;
    vmime::string m_peerName;
    vmime::string m_peerAddress;
};
}

SocketWaker::SocketWaker()
    : m_event(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

SocketWaker::~SocketWaker()
{
    if (m_event >= 0)
        ::close(m_event);
}

void SocketWaker::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_event, &one, sizeof one);
}

void SocketWaker::rearm()
{
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_event, &count, sizeof count);
}

vmime::shared_ptr<vmime::net::socket> WakeableSocketFactory::create()
{
    return vmime::make_shared<WakeableSocket>(nullptr, m_waker);
}

vmime::shared_ptr<vmime::net::socket> WakeableSocketFactory::create(
        vmime::shared_ptr<vmime::net::timeoutHandler> handler)
{
    return vmime::make_shared<WakeableSocket>(std::move(handler), m_waker);
}
