#include "main/trayicon.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QIcon>
#include <QMenu>

namespace {
// The icon theme's icon, or the picture from the resource tree when the
// theme has none.
QIcon themeIcon(const char *name, const char *fallback)
{
    return QIcon::fromTheme(QLatin1String(name), QIcon(QLatin1String(fallback)));
}

// Qt hands notices to the desktop's notification service while a status
// notifier host runs, and that service reads a subset of HTML in the text,
// pictures included; otherwise Qt's own balloon shows the text as written.
bool noticesReadMarkup()
{
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"), QDBusConnection::sessionBus());
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}
}

void TrayIcon::showNotice(const QString &title, const QString &text)
{
    showMessage(title, noticesReadMarkup() ? text.toHtmlEscaped() : text);
}

TrayIcon::TrayIcon(QObject *parent)
    : QSystemTrayIcon(parent)
{
    setTrayIcon(false);

    m_menu = std::make_shared<QMenu>();
    QAction *newMessage = m_menu->addAction(themeIcon("newmsg", ":/qml/images/add.png"),
                                            tr("New message"));
    connect(newMessage, &QAction::triggered, this, &TrayIcon::newMessageActionTriggered);
    QAction *queryMail = m_menu->addAction(themeIcon("mail-receive", ":/qml/images/refresh.png"),
                                           tr("Get new mail"));
    connect(queryMail, &QAction::triggered, this, &TrayIcon::queryMailActionTriggered);
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(themeIcon("dialog-close", ":/qml/images/remove.png"),
                                      tr("Quit"));
    connect(quit, &QAction::triggered, this, &TrayIcon::quitActionTriggered);
    setContextMenu(m_menu.get());

    connect(this, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
    // Without a system tray the icon simply stays unseen; the window is
    // still reachable, since a second start raises it.
    setVisible(true);
}

TrayIcon::~TrayIcon()
{
    setContextMenu(nullptr);
}

void TrayIcon::setTrayIcon(bool unseen)
{
    if (unseen)
        setIcon(themeIcon("mail-mark-unread-new", ":/qml/images/mail_send.png"));
    else
        setIcon(themeIcon("drel-mail", ":/qml/images/unseen.png"));
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // The context menu is opened by the base class; only a plain click is ours.
    if (reason == QSystemTrayIcon::Trigger)
        emit trayClicked();
}
