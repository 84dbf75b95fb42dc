#include "timeouthandlerfactory.h"

#include "timeouthandler.h"

vmime::shared_ptr<vmime::net::timeoutHandler> timeoutHandlerFactory::create()
{
    return vmime::make_shared<timeoutHandler>();
}
