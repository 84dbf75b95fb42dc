#include "net/timeouthandlerfactory.h"

#include "net/timeouthandler.h"

vmime::shared_ptr<vmime::net::timeoutHandler> timeoutHandlerFactory::create()
{
    return vmime::make_shared<timeoutHandler>();
}
