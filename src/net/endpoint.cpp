#include "net/endpoint.h"

#include "net/authenticator.h"

Endpoint::Endpoint(QObject *parent)
    : QObject(parent)
{
}

void Endpoint::release()
{
    m_released = true;
    if (m_jobs == 0)
        deleteLater();
}

Endpoint::Job::~Job()
{
    if (--m_endpoint->m_jobs == 0 && m_endpoint->m_released)
        m_endpoint->deleteLater();
}
