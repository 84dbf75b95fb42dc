#include "accounts/utils.h"
#include "contacts/contactimageprovider.h"
#include "main/drel.h"
#include "main/imageprovider.h"
#include "main/mailtohandler.h"
#include "main/qtquick2applicationviewer.h"
#include "main/singleapplication.h"
#include "main/startup.h"
#include "net/rootcertificates.h"
#include "store/privatefiles.h"

#include <QGuiApplication>
#include <QIcon>
#include <QQmlEngine>
#include <QScreen>

#include <vmime/platforms/posix/posixHandler.hpp>

int main(int argc, char *argv[])
{
    // The mail library needs its platform handler before any of its objects.
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();

    Startup::nameWindowClass();
    SingleApplication app(argc, argv);
    drelInit("1.0.8-1", "Mail");

    if (app.isRunning()) {
        app.sendMessage(Startup::instanceMessage(app.arguments()), 5000);
        return -1;
    }
    QGuiApplication::setDesktopFileName(Startup::desktopEntry);
    Startup::installTranslations(&app);

    // Letters and sealed passwords are the user's alone.
    PrivateFiles::protect();
    // The first check of a server's certificate needs them; they are read
    // meanwhile on another thread.
    RootCertificates::readAhead();

    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("drel-mail")));
    // Closing the window leaves the program in the tray.
    app.setQuitOnLastWindowClosed(false);

    const bool lowEffects = Startup::lowEffectsFromEnvironment();
    const bool tabletMode = drelInTabletMode();

    Startup::registerTypes();

    Startup::readAheadShownAccount();
    CustomQtQuick2ApplicationViewer viewer;
    Utils utils;
    MailtoHandler mailtoHandler;
    mailtoHandler.openLink(MailtoHandler::linkFromArguments(app.arguments()));
    const double dpiRatio = Startup::dpiRatio(QGuiApplication::primaryScreen());
    Startup::loadScene(viewer, utils, tabletMode, lowEffects, dpiRatio, &mailtoHandler);

    Startup::connectInstanceMessages(&app, &viewer, &mailtoHandler);
    QObject::connect(viewer.engine(), &QQmlEngine::quit, &app, &QCoreApplication::quit);

    if (tabletMode)
        viewer.showMaximized();
    else
        viewer.show();
    // Every window the program makes now carries the class; the tray icon
    // may have made the first one while the QML loaded.
    Startup::releaseWindowClassName();

    return app.exec();
}
