#pragma once

#include <vmime/vmime.hpp>

#include <cstdint>

// Worker thread (created by the mail library for each connection).
// Gives up on a server that has been silent for ten seconds.
class timeoutHandler : public vmime::net::timeoutHandler
{
public:
    static constexpr uint32_t limitSeconds = 10;

    bool isTimeOut() override;
    void resetTimeOut() override;
    bool handleTimeOut() override;

private:
    static uint32_t now();
    uint32_t m_start = 0;
};
