#include "main/qtquick2applicationviewer.h"
#include "testhome.h"

#include <QDesktopServices>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QScreen>
#include <QtTest>

class HelpRecorder : public QObject
{
    Q_OBJECT
public:
    int shown = 0;
public slots:
    void open(const QUrl &) { ++shown; }
};

// Runs the real program on the test's X display.
class WindowTest : public QObject
{
    Q_OBJECT

private:
    static QString program() { return QStringLiteral(MAIL_BINARY_DIR "/src/drel-mail"); }

    // The number of top-level windows titled "Mail" on the display.
    static int mailWindows()
    {
        QProcess p;
        p.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        p.waitForFinished(5000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).count(QStringLiteral("\"Mail\": ("));
    }

    static QRect mailWindowGeometry()
    {
        QProcess p;
        p.start(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Mail")});
        p.waitForFinished(5000);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        auto number = [&](const QString &label) {
            const QRegularExpression re(label + QStringLiteral(":\\s+(-?\\d+)"));
            return re.match(out).captured(1).toInt();
        };
        return QRect(number(QStringLiteral("Absolute upper-left X")),
                     number(QStringLiteral("Absolute upper-left Y")),
                     number(QStringLiteral("Width")), number(QStringLiteral("Height")));
    }

private slots:
    void helpKeyShowsHelpAndReachesQml()
    {
        HelpRecorder help;
        QDesktopServices::setUrlHandler(QStringLiteral("help"), &help, "open");
        CustomQtQuick2ApplicationViewer viewer;
        QQmlComponent component(viewer.engine());
        component.setData("import QtQuick 2.3\nItem { width: 100; height: 100; focus: true;"
                          " property int f1: 0; Keys.onPressed: if (event.key === Qt.Key_F1) f1++ }",
                          QUrl());
        QScopedPointer<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        auto *item = qobject_cast<QQuickItem *>(root.data());
        item->setParentItem(viewer.contentItem());
        item->forceActiveFocus();
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));

        QTest::keyClick(&viewer, Qt::Key_F1);
        QCOMPARE(help.shown, 1);
        QCOMPARE(root->property("f1").toInt(), 1);
        QTest::keyClick(&viewer, Qt::Key_F2);
        QCOMPARE(help.shown, 1);
        QDesktopServices::unsetUrlHandler(QStringLiteral("help"));
    }

    void programShowsOneWindowAndRaisesItOnASecondStart()
    {
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(program(), QStringList());
        QVERIFY(first.waitForStarted(5000));
        QTRY_COMPARE_WITH_TIMEOUT(mailWindows(), 1, 30000);

        // The scene is drawn: the window is not one flat colour.
        const QRect geometry = mailWindowGeometry();
        QVERIFY(geometry.width() > 100 && geometry.height() > 100);
        QImage shot;
        bool drawn = false;
        for (int attempt = 0; attempt < 50 && !drawn; ++attempt) {
            QTest::qWait(200);
            shot = QGuiApplication::primaryScreen()->grabWindow(0, geometry.x(), geometry.y(),
                                                                geometry.width(), geometry.height())
                           .toImage();
            const QRgb corner = shot.pixel(1, 1);
            for (int y = 0; y < shot.height() && !drawn; y += 3)
                for (int x = 0; x < shot.width() && !drawn; x += 3)
                    drawn = shot.pixel(x, y) != corner;
        }
        const QByteArray keep = qgetenv("MAIL_SCREENSHOT_DIR");
        if (!keep.isEmpty())
            shot.save(QFile::decodeName(keep) + QStringLiteral("/main-window.png"));
        QVERIFY(drawn);

        // A second start hands over and ends with -1; no second window.
        QProcess second;
        QElapsedTimer timer;
        timer.start();
        second.start(program(), QStringList());
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 255);
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(mailWindows(), 1);
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        first.waitForFinished(5000);
    }
};

MAIL_TEST_MAIN(WindowTest)
#include "tst_window_gui.moc"
