#include "main/singleapplication.h"
#include "testhome.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>

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

private:
    std::unique_ptr<QProcess> startInstance()
    {
        auto p = std::make_unique<QProcess>();
        p->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--instance")});
        p->waitForStarted(5000);
        return p;
    }

    static bool waitForLine(QProcess *p, const QByteArray &line, int timeout = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeout) {
            if (p->canReadLine()) {
                if (p->readLine().trimmed() == line)
                    return true;
                continue;
            }
            p->waitForReadyRead(100);
        }
        return false;
    }

    static int send(const QString &text, QByteArray *output = nullptr, qint64 *elapsed = nullptr)
    {
        QElapsedTimer timer;
        timer.start();
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--send"), text});
        p.waitForFinished(15000);
        if (elapsed)
            *elapsed = timer.elapsed();
        if (output)
            *output = p.readAllStandardOutput().trimmed();
        return p.exitCode();
    }

    void stop(QProcess *p)
    {
        send(QStringLiteral("stop"));
        if (!p->waitForFinished(5000))
            p->kill();
        p->waitForFinished(5000);
    }

private slots:
    void secondStartHandsOverAndExits()
    {
        auto first = startInstance();
        QVERIFY(waitForLine(first.get(), "ready"));

        QByteArray output;
        qint64 elapsed = 0;
        QCOMPARE(send(QStringLiteral("raise"), &output, &elapsed), 255);
        QCOMPARE(output, QByteArray("sent"));
        QVERIFY(elapsed < 5000);
        QVERIFY(waitForLine(first.get(), "got:raise"));

        // Any text travels whole, including non-ASCII.
        QCOMPARE(send(QString::fromUtf8("Raise ✓")), 255);
        QVERIFY(waitForLine(first.get(), QString::fromUtf8("got:Raise ✓").toUtf8()));

        // A third start while the first runs is refused as well.
        auto third = startInstance();
        QVERIFY(waitForLine(third.get(), "running"));
        QVERIFY(third->waitForFinished(5000));
        QCOMPARE(third->exitCode(), 255);

        stop(first.get());
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
    }

    void lockOfAKilledInstanceIsTakenOver()
    {
        auto first = startInstance();
        QVERIFY(waitForLine(first.get(), "ready"));
        // Killed without a chance to clean up: lock file and socket stay.
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(5000));

        auto next = startInstance();
        QVERIFY(waitForLine(next.get(), "ready"));
        QCOMPARE(send(QStringLiteral("raise")), 255);
        QVERIFY(waitForLine(next.get(), "got:raise"));
        stop(next.get());
    }

    void firstStartWithNobodyRunning()
    {
        QCOMPARE(send(QStringLiteral("raise")), 0);
    }

    void unansweredMessageTimesOut()
    {
        // The lock is held by a process that does not listen: a stopped one.
        auto first = startInstance();
        QVERIFY(waitForLine(first.get(), "ready"));
        ::kill(pid_t(first->processId()), SIGSTOP);
        QByteArray output;
        qint64 elapsed = 0;
        QCOMPARE(send(QStringLiteral("raise"), &output, &elapsed), 255);
        QCOMPARE(output, QByteArray("unsent"));
        QVERIFY2(elapsed >= 4500 && elapsed < 12000, qPrintable(QString::number(elapsed)));
        ::kill(pid_t(first->processId()), SIGCONT);
        stop(first.get());
    }

    void lockLivesInTheUsersOwnDirectory()
    {
        auto first = startInstance();
        QVERIFY(waitForLine(first.get(), "ready"));
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        const QStringList entries = QDir(runtime).entryList(QDir::System | QDir::Files);
        QVERIFY2(entries.filter(QStringLiteral("mail-test-instance-")).size() >= 2,
                 qPrintable(entries.join(QLatin1Char(' '))));
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
