#pragma once

#include <QByteArray>

class CustomQtQuick2ApplicationViewer;
class QScreen;
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

// Everything between making the window and showing it: title, icon and
// window hints, the engine's network guard, the context properties, the two
// image providers and the main QML file from the resource tree. The program
// and the window tests start the scene through this one function.
void loadScene(CustomQtQuick2ApplicationViewer &viewer, Utils &utils, bool tabletMode,
               bool lowEffects, double dpiRatio);

}
