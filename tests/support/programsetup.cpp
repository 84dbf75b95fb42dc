#include "testhome.h"

#include "main/drel.h"
#include "main/startup.h"

#include <vmime/platforms/posix/posixHandler.hpp>

// Apart from the rest of the home fixture: only the programs that ask for
// the whole program's set-up link the start-up layer.
void TestHome::prepareProgram()
{
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    drelInit("1.0.8-1", "Mail");
    Startup::registerTypes();
}
