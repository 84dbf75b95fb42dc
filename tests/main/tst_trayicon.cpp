#include "testhome.h"
#include "trayicon.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

// Runs without any system tray and without an icon theme, as on a desktop
// that has neither: the program's own pictures must show.
class TestTrayIcon : public QObject
{
    Q_OBJECT

    static QImage imageOf(const QIcon &icon)
    {
        return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    }

private slots:
    void iconsWithoutATheme()
    {
        QIcon::setThemeSearchPaths({});
        TrayIcon tray;
        QVERIFY(tray.isVisible());
        QCOMPARE(imageOf(tray.icon()), imageOf(QIcon(":/qml/images/unseen.png")));
        tray.setTrayIcon(true);
        QCOMPARE(imageOf(tray.icon()), imageOf(QIcon(":/qml/images/mail_send.png")));
        tray.setTrayIcon(false);
        QCOMPARE(imageOf(tray.icon()), imageOf(QIcon(":/qml/images/unseen.png")));
        for (QAction *action : tray.contextMenu()->actions())
            QVERIFY(action->isSeparator() || !imageOf(action->icon()).isNull());
    }
};

MAIL_TEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
