#include "main/qtquick2applicationviewer.h"
#include "testhome.h"

#include <QProcess>
#include <QScreen>
#include <QtTest>

// The real program on the test's X display.
class WindowTest : public QObject
{
    Q_OBJECT

    // xwininfo's report on the windows titled "Mail".
    static QString windowInfo(const QStringList &arguments)
    {
        QProcess p;
        p.start(QStringLiteral("xwininfo"), arguments);
        p.waitForFinished(5000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }
    static int mailWindows() { return windowInfo({"-root", "-tree"}).count(QStringLiteral("\"Mail\": (")); }

private slots:
    void programShowsOneWindowAndRaisesItOnASecondStart()
    {
        const QString program = QStringLiteral(MAIL_BINARY_DIR "/src/drel-mail");
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(program, QStringList());
        QVERIFY(first.waitForStarted(5000));
        QTRY_COMPARE_WITH_TIMEOUT(mailWindows(), 1, 30000);

        // The scene is drawn: the window is not one flat colour.
        const QString info = windowInfo({"-name", "Mail"});
        auto number = [&](const char *label) {
            return QRegularExpression(label + QStringLiteral(":\\s+(-?\\d+)")).match(info).captured(1).toInt();
        };
        const QRect geometry(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"),
                             number("Height"));
        QVERIFY(geometry.width() > 100 && geometry.height() > 100);
        bool drawn = false;
        for (int attempt = 0; attempt < 50 && !drawn; ++attempt) {
            QTest::qWait(200);
            const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, geometry.x(), geometry.y(),
                                                                             geometry.width(), geometry.height())
                                    .toImage();
            for (int y = 0; y < shot.height() && !drawn; y += 3)
                for (int x = 0; x < shot.width() && !drawn; x += 3)
                    drawn = shot.pixel(x, y) != shot.pixel(1, 1);
        }
        QVERIFY(drawn);

        // A second start hands over and ends with -1 at once; no second window.
        QProcess second;
        QElapsedTimer timer;
        timer.start();
        second.start(program, QStringList());
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
