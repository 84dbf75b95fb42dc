#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class CustomQtQuick2ApplicationViewer;
class QQuickItem;
class Utils;

// The real main window for a test: the program's own main.qml from the
// resource tree on the real backend, started through the same start-up
// function as the program, driven with mouse and key events on the window.
// Call TestHome::prepareProgram() once before the first start.
class MailWindow
{
public:
    struct Options
    {
        bool tabletMode = false;
        bool lowEffects = false;
        double dpiRatio = 1.0;
        int width = 1000;
        int height = 640;
    };

    MailWindow();
    ~MailWindow();
    MailWindow(const MailWindow &) = delete;
    MailWindow &operator=(const MailWindow &) = delete;

    // Loads the scene, shows the window and waits until it is exposed; false
    // (with the QML errors logged) when the scene does not load.
    bool start(const Options &options);
    bool start() { return start(Options()); }
    // Destroys the window, the scene and the backend objects it made.
    void stop();

    CustomQtQuick2ApplicationViewer *view() const { return m_view.get(); }
    QQuickItem *root() const;

    // The first item (in the visual tree, then the object tree) with that
    // objectName below the given one (the root by default); nullptr if none.
    QQuickItem *item(const QString &objectName, QQuickItem *below = nullptr) const;
    // Every such item, e.g. the rows a list has made.
    QList<QQuickItem *> items(const QString &objectName, QQuickItem *below = nullptr) const;
    // A backend object of the scene (the managers, the tray icon) by objectName.
    QObject *object(const QString &objectName) const;
    // The first shown text item whose text is exactly that, e.g. a row of a
    // choice list or a dialog button's label.
    QQuickItem *textItem(const QString &text) const;
    // A property of the named item; invalid when there is no such item.
    QVariant value(const QString &objectName, const char *property) const;
    // Calls a QML function of the named item (up to four arguments; those
    // not given are undefined).
    QVariant call(const QString &objectName, const char *function,
                  const QVariantList &arguments = QVariantList()) const;

    // The part of the item a user sees, in window coordinates: empty unless
    // the item and its ancestors are visible and fully opaque; cut by the
    // window and by every clipping ancestor.
    QRectF visibleRect(QQuickItem *item) const;
    bool isShown(QQuickItem *item) const;

    // Mouse events at a point of the item (the centre of its visible part by
    // default); false when the item does not exist or is not shown.
    bool click(QQuickItem *item, QPointF at = QPointF(-1, -1));
    bool click(const QString &objectName) { return click(item(objectName)); }
    bool doubleClick(QQuickItem *item);
    void type(const QString &text);
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Runs the event loop until the condition holds; false on time-out.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000);
    bool waitForShown(const QString &objectName, int timeoutMs = 10000);

    // The window's content; saved as <name>.png into $MAIL_SCREENSHOT_DIR
    // when that is set and a name is given.
    QImage screenshot(const QString &name = QString()) const;

    // The warnings the scene's QML has logged since start() (script errors,
    // failed conversions into the backend, bindings that broke).
    QStringList qmlWarnings() const;

    // The settings store a user with accounts has, written before start().
    static void addServer(int type, int protocol, int ssl, int auth, const QString &address);
    static void addAccount(const QString &email, const QString &name, const QString &inServer,
                           const QString &outServer, const QString &login,
                           const QString &password);
    // Removes the settings file and the mail store of every account.
    static void clearUserData();

private:
    std::unique_ptr<Utils> m_utils;
    std::unique_ptr<CustomQtQuick2ApplicationViewer> m_view;
};
