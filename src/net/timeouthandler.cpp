#include "timeouthandler.h"

uint32_t timeoutHandler::now()
{
    return static_cast<uint32_t>(vmime::platform::getHandler()->getUnixTime());
}

bool timeoutHandler::isTimeOut()
{
    return now() >= m_start + limitSeconds;
}

void timeoutHandler::resetTimeOut()
{
    m_start = now();
}

bool timeoutHandler::handleTimeOut()
{
    return false;
}
