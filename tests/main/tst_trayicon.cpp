#include "testhome.h"
#include "trayicon.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

// Runs without any system tray, as on a desktop that has none.
class TestTrayIcon : public QObject
{
    Q_OBJECT
    QTemporaryDir m_themes;

    static QImage imageOf(const QIcon &icon)
    {
        return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    }
    // "complete" has every icon the tray asks for, "bare" none.
    void useTheme(const char *name)
    {
        QIcon::setThemeSearchPaths({m_themes.path()});
        QIcon::setThemeName(QLatin1String(name));
    }

private slots:
    void initTestCase()
    {
        QImage red(32, 32, QImage::Format_ARGB32);
        red.fill(Qt::red);
        for (const QString theme : {"complete", "bare"}) {
            QDir dir(m_themes.path() + QLatin1Char('/') + theme);
            QVERIFY(dir.mkpath(QStringLiteral("32x32/actions")));
            QFile index(dir.filePath(QStringLiteral("index.theme")));
            QVERIFY(index.open(QIODevice::WriteOnly));
            index.write(QStringLiteral("[Icon Theme]\nName=%1\nDirectories=32x32/actions\n\n"
                                       "[32x32/actions]\nSize=32\nType=Fixed\n").arg(theme).toUtf8());
        }
        for (const char *name : {"newmsg", "mail-receive", "dialog-close", "mail-mark-unread-new", "drel-mail"})
            QVERIFY(red.save(m_themes.path() + "/complete/32x32/actions/" + name + ".png"));
    }

    // The icon tells whether unseen mail waits: from the theme, or the
    // program's own pictures where the theme has none.
    void iconsFromThemeOrResources()
    {
        useTheme("bare");
        TrayIcon tray;
        QVERIFY(tray.isVisible());
        QCOMPARE(imageOf(tray.icon()), imageOf(QIcon(":/qml/images/unseen.png")));
        tray.setTrayIcon(true);
        QCOMPARE(imageOf(tray.icon()), imageOf(QIcon(":/qml/images/mail_send.png")));
        tray.setTrayIcon(false);
        QCOMPARE(imageOf(tray.icon()), imageOf(QIcon(":/qml/images/unseen.png")));
        for (QAction *action : tray.contextMenu()->actions())
            QVERIFY(action->isSeparator() || !imageOf(action->icon()).isNull());
        useTheme("complete");
        TrayIcon themed;
        QCOMPARE(themed.icon().name(), QStringLiteral("drel-mail"));
        themed.setTrayIcon(true);
        QCOMPARE(themed.icon().name(), QStringLiteral("mail-mark-unread-new"));
        QCOMPARE(themed.contextMenu()->actions().at(1)->icon().name(), QStringLiteral("mail-receive"));
    }
};

MAIL_TEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
