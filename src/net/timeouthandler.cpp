#include "net/timeouthandler.h"

#include <QThread>

uint32_t timeoutHandler::now()
{
    return static_cast<uint32_t>(vmime::platform::getHandler()->getUnixTime());
}

bool timeoutHandler::isTimeOut()
{
    // A thread that is being stopped (account removed, program quitting)
    // gives up at once instead of waiting out the silence.
    if (QThread::currentThread()->isInterruptionRequested())
        return true;
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
