#include "main/startup.h"

#include "main/sessionguard.h"

#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "accounts/utils.h"
#include "base/inlineimages.h"
#include "contacts/contactimageprovider.h"
#include "contacts/contactsmodel.h"
#include "contacts/contactsproxymodel.h"
#include "editing/documenthandler.h"
#include "main/effectimageprovider.h"
#include "main/imageprovider.h"
#include "main/inlineimageprovider.h"
#include "main/localnetworkaccess.h"
#include "main/mailtohandler.h"
#include "main/qtquick2applicationviewer.h"
#include "main/sessionguard.h"
#include "main/singleapplication.h"
#include "main/trayicon.h"
#include "model/attachment.h"
#include "model/backgroundwork.h"
#include "model/letter.h"
#include "model/model.h"
#include "model/proxymodel.h"
#include "model/storelayout.h"
#include "net/connection.h"
#include "servers/server.h"
#include "servers/servermanager.h"
#include "servers/wizard.h"
#include "store/cache.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QIcon>
#include <QQmlContext>
#include <QQmlEngine>
#include <QScreen>
#include <QVariant>

#include <vmime/vmime.hpp>

#include <memory>

namespace {
// The X11 platform plugin takes the instance part of WM_CLASS from here.
const char resourceNameVariable[] = "RESOURCE_NAME";
bool setResourceName = false;

// A pointer to a QObject subclass, known under "Name*" and, so that queued
// signals declared with the bare class name resolve, under "Name" as well.
template <typename T>
void registerPointer(const char *name)
{
    qRegisterMetaType<T *>((QByteArray(name) + '*').constData());
    qRegisterMetaType<T *>(name);
}
}

void Startup::registerTypes()
{
    qRegisterMetaType<vmime::shared_ptr<vmime::net::message>>("vmime::shared_ptr<vmime::net::message>");
    registerPointer<Letter>("Letter");
    registerPointer<Profile>("Profile");
    registerPointer<Server>("Server");
    registerPointer<ProxyModel>("ProxyModel");
    registerPointer<Cache>("Cache");
    registerPointer<Attachment>("Attachment");
    qRegisterMetaType<ContactImageProvider *>("ContactImageProvider *");

    qmlRegisterUncreatableType<Letter>("LetterBackend", 1, 0, "Letter",
                                       QStringLiteral("Use only for enums!"));
    qmlRegisterType<Profile>("ProfileBackend", 1, 0, "Profile");
    qmlRegisterType<ProfileManager>("MailProfileManagerBackend", 1, 0, "MailProfileManager");
    qmlRegisterType<ServerManager>("MailServerManagerBackend", 1, 0, "MailServerManager");
    qmlRegisterType<Wizard>("WizardBackend", 1, 0, "Wizard");
    qmlRegisterType<ContactsModel>("ContactsModelBackend", 1, 0, "ContactsModel");
    qmlRegisterType<ContactsProxyModel>("ContactsProxyModelBackend", 1, 0, "ContactsProxyModel");
    qmlRegisterType<TrayIcon>("TrayIconBackend", 1, 0, "TrayIcon");
    qmlRegisterType<DocumentHandler>("DocumentHandlerBackend", 1, 0, "DocumentHandler");
}

bool Startup::lowEffects(const QByteArray &value)
{
    return QVariant(QString::fromLocal8Bit(value).trimmed()).toBool();
}

bool Startup::lowEffectsFromEnvironment()
{
    return lowEffects(qgetenv("DREL_PHONE_LOW_EFFECTS"));
}

double Startup::dpiRatio(const QScreen *screen)
{
    const double dpi = screen ? screen->logicalDotsPerInch() : 100.0;
    return dpi / 100.0;
}

void Startup::nameWindowClass()
{
    // A name the user chose for the program's windows stays.
    if (qEnvironmentVariableIsSet(resourceNameVariable))
        return;
    qputenv(resourceNameVariable, windowClass);
    setResourceName = true;
}

void Startup::releaseWindowClassName()
{
    if (setResourceName)
        qunsetenv(resourceNameVariable);
    setResourceName = false;
}

void Startup::installTranslations(QCoreApplication *app)
{
    const QLocale locale;
    auto *own = new QTranslator(app);
    if (own->load(locale, QStringLiteral("drel-mail"), QStringLiteral("_"), QStringLiteral(":/translations")))
        app->installTranslator(own);
    auto *qt = new QTranslator(app);
    if (qt->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                 QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app->installTranslator(qt);
}

QString Startup::instanceMessage(const QStringList &arguments)
{
    const QString link = MailtoHandler::linkFromArguments(arguments);
    return link.isEmpty() ? QStringLiteral("raise") : link;
}

void Startup::connectInstanceMessages(SingleApplication *app, CustomQtQuick2ApplicationViewer *viewer,
                                      MailtoHandler *mailto)
{
    QObject::connect(app, &SingleApplication::messageReceived,
                     viewer, &CustomQtQuick2ApplicationViewer::processAppMessage);
    QObject::connect(app, &SingleApplication::messageReceived, mailto, [viewer, mailto](const QString &message) {
        if (mailto->openLink(message))
            viewer->processAppMessage(QStringLiteral("raise"));
    });
}

void Startup::readAheadShownAccount()
{
    const QString account = ProfileManager::accountShownAtStart();
    if (account.isEmpty())
        return;
    for (int folder = 0; folder < Letter::FolderCount; ++folder)
        Model::readAhead(StoreLayout::indexPath(account, folder));
}

void Startup::loadScene(CustomQtQuick2ApplicationViewer &viewer, Utils &utils, bool tabletMode,
                        bool lowEffects, double dpiRatio, MailtoHandler *mailto)
{
    auto *imageProvider = new ImageProvider;               // the engine owns it once added
    auto *contactImageProvider = new ContactImageProvider; // likewise

    viewer.setTitle(QObject::tr("Mail"));
    viewer.setIcon(QIcon::fromTheme(QStringLiteral("drel-mail")));
    viewer.setFlags(viewer.flags() | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                    | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    // The scene graph packs small pictures into one texture sized by the
    // window, 1024 x 1024 (4 MB) for the usual one; the window's icons fill
    // a fraction of a quarter of that.
    for (const char *side : {"QSG_ATLAS_WIDTH", "QSG_ATLAS_HEIGHT"}) {
        if (!qEnvironmentVariableIsSet(side))
            qputenv(side, "512");
    }

    QQmlEngine *engine = viewer.engine();
    // Set before anything loads: the engine makes its managers on first use.
    static LocalNetworkAccessManagerFactory networkGuard;
    engine->setNetworkAccessManagerFactory(&networkGuard);

    QQmlContext *context = viewer.rootContext();
    context->setContextProperty(QStringLiteral("tabletMode"), tabletMode);
    context->setContextProperty(QStringLiteral("dpiRatio"), dpiRatio);
    // The height of a list row or a field, the unit the screens are laid out in.
    context->setContextProperty(QStringLiteral("itemHeight"), 50 * dpiRatio);
    context->setContextProperty(QStringLiteral("debug"), false);
    context->setContextProperty(QStringLiteral("viewer"), &viewer);
    context->setContextProperty(QStringLiteral("contactsImageProvider"),
                                QVariant::fromValue(contactImageProvider));
    context->setContextProperty(QStringLiteral("utils"), &utils);
    context->setContextProperty(QStringLiteral("lowEffects"), lowEffects);
    context->setContextProperty(QStringLiteral("sessionGuard"), new SessionGuard(&viewer));
    if (mailto)
        context->setContextProperty(QStringLiteral("mailtoHandler"), mailto);

    engine->addImageProvider(QStringLiteral("ImageProvider"), imageProvider);
    engine->addImageProvider(QStringLiteral("ContactImageProvider"), contactImageProvider);
    engine->addImageProvider(QStringLiteral("effects"), new EffectImageProvider);
    engine->addImageProvider(InlineImages::providerName(), new InlineImageProvider);

    // Listing folders and indexing wait until the window has its first
    // frame, which they would otherwise slow down on a machine of few cores.
    BackgroundWork::holdForWindow();
    auto shown = std::make_shared<QMetaObject::Connection>();
    *shown = QObject::connect(&viewer, &QQuickWindow::frameSwapped, &viewer, [shown] {
        BackgroundWork::releaseForWindow();
        QObject::disconnect(*shown);
    }, Qt::DirectConnection);
    viewer.setSource(QUrl(QStringLiteral("qrc:///qml/main.qml")));
    // The shown account's folders are made by now, if it has any.
    Model::forgetReadsAhead();
}
