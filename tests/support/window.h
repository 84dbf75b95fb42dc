#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class CustomQtQuick2ApplicationViewer;
class MailtoHandler;
class Profile;
class QQuickItem;
class Utils;

// The real main window for a test: the program's own main.qml on the real
// backend, started as the program starts it, driven with mouse and key
// events. Items are found by objectName; "form" names the dialog to look in.
// Call TestHome::prepareProgram() once before the first start.
class MailWindow
{
public:
    struct Options
    {
        bool tabletMode = false;
        double dpiRatio = 1.0;
    };

    MailWindow();
    ~MailWindow();

    // Shows the window, 1000×640 logical pixels; false when the scene fails.
    bool start(const Options &options);
    bool start() { return start(Options()); }
    void stop();

    QQuickItem *root() const;
    // The first such item below the given one (the root by default).
    QQuickItem *item(const QString &name, QQuickItem *below = nullptr) const;
    QList<QQuickItem *> items(const QString &name, QQuickItem *below = nullptr) const;
    QQuickItem *in(const QString &form, const QString &name) const;
    // A backend object of the scene (the managers, the tray icon).
    QObject *object(const QString &name) const;
    Profile *profile() const; // the first account
    // The first shown text item with exactly that text.
    QQuickItem *textItem(const QString &text) const;
    QString text(const QString &name, QQuickItem *below = nullptr) const;
    QVariant value(const QString &name, const char *property) const;
    // Calls a QML function of the item with exactly its number of arguments.
    QVariant call(const QString &name, const char *function, const QVariantList &arguments = {}) const;

    // Shown: it and its ancestors visible and opaque, in the window and clips.
    QRectF visibleRect(QQuickItem *item) const;
    bool isShown(QQuickItem *item) const { return !visibleRect(item).isEmpty(); }
    // Pairs of shown controls (items that take Tab focus) below the item
    // that cover each other, as "a / b" by objectName or type.
    QStringList overlaps(QQuickItem *below) const;
    bool shown(const QString &name, int timeoutMs = 10000) const; // waits
    // Shown and taking input: a form fading in or out is not.
    bool ready(const QString &form) const;                       // waits
    bool gone(const QString &form) const;                        // waits; true when not made

    // false when the item is missing or not shown.
    bool click(QQuickItem *item, QPointF at = QPointF(-1, -1));
    bool click(const QString &name) { return click(item(name)); }
    bool doubleClick(QQuickItem *item);
    bool click(const QString &form, const QString &name) { return ready(form) && click(in(form, name)); }
    bool close(const QString &form, const QString &button) { return click(form, button) && gone(form); }
    void type(const QString &text);
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    bool typeInto(const QString &form, const QString &field, const QString &text);
    // An empty label clicks the list's extra button.
    bool choose(const QString &form, const QString &combo, const QString &label);
    bool pick(const QString &entry);
    // The letter chosen in the list read and shown, with that subject when
    // one is given (waits).
    bool letterShown(const QString &subject = QString()) const;
    // The message box's text once shown; empty after the time-out.
    QString message(int timeoutMs = 10000) const;
    bool answer(bool ok) { return close(QStringLiteral("messageForm"), ok ? "okButton" : "cancelButton"); }
    // Answers as a user would until the condition holds: the password prompt
    // with the password, a certificate question with Yes (or No), any other
    // message with OK. Their texts collect in answered.
    bool answerUntil(const std::function<bool()> &done, const QString &password,
                     bool acceptCertificates = true, int timeoutMs = 60000);
    QStringList answered;

    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000);
    // Also saved as <name>.png into $MAIL_SCREENSHOT_DIR when set.
    QImage screenshot(const QString &name = QString()) const;
    QStringList qmlWarnings() const;

    static void clearUserData();

    // Where mailto: links reach the window, as from a second start.
    MailtoHandler *mailto() const { return m_mailto.get(); }

private:
    std::unique_ptr<Utils> m_utils;
    std::unique_ptr<MailtoHandler> m_mailto;
    std::unique_ptr<CustomQtQuick2ApplicationViewer> m_view;
};
