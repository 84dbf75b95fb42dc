#include "main/drel.h"
#include "main/imageprovider.h"
#include "main/qtquick2applicationviewer.h"
#include "main/startup.h"
#include "model/letter.h"
#include "testhome.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QProcess>
#include <QScreen>

#include <cstdio>
#include <QtTest>

#include <vmime/vmime.hpp>

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        drelInit("1.0.8-1", "Mail");
        Startup::registerTypes();
    }

    void lowEffects_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("yes") << QByteArray("yes") << true;
        QTest::newRow("no") << QByteArray("no") << true;
        QTest::newRow("true with blanks") << QByteArray("  true \t") << true;
        QTest::newRow("unset") << QByteArray() << false;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("blanks") << QByteArray("   ") << false;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("false") << QByteArray("false") << false;
        QTest::newRow("FALSE") << QByteArray("FALSE") << false;
        QTest::newRow("False with blanks") << QByteArray(" False ") << false;
    }

    void lowEffects()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, expected);
        QCOMPARE(Startup::lowEffects(value), expected);
    }

    void lowEffectsFromEnvironment()
    {
        qunsetenv("DREL_PHONE_LOW_EFFECTS");
        QCOMPARE(Startup::lowEffectsFromEnvironment(), false);
        qputenv("DREL_PHONE_LOW_EFFECTS", " 1 ");
        QCOMPARE(Startup::lowEffectsFromEnvironment(), true);
        qunsetenv("DREL_PHONE_LOW_EFFECTS");
    }

    void dpiRatio_data()
    {
        QTest::addColumn<QByteArray>("dpi");
        QTest::addColumn<QByteArray>("ratio");
        QTest::newRow("96") << QByteArray("96") << QByteArray("0.96");
        QTest::newRow("120") << QByteArray("120") << QByteArray("1.2");
        QTest::newRow("100") << QByteArray("100") << QByteArray("1");
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
    }

    void dpiRatioWithoutScreen()
    {
        QCOMPARE(Startup::dpiRatio(nullptr), 1.0);
    }

    void imageProviderSizes()
    {
        ImageProvider provider;
        QCOMPARE(provider.imageType(), QQmlImageProviderBase::Pixmap);
        QSize size;
        QPixmap pixmap = provider.requestPixmap(QStringLiteral("none"), &size, QSize());
        QCOMPARE(size, QSize(48, 48));
        QCOMPARE(pixmap.size(), QSize(48, 48));

        pixmap = provider.requestPixmap(QStringLiteral("text/plain"), &size, QSize(0, 32));
        QCOMPARE(size, QSize(48, 32));
        QVERIFY(!pixmap.isNull());

        provider.requestPixmap(QStringLiteral("text/plain"), &size, QSize(64, 64));
        QCOMPARE(size, QSize(64, 64));
        // No size pointer is fine.
        QVERIFY(!provider.requestPixmap(QStringLiteral("text/plain"), nullptr, QSize(16, 16)).isNull());
    }

    void imageProviderFallback()
    {
        ImageProvider provider;
        const QImage unknown = QIcon(QStringLiteral(":/qml/images/unknown.png"))
                                       .pixmap(QSize(48, 48)).toImage();
        QVERIFY(!unknown.isNull());
        for (const char *id : {"none", "application/x-no-such-type", "", "not a type at all"}) {
            const QImage got = provider.requestPixmap(QString::fromLatin1(id), nullptr, QSize()).toImage();
            QCOMPARE(got, unknown);
        }
        // A type the icon theme knows gets the theme's picture, not the fallback.
        QVERIFY(QIcon::hasThemeIcon(QStringLiteral("image-x-generic")));
        const QImage png = provider.requestPixmap(QStringLiteral("image/png"), nullptr, QSize()).toImage();
        QVERIFY(!png.isNull());
        QVERIFY(png != unknown);
    }

    void everyIconIsInTheResourceTree()
    {
        const QStringList names = {
            "archive", "misc", "mail_restore", "text_underline", "text_paste", "text_bold",
            "fullscreen", "text_copy", "nofullscreen", "text_right", "mail_receive", "list_marked",
            "text_center", "text_cut", "unknown", "remove", "reply", "ok", "attach", "add",
            "mail_draft", "forward", "wizard", "trash", "user", "printer", "mail_new", "edit",
            "seen", "unseen", "list_numeric", "servers", "refresh", "users", "server",
            "mail_delete", "text_strikeout", "text_fill", "text_italic", "text_left", "www",
            "mail_send"};
        QCOMPARE(names.size(), 42);
        for (const QString &name : names) {
            const QImage image(QStringLiteral(":/qml/images/") + name + QStringLiteral(".png"));
            QVERIFY2(!image.isNull(), qPrintable(name));
            QCOMPARE(image.width(), image.height());
            // Something is drawn: not every pixel is transparent.
            bool drawn = false;
            for (int y = 0; y < image.height() && !drawn; ++y)
                for (int x = 0; x < image.width() && !drawn; ++x)
                    drawn = qAlpha(image.pixel(x, y)) > 0;
            QVERIFY2(drawn, qPrintable(name));
        }
    }

    void metaTypesAreRegistered()
    {
        QVERIFY(QMetaType::type("vmime::shared_ptr<vmime::net::message>") != QMetaType::UnknownType);
        for (const char *name : {"Letter", "Letter*", "Attachment", "Attachment*"}) {
            const int id = QMetaType::type(name);
            QVERIFY2(id != QMetaType::UnknownType, name);
            QVERIFY2(QMetaType::typeFlags(id) & QMetaType::PointerToQObject, name);
        }
        QCOMPARE(QMetaType::type("Letter"), qMetaTypeId<Letter *>());
    }

    void letterEnumsReachQml()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.3\nimport LetterBackend 1.0\n"
                          "QtObject { property int trash: Letter.TrashFolder;"
                          " property int withAttachment: Letter.LetterSeenWithAttachment }",
                          QUrl());
        QScopedPointer<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("trash").toInt(), 4);
        QCOMPARE(object->property("withAttachment").toInt(), 2);

        QQmlComponent creating(&engine);
        creating.setData("import QtQuick 2.3\nimport LetterBackend 1.0\nLetter {}", QUrl());
        QScopedPointer<QObject> refused(creating.create());
        QVERIFY(!refused);
        QVERIFY(creating.errorString().contains(QStringLiteral("Use only for enums!")));
    }

    void raiseMessage()
    {
        CustomQtQuick2ApplicationViewer viewer;
        QCOMPARE(viewer.resizeMode(), QQuickView::SizeRootObjectToView);
        viewer.processAppMessage(QStringLiteral("Raise"));
        QVERIFY(!viewer.isVisible());
        viewer.processAppMessage(QStringLiteral("hello"));
        QVERIFY(!viewer.isVisible());
        viewer.processAppMessage(QStringLiteral("raise"));
        QVERIFY(viewer.isVisible());
    }

    void engineQuitClosesTheView()
    {
        CustomQtQuick2ApplicationViewer viewer;
        viewer.show();
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
