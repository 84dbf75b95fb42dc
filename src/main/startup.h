#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class CustomQtQuick2ApplicationViewer;
class MailtoHandler;
class QCoreApplication;
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

// The name of the desktop entry and the instance part of the window's class
// (StartupWMClass), so that a dock groups the window with its launcher.
inline const QString desktopEntry = QStringLiteral("org.drel.mail");
inline const QByteArray windowClass = QByteArrayLiteral("drel-mail");
// Names the windows' class; call before the application object exists.
void nameWindowClass();
// Call once the first window exists: programs started from here (links,
// attachments) must not take the variable over.
void releaseWindowClassName();

// The program's translation for the user's language from the resource tree,
// and Qt's own (standard dialogs) where the system has it.
void installTranslations(QCoreApplication *app);

// What a second start hands the running one: its mailto: link, or "raise".
QString instanceMessage(const QStringList &arguments);

// A message of a later start raises the window; a mailto: link also goes to
// the handler, which asks the QML for the compose form.
void connectInstanceMessages(SingleApplication *app, CustomQtQuick2ApplicationViewer *viewer,
                             MailtoHandler *mailto);

// Starts reading the folders of the account that the window will show, so
// that they are read while the window is made; call before making it.
void readAheadShownAccount();

// Everything between making the window and showing it: title, icon and
// window hints, the engine's network guard, the context properties, the two
// image providers and the main QML file from the resource tree. The program
// and the window tests start the scene through this one function. A mailto
// handler given becomes the context property "mailtoHandler".
void loadScene(CustomQtQuick2ApplicationViewer &viewer, Utils &utils, bool tabletMode,
               bool lowEffects, double dpiRatio, MailtoHandler *mailto = nullptr);

}
