#include "window.h"

#include "qtquick2applicationviewer.h"
#include "settings.h"
#include "startup.h"
#include "utils.h"

#include <QDir>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSettings>
#include <QtTest>

namespace {
QStringList &recordedWarnings()
{
    static QStringList warnings;
    return warnings;
}

QtMessageHandler previousHandler = nullptr;

void recordWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && message.contains(QLatin1String("qrc:/qml/")))
        recordedWarnings() << message;
    if (previousHandler)
        previousHandler(type, context, message);
}
}

MailWindow::MailWindow() = default;

MailWindow::~MailWindow()
{
    stop();
}

bool MailWindow::start(const Options &options)
{
    stop();
    recordedWarnings().clear();
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(recordWarning);
    m_utils = std::make_unique<Utils>();
    m_view = std::make_unique<CustomQtQuick2ApplicationViewer>();
    Startup::loadScene(*m_view, *m_utils, options.tabletMode, options.lowEffects, options.dpiRatio);
    if (m_view->status() != QQuickView::Ready || !m_view->rootObject()) {
        for (const QQmlError &error : m_view->errors())
            qWarning("MailWindow: %s", qPrintable(error.toString()));
        return false;
    }
    m_view->resize(options.width, options.height);
    m_view->show();
    m_view->requestActivate();
    if (!QTest::qWaitForWindowExposed(m_view.get()))
        return false;
    // Keys need the focus; without a window manager it may come late or not
    // be reported at all, which mouse-driven tests do not mind.
    (void)QTest::qWaitForWindowActive(m_view.get(), 2000);
    return true;
}

void MailWindow::stop()
{
    if (m_view) {
        m_view->hide();
        // The scene's objects (accounts and their threads) go with the
        // engine; let queued deletions run while the loop still exists.
        m_view.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    m_utils.reset();
}

QQuickItem *MailWindow::root() const
{
    return m_view ? m_view->rootObject() : nullptr;
}

namespace {
void collect(QObject *object, const QString &name, QList<QQuickItem *> &found,
             QSet<QObject *> &seen, bool all)
{
    if (!object || seen.contains(object) || (!all && !found.isEmpty()))
        return;
    seen.insert(object);
    auto *item = qobject_cast<QQuickItem *>(object);
    if (item && object->objectName() == name)
        found << item;
    if (item) {
        for (QQuickItem *child : item->childItems())
            collect(child, name, found, seen, all);
    }
    for (QObject *child : object->children())
        collect(child, name, found, seen, all);
}
}

QQuickItem *MailWindow::item(const QString &objectName, QQuickItem *below) const
{
    QList<QQuickItem *> found;
    QSet<QObject *> seen;
    collect(below ? below : root(), objectName, found, seen, false);
    return found.value(0);
}

QList<QQuickItem *> MailWindow::items(const QString &objectName, QQuickItem *below) const
{
    QList<QQuickItem *> found;
    QSet<QObject *> seen;
    collect(below ? below : root(), objectName, found, seen, true);
    return found;
}

QObject *MailWindow::object(const QString &objectName) const
{
    return root() ? root()->findChild<QObject *>(objectName) : nullptr;
}

namespace {
void collectText(QQuickItem *item, const QString &text, QList<QQuickItem *> &found)
{
    if (!item || !item->isVisible())
        return;
    if (item->property("text").toString() == text && item->inherits("QQuickText"))
        found << item;
    for (QQuickItem *child : item->childItems())
        collectText(child, text, found);
}
}

QQuickItem *MailWindow::textItem(const QString &text) const
{
    QList<QQuickItem *> found;
    collectText(root(), text, found);
    for (QQuickItem *candidate : qAsConst(found)) {
        if (isShown(candidate))
            return candidate;
    }
    return nullptr;
}

QVariant MailWindow::value(const QString &objectName, const char *property) const
{
    QQuickItem *found = item(objectName);
    return found ? found->property(property) : QVariant();
}

QVariant MailWindow::call(const QString &objectName, const char *function,
                          const QVariantList &arguments) const
{
    QQuickItem *found = item(objectName);
    QVariant result;
    if (!found)
        return result;
    // A QML function takes exactly as many arguments as it names; the ones
    // not given are undefined, as in a call from QML.
    int count = -1;
    const QMetaObject *meta = found->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        if (meta->method(i).name() == function)
            count = meta->method(i).parameterCount();
    }
    if (count < 0 || count > 4 || arguments.size() > count)
        return result;
    QVariant a[4];
    for (int i = 0; i < arguments.size(); ++i)
        a[i] = arguments.at(i);
    QGenericArgument args[4];
    for (int i = 0; i < count; ++i)
        args[i] = Q_ARG(QVariant, a[i]);
    QMetaObject::invokeMethod(found, function, Q_RETURN_ARG(QVariant, result), args[0], args[1], args[2],
                              args[3]);
    return result;
}

QRectF MailWindow::visibleRect(QQuickItem *item) const
{
    if (!item || !item->window() || !m_view)
        return QRectF();
    QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    for (QQuickItem *i = item; i; i = i->parentItem()) {
        if (!i->isVisible() || i->opacity() < 1.0)
            return QRectF();
        if (i->clip() && i != item)
            rect &= i->mapRectToScene(QRectF(0, 0, i->width(), i->height()));
    }
    return rect & QRectF(0, 0, m_view->width(), m_view->height());
}

bool MailWindow::isShown(QQuickItem *item) const
{
    return !visibleRect(item).isEmpty();
}

bool MailWindow::click(QQuickItem *item, QPointF at)
{
    const QRectF shown = visibleRect(item);
    if (shown.isEmpty())
        return false;
    const QPoint p = at.x() < 0 ? shown.center().toPoint() : item->mapToScene(at).toPoint();
    QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, p);
    return true;
}

bool MailWindow::doubleClick(QQuickItem *item)
{
    const QRectF shown = visibleRect(item);
    if (shown.isEmpty())
        return false;
    const QPoint p = shown.center().toPoint();
    QTest::mouseDClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, p);
    return true;
}

void MailWindow::type(const QString &text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 128)
            QTest::keyClick(m_view.get(), char(ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, m_view.get(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

void MailWindow::key(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(m_view.get(), Qt::Key(key), modifiers);
}

bool MailWindow::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

bool MailWindow::waitForShown(const QString &objectName, int timeoutMs)
{
    return waitFor([&] { return isShown(item(objectName)); }, timeoutMs);
}

QStringList MailWindow::qmlWarnings() const
{
    return recordedWarnings();
}

QImage MailWindow::screenshot(const QString &name) const
{
    if (!m_view)
        return QImage();
    const QImage image = m_view->grabWindow();
    const QString dir = qEnvironmentVariable("MAIL_SCREENSHOT_DIR");
    if (!dir.isEmpty() && !name.isEmpty()) {
        QDir().mkpath(dir);
        image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
    return image;
}

void MailWindow::addServer(int type, int protocol, int ssl, int auth, const QString &address)
{
    QSettings settings;
    settings.beginGroup(Settings::serversGroup);
    settings.beginGroup(address);
    settings.setValue(Settings::typeKey, type);
    settings.setValue(Settings::protocolKey, protocol);
    settings.setValue(Settings::sslKey, ssl);
    settings.setValue(Settings::authKey, auth);
    settings.setValue(Settings::loginKey, QString());
}

void MailWindow::addAccount(const QString &email, const QString &name, const QString &inServer,
                            const QString &outServer, const QString &login,
                            const QString &password)
{
    QSettings settings;
    settings.beginGroup(Settings::profilesGroup);
    settings.beginGroup(email);
    settings.setValue(Settings::nameKey, name);
    settings.setValue(Settings::inServerKey, inServer);
    settings.setValue(Settings::outServerKey, outServer);
    settings.setValue(Settings::inLoginKey, login);
    settings.setValue(Settings::inPasswordKey, Utils::encrypt(password));
}

void MailWindow::clearUserData()
{
    {
        QSettings settings;
        settings.clear();
    }
    QDir(QDir::homePath() + QStringLiteral("/.drel-mail")).removeRecursively();
}
