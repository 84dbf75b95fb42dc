#include "main/trayicon.h"
#include "testhome.h"

#include <QAction>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>

// The tests run without any system tray, as on a desktop that has none.
class TestTrayIcon : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_themes;

    static QImage imageOf(const QIcon &icon)
    {
        return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    }

    static QImage resourceImage(const char *path)
    {
        return imageOf(QIcon(QLatin1String(path)));
    }

    // A theme that has every icon the tray asks for.
    void useFullTheme()
    {
        QIcon::setThemeSearchPaths({m_themes.path()});
        QIcon::setThemeName(QStringLiteral("complete"));
    }

    // A theme that has none of them: every icon falls back to the resources.
    void useEmptyTheme()
    {
        QIcon::setThemeSearchPaths({m_themes.path()});
        QIcon::setThemeName(QStringLiteral("bare"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_themes.isValid());
        const QString themeIndex = QStringLiteral(
                "[Icon Theme]\nName=%1\nDirectories=32x32/actions\n\n"
                "[32x32/actions]\nSize=32\nType=Fixed\n");
        for (const QString &theme : {QStringLiteral("complete"), QStringLiteral("bare")}) {
            QDir dir(m_themes.path() + QLatin1Char('/') + theme);
            QVERIFY(dir.mkpath(QStringLiteral("32x32/actions")));
            QFile index(dir.filePath(QStringLiteral("index.theme")));
            QVERIFY(index.open(QIODevice::WriteOnly));
            index.write(themeIndex.arg(theme).toUtf8());
        }
        QImage red(32, 32, QImage::Format_ARGB32);
        red.fill(Qt::red);
        for (const char *name : {"newmsg", "mail-receive", "dialog-close", "mail-mark-unread-new",
                                 "drel-mail"}) {
            QVERIFY(red.save(m_themes.path() + QStringLiteral("/complete/32x32/actions/")
                             + QLatin1String(name) + QStringLiteral(".png")));
        }
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    }

    void freshIconShowsNoUnseenMail()
    {
        useEmptyTheme();
        TrayIcon tray;
        QVERIFY(tray.isVisible());
        QCOMPARE(imageOf(tray.icon()), resourceImage(":/qml/images/unseen.png"));

        tray.setTrayIcon(true);
        QCOMPARE(imageOf(tray.icon()), resourceImage(":/qml/images/mail_send.png"));
        tray.setTrayIcon(false);
        QCOMPARE(imageOf(tray.icon()), resourceImage(":/qml/images/unseen.png"));
    }

    void themeIconsWinOverResources()
    {
        useFullTheme();
        TrayIcon tray;
        QCOMPARE(tray.icon().name(), QStringLiteral("drel-mail"));
        tray.setTrayIcon(true);
        QCOMPARE(tray.icon().name(), QStringLiteral("mail-mark-unread-new"));

        const QList<QAction *> actions = tray.contextMenu()->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions.at(0)->icon().name(), QStringLiteral("newmsg"));
        QCOMPARE(actions.at(1)->icon().name(), QStringLiteral("mail-receive"));
        QCOMPARE(actions.at(3)->icon().name(), QStringLiteral("dialog-close"));
    }

    void menuEntriesInOrder()
    {
        useEmptyTheme();
        TrayIcon tray;
        QVERIFY(tray.contextMenu());
        const QList<QAction *> actions = tray.contextMenu()->actions();
        QCOMPARE(actions.size(), 4);

        QCOMPARE(actions.at(0)->text(), QStringLiteral("New message"));
        QCOMPARE(imageOf(actions.at(0)->icon()), resourceImage(":/qml/images/add.png"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("Get new mail"));
        QCOMPARE(imageOf(actions.at(1)->icon()), resourceImage(":/qml/images/refresh.png"));
        QVERIFY(actions.at(2)->isSeparator());
        QCOMPARE(actions.at(3)->text(), QStringLiteral("Quit"));
        QCOMPARE(imageOf(actions.at(3)->icon()), resourceImage(":/qml/images/remove.png"));
        for (QAction *action : actions)
            QVERIFY(action->shortcut().isEmpty());
    }

    void menuEntriesEmitTheirSignals()
    {
        TrayIcon tray;
        QSignalSpy newMessage(&tray, &TrayIcon::newMessageActionTriggered);
        QSignalSpy queryMail(&tray, &TrayIcon::queryMailActionTriggered);
        QSignalSpy quit(&tray, &TrayIcon::quitActionTriggered);
        QSignalSpy clicked(&tray, &TrayIcon::trayClicked);
        const QList<QAction *> actions = tray.contextMenu()->actions();

        actions.at(1)->trigger();
        QCOMPARE(queryMail.count(), 1);
        QCOMPARE(newMessage.count(), 0);
        actions.at(0)->trigger();
        QCOMPARE(newMessage.count(), 1);
        actions.at(3)->trigger();
        QCOMPARE(quit.count(), 1);
        QCOMPARE(queryMail.count(), 1);
        QCOMPARE(clicked.count(), 0);
    }

    void onlyPlainClickReportsClick()
    {
        TrayIcon tray;
        QSignalSpy clicked(&tray, &TrayIcon::trayClicked);
        emit tray.activated(QSystemTrayIcon::DoubleClick);
        emit tray.activated(QSystemTrayIcon::Context);
        emit tray.activated(QSystemTrayIcon::MiddleClick);
        emit tray.activated(QSystemTrayIcon::Unknown);
        QCOMPARE(clicked.count(), 0);
        emit tray.activated(QSystemTrayIcon::Trigger);
        QCOMPARE(clicked.count(), 1);
    }
};

MAIL_TEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
