// The program killed at each durable step of a mail check, and a disk that
// fills up during one: the next check must bring the store to exactly the
// server's messages, each stored once and whole, each listed once. Deleting
// on the server, it deletes there what the killed check stored as well.
#include "base/settings.h"
#include "mailaccount.h"
#include "mailservers.h"
#include "main/startup.h"
#include "model/letter.h"
#include "net/idlewatcher.h"
#include "servertestcase.h"
#include "testhome.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <cstdio>

#include <sys/mount.h>

namespace {
namespace SM = ServerKind;

// Some of the messages carry lines that POP3 byte-stuffs, one has no id.
void seed(MailServers &servers, int from, int to, int size = 0)
{
    for (int i = from; i <= to; ++i) {
        QString body = i % 5 ? QStringLiteral("Plain %1.").arg(i)
                             : QStringLiteral(".dot\r\n..dots\r\n.\r\nend %1").arg(i);
        body += QString(size, QLatin1Char('x'));
        servers.seed(MailServers::makeMessage(i == 7 ? QString() : QStringLiteral("c%1@example.org").arg(i),
                                              QStringLiteral("Message %1").arg(i), body));
    }
}

// The victim: one check in a process of its own, which a crash point ends.
// A pushed check is started by the server's news: a first check finds
// nothing new and starts the watch, the victim says "idling" on its
// standard output, and the test delivers.
int victim(int protocol, int port, int ssl, bool pushed)
{
    TestHome::prepareProgram();
    MailAccount account(ConnectionRecorder::incoming(protocol, port, SM::Ssl(ssl)));
    if (pushed) {
        QSignalSpy idling(account.connection->idleWatcher(), &IdleWatcher::idling);
        QSignalSpy arrived(account.connection.get(), &Connection::mailArrived);
        if (!account.check() || !QTest::qWaitFor([&] { return idling.count() > 0; }, 20000))
            return 1;
        std::puts("idling");
        std::fflush(stdout);
        if (!QTest::qWaitFor([&] { return arrived.count() > 0; }, 60000))
            return 1;
    }
    const int before = account.finished;
    return account.check() && account.finished == before + 1 ? 0 : 1;
}
}

class TestCrashSafety : public ServerTestCase
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifndef MAIL_CRASH_POINTS
        QSKIP("built without crash points (configure with -DMAIL_CRASH_POINTS=ON)");
#endif
        ServerTestCase::initTestCase();
    }

    void killedAtEveryStep_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("ssl");
        QTest::addColumn<int>("held");     // messages stored by an earlier check
        QTest::addColumn<QString>("step");
        // Deleting on the server from the killed check on; the earlier
        // check kept its messages there.
        QTest::addColumn<bool>("deleting");
        // The check is started by the server's news while the account idles.
        QTest::addColumn<bool>("pushed");
        // 60 new messages make three windows of contents: the newest alone,
        // the rest of the first 50, the last 10. With 10 held the mark is
        // written before the walk reaches them, and again once it has.
        const QList<std::pair<int, const char *>> steps{
            {0, "mark-renamed:1"}, {10, "mark-renamed:2"}, {0, "file-written:1"}, {10, "file-written:55"},
            {0, "files-synced:2"}, {10, "file-renamed:1"}, {0, "file-renamed:50"},
            {0, "directory-synced:1"}, {10, "directory-synced:1"}, {10, "directory-synced:2"},
            {0, "letter-listed:1"},
            {10, "letter-listed:50"}, {0, "index-appended:30"}, {0, "letter-listed:60"},
            {10, "mark-removed:1"}};
        for (const auto &protocol : {std::make_pair(int(SM::POP3), servers.pop3Port()),
                                     std::make_pair(int(SM::IMAP), servers.imapPort())}) {
            for (const auto &step : steps)
                QTest::addRow("%s %s after %d", protocol.first == SM::POP3 ? "pop3" : "imap",
                              step.second, step.first)
                        << protocol.first << protocol.second << int(SM::NO_SSL) << step.first
                        << QString::fromLatin1(step.second) << false << false;
        }
        for (const auto &step : {std::make_pair(0, "file-written:1"), std::make_pair(10, "letter-listed:1")})
            QTest::addRow("imap pushed %s after %d", step.second, step.first)
                    << int(SM::IMAP) << servers.imapPort() << int(SM::NO_SSL) << step.first
                    << QString::fromLatin1(step.second) << false << true;
        QTest::newRow("pop3s deleting file-renamed:5 after 10")
                << int(SM::POP3) << servers.pop3sPort() << int(SM::TLS_SSL) << 10
                << QStringLiteral("file-renamed:5") << true << false;
        QTest::newRow("imaps deleting file-renamed:5 after 10")
                << int(SM::IMAP) << servers.imapsPort() << int(SM::TLS_SSL) << 10
                << QStringLiteral("file-renamed:5") << true << false;
    }

    void killedAtEveryStep()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        QFETCH(int, ssl);
        QFETCH(int, held);
        QFETCH(QString, step);
        QFETCH(bool, deleting);
        QFETCH(bool, pushed);
        servers.trustCertificate(port);
        if (held) {
            seed(servers, 1, held);
            MailAccount first(ConnectionRecorder::incoming(protocol, port, SM::Ssl(ssl)));
            QVERIFY(first.check());
        }
        Settings::setDeleteFromServer(deleting);
        if (!pushed)
            seed(servers, held + 1, held + 60);

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DREL_CRASH_AT"), step);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--victim"), QString::number(protocol), QString::number(port),
                       QString::number(ssl), QString::number(int(pushed))});
        if (pushed) {
            QVERIFY(QTest::qWaitFor([&] {
                process.waitForReadyRead(100);
                return process.canReadLine() || process.state() == QProcess::NotRunning;
            }, 30000));
            QCOMPARE(process.readLine().trimmed(), QByteArray("idling"));
            seed(servers, held + 1, held + 60);
        }
        QVERIFY(process.waitForFinished(60000));
        // 86: the crash point was reached, so the process really died there.
        QCOMPARE(process.exitCode(), 86);

        MailAccount next(ConnectionRecorder::incoming(protocol, port, SM::Ssl(ssl)));
        const QStringList before = next.incomingFiles();
        QVERIFY(next.check());
        QVERIFY2(next.log->errors.isEmpty(), qPrintable(next.log->errors.join(QLatin1Char('\n'))));
        QCOMPARE(next.finished, 1);
        if (deleting) {
            // Also those the killed check stored; none of the earlier ones.
            const QList<QByteArray> left = servers.messages();
            QCOMPARE(left.size(), held);
            for (int i = 1; i <= held; ++i) {
                const QByteArray subject = QStringLiteral("Subject: Message %1\r\n").arg(i).toUtf8();
                QVERIFY2(std::any_of(left.cbegin(), left.cend(),
                                     [&](const QByteArray &m) { return m.contains(subject); }),
                         subject.constData());
            }
            QCOMPARE(next.incomingFiles().size(), held + 60);
        } else {
            QCOMPARE(next.differenceFrom(servers), QString());
        }
        // Exactly once: nothing already stored was fetched again.
        QCOMPARE(before.size() + next.stored.size(), held + 60);
        QVERIFY(!QFile::exists(next.cache->accountPath() + QStringLiteral("/interrupted-check")));
    }

    void fullDiskLosesNothing_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("port");
        QTest::newRow("pop3") << int(SM::POP3) << servers.pop3Port();
        QTest::newRow("imap") << int(SM::IMAP) << servers.imapPort();
    }

    void fullDiskLosesNothing()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        const QString store = TestHome::path() + QStringLiteral("/.drel-mail");
        QDir().mkpath(store);
        if (::mount("tmpfs", QFile::encodeName(store).constData(), "tmpfs", 0, "size=400k") != 0)
            QSKIP("cannot mount a small file system here (needs root)");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(store).constData(), MNT_DETACH); });
        // About a megabyte of mail for 400 KB.
        seed(servers, 1, 40, 25000);
        {
            MailAccount a(ConnectionRecorder::incoming(protocol, port));
            QVERIFY(a.check());
            QCOMPARE(a.log->errors.size(), 1);
            QVERIFY(a.stored.size() < 40);
            // A draft cannot be filed either, and leaves no file behind.
            Letter draft;
            draft.setFrom(QStringLiteral("me@example.org"));
            draft.setSubject(QStringLiteral("Draft"));
            draft.setBodyList({QString(300000, QLatin1Char('d'))});
            draft.setId(QStringLiteral("1234"));
            QVERIFY(!a.cache->saveLetterToFolder(&draft, Letter::DraftsFolder));
            QVERIFY(QDir(a.cache->folderPath(Letter::DraftsFolder)).entryList(QDir::Files).isEmpty());
            // Whatever was stored is whole.
            for (const QString &name : a.incomingFiles())
                QVERIFY(QFileInfo(a.cache->folderPath(Letter::IncomingFolder) + QLatin1Char('/') + name).size() > 25000);
        }
        QCOMPARE(::mount("tmpfs", QFile::encodeName(store).constData(), "tmpfs", MS_REMOUNT, "size=8m"), 0);
        MailAccount b(ConnectionRecorder::incoming(protocol, port));
        const int before = b.incomingFiles().size();
        QVERIFY(b.check());
        QVERIFY(b.log->errors.isEmpty());
        QCOMPARE(before + b.stored.size(), 40);
        QCOMPARE(b.differenceFrom(servers), QString());
    }
};

int main(int argc, char *argv[])
{
    TestHome::prepare();
    QApplication app(argc, argv);
    if (argc == 6 && qstrcmp(argv[1], "--victim") == 0)
        return victim(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]) != 0);
    TestCrashSafety tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_crashsafety.moc"
