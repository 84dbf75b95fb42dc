#include "window.h"

#include "accounts/profilemanager.h"
#include "accounts/utils.h"
#include "main/mailtohandler.h"
#include "main/qtquick2applicationviewer.h"
#include "main/startup.h"

#include <QQuickItem>
#include <QtTest>

#include <algorithm>

namespace {
QStringList warnings;
QtMessageHandler previousHandler = nullptr;

void recordWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && message.contains(QLatin1String("qrc:/qml/")))
        warnings << message;
    if (previousHandler)
        previousHandler(type, context, message);
}

// The items below that match, in the visual tree, then the object tree.
QList<QQuickItem *> find(QObject *below, const std::function<bool(QQuickItem *)> &match, bool all)
{
    QList<QQuickItem *> found;
    QSet<QObject *> seen;
    std::function<void(QObject *)> walk = [&](QObject *object) {
        if (!object || seen.contains(object) || (!all && !found.isEmpty()))
            return;
        seen.insert(object);
        auto *item = qobject_cast<QQuickItem *>(object);
        if (item && match(item))
            found << item;
        for (QQuickItem *child : item ? item->childItems() : QList<QQuickItem *>())
            walk(child);
        for (QObject *child : object->children())
            walk(child);
    };
    walk(below);
    return found;
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
    warnings.clear();
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(recordWarning);
    Startup::readAheadShownAccount();
    m_utils = std::make_unique<Utils>();
    m_mailto = std::make_unique<MailtoHandler>();
    m_view = std::make_unique<CustomQtQuick2ApplicationViewer>();
    Startup::loadScene(*m_view, *m_utils, options.tabletMode, false, options.dpiRatio, m_mailto.get());
    if (m_view->status() != QQuickView::Ready || !m_view->rootObject()) {
        for (const QQmlError &error : m_view->errors())
            qWarning("MailWindow: %s", qPrintable(error.toString()));
        return false;
    }
    m_view->resize(int(1000 * options.dpiRatio), int(640 * options.dpiRatio));
    m_view->show();
    m_view->requestActivate();
    if (!QTest::qWaitForWindowExposed(m_view.get()))
        return false;
    // Without a window manager the focus may come late or never be reported;
    // only key-driven steps need it.
    (void)QTest::qWaitForWindowActive(m_view.get(), 2000);
    return true;
}

void MailWindow::stop()
{
    answered.clear();
    if (m_view) {
        m_view->hide();
        // The accounts' threads go with the engine; let their deletions run.
        m_view.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    m_utils.reset();
    m_mailto.reset();
}

QQuickItem *MailWindow::root() const
{
    return m_view ? m_view->rootObject() : nullptr;
}

QQuickItem *MailWindow::item(const QString &name, QQuickItem *below) const
{
    return find(below ? below : root(), [&](QQuickItem *i) { return i->objectName() == name; }, false).value(0);
}

QList<QQuickItem *> MailWindow::items(const QString &name, QQuickItem *below) const
{
    return find(below ? below : root(), [&](QQuickItem *i) { return i->objectName() == name; }, true);
}

QQuickItem *MailWindow::in(const QString &form, const QString &name) const
{
    QQuickItem *below = item(form);
    return below ? item(name, below) : nullptr;
}

QObject *MailWindow::object(const QString &name) const
{
    return root() ? root()->findChild<QObject *>(name) : nullptr;
}

Profile *MailWindow::profile() const
{
    auto *manager = qobject_cast<ProfileManager *>(object(QStringLiteral("mailProfileManager")));
    return manager ? manager->profileAt(0) : nullptr;
}

QQuickItem *MailWindow::textItem(const QString &text) const
{
    return find(root(), [&](QQuickItem *i) {
        return i->inherits("QQuickText") && i->property("text").toString() == text && isShown(i);
    }, false).value(0);
}

QString MailWindow::text(const QString &name, QQuickItem *below) const
{
    QQuickItem *found = item(name, below);
    return found ? found->property("text").toString() : QString();
}

QVariant MailWindow::value(const QString &name, const char *property) const
{
    QQuickItem *found = item(name);
    return found ? found->property(property) : QVariant();
}

QVariant MailWindow::call(const QString &name, const char *function, const QVariantList &arguments) const
{
    QVariant result;
    QGenericArgument args[3];
    for (int i = 0; i < arguments.size() && i < 3; ++i)
        args[i] = Q_ARG(QVariant, arguments.at(i));
    if (QQuickItem *found = item(name))
        QMetaObject::invokeMethod(found, function, Q_RETURN_ARG(QVariant, result), args[0], args[1], args[2]);
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

QStringList MailWindow::overlaps(QQuickItem *below) const
{
    const QList<QQuickItem *> controls = find(below, [&](QQuickItem *i) {
        return i->activeFocusOnTab() && isShown(i);
    }, true);
    const auto name = [](QQuickItem *i) {
        return i->objectName().isEmpty() ? QString::fromLatin1(i->metaObject()->className()) : i->objectName();
    };
    QStringList found;
    for (int a = 0; a < controls.size(); ++a) {
        for (int b = a + 1; b < controls.size(); ++b) {
            const QRectF common = visibleRect(controls.at(a)) & visibleRect(controls.at(b));
            // Touching edges and one pixel of rounding are no overlap.
            if (common.width() > 1 && common.height() > 1 && !controls.at(a)->isAncestorOf(controls.at(b))
                    && !controls.at(b)->isAncestorOf(controls.at(a)))
                found << name(controls.at(a)) + QStringLiteral(" / ") + name(controls.at(b));
        }
    }
    return found;
}

bool MailWindow::shown(const QString &name, int timeoutMs) const
{
    return waitFor([&] { return isShown(item(name)); }, timeoutMs);
}

bool MailWindow::ready(const QString &form) const
{
    return waitFor([&] {
        QQuickItem *found = item(form);
        return isShown(found) && found->isEnabled();
    });
}

bool MailWindow::gone(const QString &form) const
{
    // Most forms are made on first use: one not made yet is not shown.
    QQuickItem *found = item(form);
    return !found || waitFor([&] { return !found->isVisible(); });
}

bool MailWindow::click(QQuickItem *item, QPointF at)
{
    const QRectF rect = visibleRect(item);
    if (!rect.isEmpty())
        QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier,
                          at.x() < 0 ? rect.center().toPoint() : item->mapToScene(at).toPoint());
    return !rect.isEmpty();
}

bool MailWindow::doubleClick(QQuickItem *item)
{
    const QRectF rect = visibleRect(item);
    if (!rect.isEmpty())
        QTest::mouseDClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, rect.center().toPoint());
    return !rect.isEmpty();
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

bool MailWindow::typeInto(const QString &form, const QString &field, const QString &text)
{
    QQuickItem *edit = in(form, field);
    if (!ready(form) || !click(edit))
        return false;
    QQuickItem *input = item(QStringLiteral("input"), edit);
    if (!input || !waitFor([&] { return input->hasActiveFocus(); }))
        return false;
    QMetaObject::invokeMethod(input, "selectAll");
    key(Qt::Key_Delete);
    type(text);
    return true;
}

bool MailWindow::choose(const QString &form, const QString &combo, const QString &label)
{
    if (!click(form, combo)) {
        qWarning("MailWindow::choose: %s in %s cannot be clicked", qPrintable(combo), qPrintable(form));
        return false;
    }
    if (!shown(QStringLiteral("comboBoxList"))) {
        qWarning("MailWindow::choose: %s did not open its list", qPrintable(combo));
        return false;
    }
    QQuickItem *list = item(QStringLiteral("comboBoxList"));
    if (label.isEmpty())
        return click(item(QStringLiteral("extraButton"), list));
    QQuickItem *row = nullptr;
    waitFor([&] {
        const QList<QQuickItem *> rows = items(QStringLiteral("rowLabel"), list);
        const auto found = std::find_if(rows.cbegin(), rows.cend(), [&](QQuickItem *r) {
            return r->property("text").toString() == label && isShown(r);
        });
        row = found == rows.cend() ? nullptr : *found;
        return row != nullptr;
    });
    if (!row) {
        qWarning("MailWindow::choose: no row %s in the list of %s", qPrintable(label), qPrintable(combo));
        return false;
    }
    // A disabled row takes no click: the list stays open, and says why here.
    if (!waitFor([&] { return row->isEnabled(); })) {
        qWarning("MailWindow::choose: the row %s in the list of %s is disabled", qPrintable(label),
                 qPrintable(combo));
        return false;
    }
    // The open list covers the window: a click before it has closed is its own.
    const QPoint at = visibleRect(row).center().toPoint();
    if (!click(row) || !gone(QStringLiteral("comboBoxList"))) {
        qWarning("MailWindow::choose: the list of %s stayed open after a click on %s at %d,%d", qPrintable(combo),
                 qPrintable(label), at.x(), at.y());
        return false;
    }
    return true;
}

bool MailWindow::pick(const QString &entry)
{
    return ready(QStringLiteral("listViewForm")) && click(textItem(entry));
}

bool MailWindow::letterShown(const QString &subject) const
{
    // A letter is read off the main thread: the pane fills once it is.
    return waitFor([&] {
        auto *letter = value(QStringLiteral("mailList"), "currentLetter").value<QObject *>();
        return letter && letter->property("parsed").toBool()
            && (subject.isNull() || text(QStringLiteral("mailSubject")) == subject);
    });
}

QString MailWindow::message(int timeoutMs) const
{
    return shown(QStringLiteral("messageForm"), timeoutMs) ? value(QStringLiteral("messageForm"), "text").toString()
                                                           : QString();
}

bool MailWindow::answerUntil(const std::function<bool()> &done, const QString &password,
                             bool acceptCertificates, int timeoutMs)
{
    const QString prompt = QStringLiteral("lineEditForm");
    const QString box = QStringLiteral("messageForm");
    return waitFor([&] {
        if (done())
            return true;
        if (isShown(item(prompt))) {
            typeInto(prompt, QStringLiteral("field"), password);
            close(prompt, QStringLiteral("okButton"));
        } else if (isShown(item(box))) {
            const bool certificate = value(box, "title").toString() == QStringLiteral("Certificate verification");
            answered << value(box, "text").toString();
            answer(!certificate || acceptCertificates);
        }
        return false;
    }, timeoutMs);
}

bool MailWindow::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

QStringList MailWindow::qmlWarnings() const
{
    return warnings;
}

QImage MailWindow::screenshot(const QString &name) const
{
    const QImage image = m_view ? m_view->grabWindow() : QImage();
    const QString dir = qEnvironmentVariable("MAIL_SCREENSHOT_DIR");
    if (!dir.isEmpty() && !name.isEmpty() && QDir().mkpath(dir))
        image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    return image;
}

void MailWindow::clearUserData()
{
    QSettings().clear();
    QDir(QDir::homePath() + QStringLiteral("/.drel-mail")).removeRecursively();
}
