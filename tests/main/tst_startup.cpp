#include "main/drel.h"
#include "main/imageprovider.h"
#include "main/qtquick2applicationviewer.h"
#include "main/startup.h"
#include "main/trayicon.h"
#include "model/letter.h"
#include "testhome.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QtTest>

#include <cstdio>

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    // What a user may have put into the environment variable, blanks too.
    void lowEffects()
    {
        QVERIFY(Startup::lowEffects(" 1\n"));
        for (const char *off : {"", "0", " False "})
            QVERIFY2(!Startup::lowEffects(off), off);
    }

    void dpiRatio_data()
    {
        QTest::addColumn<QByteArray>("dpi");
        QTest::addColumn<QByteArray>("ratio");
        QTest::newRow("96") << QByteArray("96") << QByteArray("0.96");
        QTest::newRow("120") << QByteArray("120") << QByteArray("1.2");
    }
    void dpiRatio()
    {
        QFETCH(QByteArray, dpi);
        QFETCH(QByteArray, ratio);
        // A screen of the given logical dots per inch, in a process of its own.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_FONT_DPI"), QString::fromLatin1(dpi));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--print-dpi-ratio")});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.readAllStandardOutput().trimmed(), ratio);
        QCOMPARE(Startup::dpiRatio(nullptr), 1.0); // no screen at all
    }

    // Attachment icons: the theme's picture, or the program's own for what
    // the theme does not know.
    void attachmentIcons()
    {
        ImageProvider provider;
        QSize size;
        QVERIFY(!provider.requestPixmap(QStringLiteral("text/plain"), &size, QSize(0, 32)).isNull());
        QCOMPARE(size, QSize(48, 32));
        const QImage unknown = QIcon(QStringLiteral(":/qml/images/unknown.png")).pixmap(QSize(48, 48)).toImage();
        for (const char *id : {"none", "application/x-no-such-type", "", "not a type at all"})
            QCOMPARE(provider.requestPixmap(QString::fromLatin1(id), nullptr, QSize()).toImage(), unknown);
        const QImage png = provider.requestPixmap(QStringLiteral("image/png"), nullptr, QSize()).toImage();
        QVERIFY(!png.isNull() && png != unknown);
    }

    // Qt.quit() (the menu's Quit) closes the window.
    void quitClosesTheWindow()
    {
        CustomQtQuick2ApplicationViewer viewer;
        viewer.show();
        emit viewer.engine()->quit();
        QVERIFY(!viewer.isVisible());
    }

    // Without any system tray and without an icon theme, as on a desktop
    // that has neither, the program's own pictures show. Last: it takes the
    // theme away.
    void trayIconsWithoutATheme()
    {
        auto image = [](const QIcon &icon) {
            return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        QIcon::setThemeSearchPaths({});
        TrayIcon tray;
        QVERIFY(tray.isVisible());
        QCOMPARE(image(tray.icon()), image(QIcon(":/qml/images/unseen.png")));
        tray.setTrayIcon(true);
        QCOMPARE(image(tray.icon()), image(QIcon(":/qml/images/mail_send.png")));
        tray.setTrayIcon(false);
        QCOMPARE(image(tray.icon()), image(QIcon(":/qml/images/unseen.png")));
        for (QAction *action : tray.contextMenu()->actions())
            QVERIFY(action->isSeparator() || !image(action->icon()).isNull());
    }
};

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--print-dpi-ratio") == 0) {
        QGuiApplication app(argc, argv);
        std::printf("%s\n", qPrintable(QString::number(Startup::dpiRatio(QGuiApplication::primaryScreen()))));
        return 0;
    }
    TestHome::prepare();
    QApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
