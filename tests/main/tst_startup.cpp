#include "imageprovider.h"
#include "qtquick2applicationviewer.h"
#include "startup.h"
#include "testhome.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QtTest>

#include <cstdio>

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    // What a user may have put into the environment variable.
    void lowEffects_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("unset") << QByteArray() << false;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("False with blanks") << QByteArray(" False ") << false;
    }
    void lowEffects()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, expected);
        QCOMPARE(Startup::lowEffects(value), expected);
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
        QVERIFY(!provider.requestPixmap(QStringLiteral("text/plain"), nullptr, QSize(16, 16)).isNull());
        const QImage unknown = QIcon(QStringLiteral(":/qml/images/unknown.png")).pixmap(QSize(48, 48)).toImage();
        for (const char *id : {"none", "application/x-no-such-type", "", "not a type at all"})
            QCOMPARE(provider.requestPixmap(QString::fromLatin1(id), nullptr, QSize()).toImage(), unknown);
        const QImage png = provider.requestPixmap(QStringLiteral("image/png"), nullptr, QSize()).toImage();
        QVERIFY(!png.isNull() && png != unknown);
    }

    // A second start sends "raise"; Qt.quit() closes the window.
    void raiseAndQuit()
    {
        CustomQtQuick2ApplicationViewer viewer;
        viewer.processAppMessage(QStringLiteral("hello"));
        QVERIFY(!viewer.isVisible());
        viewer.processAppMessage(QStringLiteral("raise"));
        QVERIFY(viewer.isVisible());
        emit viewer.engine()->quit();
        QVERIFY(!viewer.isVisible());
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
