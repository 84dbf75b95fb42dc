#include "main/singleapplication.h"
#include "testhome.h"

#include <QProcess>
#include <QTimer>
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

class SingleInstanceTest : public QObject
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
    void cleanup() { qputenv("XDG_RUNTIME_DIR", runtime); }

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
};

int main(int argc, char *argv[])
{
    TestHome::prepare();
    if (argc >= 2 && (qstrcmp(argv[1], "--instance") == 0 || qstrcmp(argv[1], "--send") == 0))
        return runChild(argc, argv);
    QApplication app(argc, argv);
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
