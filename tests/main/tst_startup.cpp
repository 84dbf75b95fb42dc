#include "main/drel.h"
#include "main/imageprovider.h"
#include "main/mailtohandler.h"
#include "main/mailtolink.h"
#include "main/qtquick2applicationviewer.h"
#include "main/singleapplication.h"
#include "main/startup.h"
#include "main/trayicon.h"
#include "testhome.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>

// The test program doubles as the instances it starts:
//   --instance : prints "ready" (or "running"), then every message it gets as
//                "got:<text>", and ends on the message "stop".
//   --send <text> : exits -1 after handing the text to the running one, or 0
//                   when it is the first instance.
static int runChild(int argc, char *argv[])
{
    SingleApplication app(argc, argv, QStringLiteral("mail-test-instance"));
    const QString mode = QString::fromLocal8Bit(argv[1]);
    if (mode == QLatin1String("--send")) {
        if (!app.isRunning())
            return 0;
        const bool sent = app.sendMessage(QString::fromLocal8Bit(argv[2]), 5000);
        std::printf("%s\n", sent ? "sent" : "unsent");
        return -1;
    }
    if (app.isRunning()) {
        std::printf("running\n");
        std::fflush(stdout);
        return -1;
    }
    QObject::connect(&app, &SingleApplication::messageReceived, [&app](const QString &message) {
        std::printf("got:%s\n", qPrintable(message));
        std::fflush(stdout);
        if (message == QLatin1String("stop"))
            app.quit();
    });
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer::singleShot(60000, &app, &QCoreApplication::quit); // never outlive the test
    return app.exec();
}

class StartupTest : public QObject
{
    Q_OBJECT

    // An instance that has said the line, or none.
    static std::unique_ptr<QProcess> startInstance(const QByteArray &line)
    {
        auto p = std::make_unique<QProcess>();
        p->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--instance")});
        return waitForLine(p.get(), line) ? std::move(p) : nullptr;
    }
    static bool waitForLine(QProcess *p, const QByteArray &line)
    {
        return QTest::qWaitFor([&] {
            return p->canReadLine() ? p->readLine().trimmed() == line : (p->waitForReadyRead(100), false);
        }, 10000);
    }

    struct Sent
    {
        int exitCode;
        QByteArray output;
        qint64 elapsed;
    };
    static Sent send(const QString &text)
    {
        QElapsedTimer timer;
        timer.start();
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--send"), text});
        p.waitForFinished(15000);
        return {p.exitCode(), p.readAllStandardOutput().trimmed(), timer.elapsed()};
    }
    static void stop(QProcess *p)
    {
        send(QStringLiteral("stop"));
        if (!p->waitForFinished(5000))
            p->kill();
    }

    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");

private slots:
    void initTestCase() { TestHome::prepareProgram(); }
    void cleanup() { qputenv("XDG_RUNTIME_DIR", runtime); }

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

    // mailto: links as a desktop or a web page hands them over.
    void parse_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("body");
        const QString a = QStringLiteral("a@example.org");
        const QString b = QStringLiteral("b@example.org");
        QTest::newRow("plain address") << "mailto:a@example.org" << QStringList{a} << "" << "";
        QTest::newRow("scheme in capitals") << "MAILTO:a@example.org" << QStringList{a} << "" << "";
        QTest::newRow("several, cc and bcc kept")
            << "mailto:a@example.org,b@example.org?cc=c@example.org&bcc=d@example.org"
            << QStringList{a, b, "c@example.org", "d@example.org"} << "" << "";
        QTest::newRow("encoded comma and spaces")
            << "mailto:a@example.org%2C%20b@example.org?subject=Lunch%20on%20Friday%3F"
            << QStringList{a, b} << "Lunch on Friday?" << "";
        QTest::newRow("to field joins the path, duplicates once")
            << "mailto:a@example.org?to=b@example.org&cc=A@example.org" << QStringList{a, b} << "" << "";
        QTest::newRow("display name with a comma")
            << "mailto:%22Doe%2C%20Jane%22%20%3Ca@example.org%3E,b@example.org" << QStringList{a, b} << "" << "";
        QTest::newRow("only a subject") << "mailto:?subject=Hi" << QStringList{} << "Hi" << "";
        QTest::newRow("empty parts")
            << "mailto:,a@example.org,,?&subject=&&body=" << QStringList{a} << "" << "";
        QTest::newRow("body with line breaks and UTF-8")
            << "mailto:a@example.org?body=Gr%C3%BC%C3%9Fe%0D%0Aaus%20K%C3%B6ln%0A1+1"
            << QStringList{a} << "" << QString::fromUtf8("Grüße\naus Köln\n1+1");
        QTest::newRow("malformed escapes stay literal")
            << "mailto:a@example.org?subject=100%25%20sure%2&body=50%zz%" << QStringList{a}
            << "100% sure%2" << "50%zz%";
        QTest::newRow("unknown and odd header names")
            << "mailto:a@example.org?X-Mailer=evil&In-Reply-To=%3Cx@y%3E&SUBJECT=Hi&Body=Text&subject=Second"
            << QStringList{a} << "Hi" << "Text";
        QTest::newRow("line breaks cannot enter headers")
            << "mailto:a@example.org%0D%0ABcc:%20x@example.org?subject=Hi%0D%0ABcc:%20y@example.org"
            << QStringList{"a@example.orgBcc:x@example.org"} << "Hi Bcc: y@example.org" << "";
        QStringList many;
        for (int i = 0; i < 11000; ++i)
            many << QStringLiteral("r%1@example.org").arg(i);
        QTest::newRow("11,000 recipients, the first ones kept")
            << "mailto:" + many.join(QLatin1Char(',')) << QStringList(many.mid(0, MailtoLink::MaxRecipients)) << "" << "";
        const QString prefix = QStringLiteral("mailto:a@example.org?body=");
        QTest::newRow("a link longer than any command line is read that far")
            << prefix + QString(MailtoLink::MaxLength, QLatin1Char('x')) << QStringList{a} << ""
            << QString(MailtoLink::MaxLength - prefix.size(), QLatin1Char('x'));
    }

    void parse()
    {
        QFETCH(QString, link);
        QFETCH(QStringList, recipients);
        QFETCH(QString, subject);
        QFETCH(QString, body);
        const MailtoLink parsed = MailtoLink::parse(link);
        QVERIFY(parsed.isValid());
        QCOMPARE(parsed.recipients(), recipients);
        QCOMPARE(parsed.subject(), subject);
        QCOMPARE(parsed.body(), body);
    }

    void linkHandedToTheRunningInstance()
    {
        // This process is the running instance; the real program is the
        // second start.
        SingleApplication *app = qobject_cast<SingleApplication *>(qApp);
        QVERIFY(!app->isRunning());
        CustomQtQuick2ApplicationViewer viewer;
        MailtoHandler handler;
        Startup::connectInstanceMessages(app, &viewer, &handler);
        QSignalSpy requested(&handler, &MailtoHandler::composeRequested);

        // Runs a second start while this process keeps answering.
        auto secondStart = [](const QStringList &arguments) {
            QProcess second;
            second.start(QStringLiteral(MAIL_BINARY_DIR "/src/drel-mail"), arguments);
            if (!second.waitForStarted(5000))
                return -2;
            return QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 15000)
                    ? second.exitCode() : -3;
        };
        QCOMPARE(secondStart({QStringLiteral("mailto:a@example.org?cc=b@example.org&subject=Hi&body=Hello")}),
                 255);
        QCOMPARE(requested.count(), 1);
        QVERIFY(viewer.isVisible());

        const QVariantMap request = handler.takeRequest();
        QCOMPARE(request.value("recipients").toStringList(),
                 QStringList({"a@example.org", "b@example.org"}));
        QCOMPARE(request.value("subject").toString(), QStringLiteral("Hi"));
        QCOMPARE(request.value("body").toString(), QStringLiteral("Hello"));
        QVERIFY(handler.takeRequest().isEmpty());

        // A plain second start only raises.
        viewer.hide();
        QCOMPARE(secondStart({}), 255);
        QVERIFY(viewer.isVisible());
        QCOMPARE(requested.count(), 1);
    }

    // Lock and socket live only where no other user can plant or reach them:
    // the runtime directory when it is private, else one of our own.
    void secondStartHandsOverAndExits_data()
    {
        QTest::addColumn<QByteArray>("runtimeDir"); // empty: not set
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("used");
        const QByteArray shared = QFile::encodeName(TestHome::path()) + "/shared-runtime";
        QTest::newRow("private runtime directory") << runtime << 0700 << true;
        QTest::newRow("no runtime directory") << QByteArray() << 0 << false;
        QTest::newRow("runtime directory others can enter") << shared << 0777 << false;
    }
    void secondStartHandsOverAndExits()
    {
        QFETCH(QByteArray, runtimeDir);
        QFETCH(int, mode);
        QFETCH(bool, used);
        if (!runtimeDir.isEmpty())
            QVERIFY(QDir().mkpath(QFile::decodeName(runtimeDir)) && ::chmod(runtimeDir.constData(), mode_t(mode)) == 0);
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
        const QString expected = used ? QFile::decodeName(runtimeDir) : TestHome::path() + "/.cache/drel-mail-run";
        QCOMPARE(send(QStringLiteral("raise")).exitCode, 0); // nobody running: this one is the first
        auto first = startInstance("ready");
        QVERIFY(first);
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(expected).constData(), &info) == 0 && (info.st_mode & 0777) == 0700);
        QVERIFY(QDir(expected).entryList(QDir::System | QDir::Files).filter("mail-test-instance-").size() >= 2);
        const Sent raise = send(QString::fromUtf8("Raise ✓"));
        QCOMPARE(raise.exitCode, 255);
        QCOMPARE(raise.output, QByteArray("sent"));
        QVERIFY(raise.elapsed < 5000);
        QVERIFY(waitForLine(first.get(), QString::fromUtf8("got:Raise ✓").toUtf8()));
        stop(first.get());
        QCOMPARE(first->exitCode(), 0);
    }

    // Killed without a chance to clean up: lock file and socket stay.
    void lockOfAKilledInstanceIsTakenOver()
    {
        auto first = startInstance("ready");
        QVERIFY(first);
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(5000));
        auto next = startInstance("ready");
        QVERIFY(next);
        QCOMPARE(send(QStringLiteral("raise")).exitCode, 255);
        QVERIFY(waitForLine(next.get(), "got:raise"));
        stop(next.get());
    }

    // The lock is held by a process that does not listen: a stopped one.
    void unansweredMessageTimesOut()
    {
        auto first = startInstance("ready");
        QVERIFY(first);
        ::kill(pid_t(first->processId()), SIGSTOP);
        const Sent raise = send(QStringLiteral("raise"));
        QCOMPARE(raise.exitCode, 255);
        QCOMPARE(raise.output, QByteArray("unsent"));
        QVERIFY2(raise.elapsed >= 4500 && raise.elapsed < 12000, qPrintable(QString::number(raise.elapsed)));
        ::kill(pid_t(first->processId()), SIGCONT);
        stop(first.get());
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
    if (argc >= 2 && (qstrcmp(argv[1], "--instance") == 0 || qstrcmp(argv[1], "--send") == 0))
        return runChild(argc, argv);
    // The offscreen platform has no OpenGL for the window.
    qputenv("QT_QUICK_BACKEND", "software");
    // The running instance, that a second start of the program hands over to.
    SingleApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
