#pragma once

#include <vmime/vmime.hpp>

#include <string>

// Worker thread of the service it traces.
// Keeps the server's last reply line of a service's dialogue: the library's
// SASL failure carries only its own fixed text, and the user needs the
// server's words (e.g. "535 5.7.8 Authentication credentials invalid").
class ReplyTracerFactory : public vmime::net::tracerFactory
{
public:
    vmime::shared_ptr<vmime::net::tracer> create(vmime::shared_ptr<vmime::net::service>, const int) override
    {
        return vmime::make_shared<Tracer>(this);
    }

    const std::string &lastReply() const { return m_lastReply; }
    void clear() { m_lastReply.clear(); }

private:
    class Tracer : public vmime::net::tracer
    {
    public:
        explicit Tracer(ReplyTracerFactory *factory) : m_factory(factory) {}
        void traceSend(const std::string &) override {}
        void traceReceive(const std::string &line) override { m_factory->m_lastReply = line; }

    private:
        // The factory is held by the service that holds this tracer's
        // connection, so it outlives the tracer.
        ReplyTracerFactory *m_factory;
    };

    std::string m_lastReply;
};
