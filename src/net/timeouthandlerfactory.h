#pragma once

#include <vmime/vmime.hpp>

// Worker thread. Makes the time-out handler for each connection the mail
// library opens.
class timeoutHandlerFactory : public vmime::net::timeoutHandlerFactory
{
public:
    vmime::shared_ptr<vmime::net::timeoutHandler> create() override;
};
