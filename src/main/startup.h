#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class CustomQtQuick2ApplicationViewer;
class MailtoHandler;
class QScreen;
class SingleApplication;
class Utils;

// Pieces of the start-up sequence that the tests check on their own.
namespace Startup {

// The meta-type registrations, then the QML type registrations, in the
// order the QML and the queued connections expect.
void registerTypes();

// DREL_PHONE_LOW_EFFECTS read as a variant boolean after trimming: false
// when unset, empty, "0" or "false" in any case, true otherwise.
bool lowEffects(const QByteArray &value);
bool lowEffectsFromEnvironment();

// Logical dots per inch of the screen divided by 100; 1.0 without a screen.
double dpiRatio(const QScreen *screen);

class MailtoHandler;
class QScreen;
class SingleApplication;
class Utils;

}
