#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "answers.h"
#include "base/settings.h"
#include "fixtures.h"
#include "mailservers.h"
#include "networknamespace.h"
#include "main/drel.h"
#include "main/startup.h"
#include "connectionrecorder.h"
#include "model/letter.h"
#include "model/model.h"
#include "net/connection.h"
#include "net/idlewatcher.h"
#include "servers/server.h"
#include "servers/servermanager.h"
#include "servertestcase.h"
#include "store/cache.h"
#include "store/privatefiles.h"
#include "testhome.h"

#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

namespace SM = ServerKind;

// Accounts against the real servers, wired as the main window wires them, and
// the files they keep.
class AccountMailTest : public ServerTestCase
{
    Q_OBJECT

    std::unique_ptr<ServerManager> sm;
    std::unique_ptr<ProfileManager> pm;

    int recordIndex(const QString &address) const
    {
        const QVariantList list = sm->servers();
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).value<Server *>()->address() == address)
                return i;
        }
        return -1;
    }
    Server *record(const QString &address) const { return sm->servers().value(recordIndex(address)).value<Server *>(); }
    void seed(const char *id, const QString &user = QStringLiteral("test"))
    {
        servers.seed(MailServers::makeMessage(QString::fromLatin1(id), QStringLiteral("Subject")), user);
    }
    static QString stored(const QString &account, const QString &id)
    {
        return QDir::homePath() + QStringLiteral("/.drel-mail/%1/Incoming/%2.eml").arg(account, id);
    }

    // Plain IMAP and SMTP records, attached as the start-up attaches them.
    Profile *addAccount(const QString &email, const QString &login, const QString &password, int inPort = 0,
                        SM::Ssl inSsl = SM::NO_SSL)
    {
        const QString in = MailServers::address(inPort ? inPort : servers.imapPort());
        const QString out = MailServers::address(servers.smtpPort());
        if (!record(in))
            sm->addServer(SM::INCOMING_TYPE, SM::IMAP, inSsl, SM::AUTO_AUTH, in);
        if (!record(out))
            sm->addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, SM::AUTO_AUTH, out);
        pm->addProfile(QStringLiteral("Test User"), email, nullptr, nullptr, login, password);
        Profile *profile = pm->profileAt(pm->profiles().size() - 1);
        profile->setIncomingServer(record(in));
        profile->setOutgoingServer(record(out));
        profile->save();
        return profile;
    }
    Profile *addTestAccount(const QString &password = MailServers::password())
    {
        return addAccount(QStringLiteral("test@example.org"), MailServers::user(), password);
    }

    // A check or a send leaves the ready status at once, when it is asked for.
    static bool waitReady(Profile *profile, int timeout = 20000)
    {
        return QTest::qWaitFor([profile] { return isSettled(profile); }, timeout);
    }
    // A letter from the account to itself, given as the compose form gives
    // it: the form starts over at once.
    static void sendToSelf(Profile *profile, const QString &subject, const QString &body = QString())
    {
        Letter *letter = profile->newLetter();
        letter->setFrom(QStringLiteral("Test User <test@example.org>"));
        letter->setToList({{QStringLiteral("test@example.org"), QStringLiteral("Test User")}});
        letter->setSubject(subject);
        if (!body.isEmpty())
            letter->setBodyList({body});
        profile->sendNewLetter();
        profile->newLetter()->clear();
    }
    static void fetchExpecting(Profile *profile, int count)
    {
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::IncomingFolder)->count(), count, 20000);
    }

public:
    // Runs in a network of its own, whose changes no other test sees.
    bool isolated = false;

private slots:
    void init()
    {
        ServerTestCase::init();
        sm = std::make_unique<ServerManager>();
        pm = std::make_unique<ProfileManager>();
    }
    void cleanup()
    {
        pm.reset();
        sm.reset();
    }

    void fetchAndSendWithStoredCredentials()
    {
        seed("one@example.org");
        seed("two@example.org");
        QSignalSpy login(pm.get(), &ProfileManager::queryUsernameQml);
        QSignalSpy password(pm.get(), &ProfileManager::queryPasswordQml);
        QSignalSpy errors(pm.get(), &ProfileManager::error);
        QSignalSpy notices(pm.get(), &ProfileManager::trayMessageQml);
        Profile *profile = addTestAccount();
        fetchExpecting(profile, 2);
        QVERIFY(waitReady(profile));
        // One notice for the check, not one per letter.
        QCOMPARE(notices.count(), 1);
        QCOMPARE(notices.at(0).at(1).toString(), QStringLiteral("2 new letters"));
        QCOMPARE(profile->unseenLetters(), 2);
        QVERIFY(QFile::exists(stored("test@example.org", "one@example.org")));
        // A letter sent is filed and delivered, and comes back in as mail.
        sendToSelf(profile, QStringLiteral("Round trip"), QStringLiteral("<p>Hello there</p>"));
        QVERIFY(waitReady(profile));
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::SentFolder)->count(), 1, 10000);
        QCOMPARE(profile->folder(Letter::DraftsFolder)->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(servers.messages().size(), 3, 10000);
        QVERIFY(servers.messages().last().contains("Subject: Round trip"));
        fetchExpecting(profile, 3);
        QCOMPARE(login.count() + password.count() + errors.count(), 0);
    }

    // After a restart nobody asks for mail: the timer does.
    void rememberedAccountChecksOnItsTimer()
    {
        addTestAccount();
        cleanup();
        Settings::setGetMailTimerInterval(600000);
        sm = std::make_unique<ServerManager>();
        pm = std::make_unique<ProfileManager>();
        // No keyring here: the password is asked again after a restart.
        Answers answers(pm.get());
        seed("timer@example.org");
        Profile *profile = pm->profileAt(pm->currentProfile());
        QVERIFY(profile && profile->isInitialized());
        profile->setIncomingServer(record(profile->incomingServerStr()));
        profile->setOutgoingServer(record(profile->outgoingServerStr()));
        profile->mailTimer()->start(1500); // the setting cannot go below a minute
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::IncomingFolder)->count(), 1, 10000);
    }

    // Two accounts at once; the one without a stored password asks once per
    // connect, and the answer is stored for it alone.
    void twoAccountsFetchIndependently()
    {
        seed("for-test@example.org");
        seed("for-other-1@example.org", QStringLiteral("other"));
        QSignalSpy password(pm.get(), &ProfileManager::queryPasswordQml);
        Profile *first = addTestAccount();
        Profile *second = addAccount(QStringLiteral("other@example.org"), QStringLiteral("other"), QString());
        pm->initCurrentProfile(1); // starts the second account and checks it
        fetchExpecting(first, 1);
        QTRY_COMPARE_WITH_TIMEOUT(password.count(), 1, 20000);
        pm->setPasswordQml(QStringLiteral("  ") + MailServers::password() + QStringLiteral("\t"), true);
        QTRY_COMPARE_WITH_TIMEOUT(second->folder(Letter::IncomingFolder)->count(), 1, 20000);
        QVERIFY(waitReady(second));
        // Without a keyring the answer is kept for the session, never in the file.
        QVERIFY(!Fixtures::accountValue("other@example.org", "inPassword").isValid());
        QVERIFY(QFile::exists(stored("other@example.org", "for-other-1@example.org")));
        QVERIFY(!QFile::exists(stored("test@example.org", "for-other-1@example.org")));
        seed("for-other-2@example.org", QStringLiteral("other"));
        fetchExpecting(second, 2);
        QCOMPARE(password.count(), 1);
    }

    void removingAndEditingARecordInUse()
    {
        seed("first@example.org");
        Profile *profile = addTestAccount();
        // The address is edited: the account follows and rebuilds its folders.
        const QString renamed = QStringLiteral("localhost:") + QString::number(servers.imapPort());
        QSignalSpy rebuilt(profile, &Profile::foldersChanged);
        sm->changeServer(recordIndex(MailServers::address(servers.imapPort())), SM::INCOMING_TYPE, SM::IMAP,
                         SM::NO_SSL, SM::AUTO_AUTH, renamed);
        QTRY_COMPARE_WITH_TIMEOUT(rebuilt.count(), 1, 5000);
        QCOMPARE(Fixtures::accountValue("test@example.org", "inServer").toString(), renamed);
        fetchExpecting(profile, 1);
        QVERIFY(waitReady(profile));
        // Removed while in use: nothing dangles, the account goes on.
        sm->removeServer(recordIndex(renamed));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        seed("second@example.org");
        fetchExpecting(profile, 2);
        QVERIFY(waitReady(profile));
    }

    // Two letters queued: the account must not read ready, so that a check
    // or a swap of its store may start, while the second one is out.
    void neverReadyWhileALetterIsOut()
    {
        Profile *profile = addTestAccount();
        QVERIFY(waitReady(profile));
        QList<int> readyWithLettersLeft;
        connect(profile, &Profile::statusChanged, this, [&] {
            if (profile->status() == Profile::READY_STATUS && profile->pendingLetters() > 0)
                readyWithLettersLeft.append(profile->pendingLetters());
        });
        for (const char *subject : {"First", "Second"})
            sendToSelf(profile, QString::fromLatin1(subject));
        QVERIFY(waitReady(profile));
        QCOMPARE(readyWithLettersLeft, QList<int>());
        // Given at once, the two still get ids, and so files, of their own.
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::SentFolder)->count(), 2, 10000);
    }

    // New mail is pushed by the server while the account waits in IDLE: it
    // is listed without the timer, also after the IDLE was renewed, its
    // connection cut, the server restarted or the network changed, and
    // checks and sends go on meanwhile. A server that does not offer IDLE is
    // never sent one, and its account checks on its timer.
    void mailIsPushed_data()
    {
        QTest::addColumn<bool>("secure");
        QTest::addColumn<QStringList>("proxy"); // options of a proxy in between
        QTest::addColumn<int>("renewMs");
        QTest::addColumn<QString>("whileIdle"); // what happens once the watch waits
        const int never = IdleWatcher::defaultRenewMs;
        QTest::newRow("imap") << false << QStringList() << never << QString();
        QTest::newRow("imaps, renewed every 200 ms") << true << QStringList() << 200 << QString();
        // The check's connection is the first, the watcher's the second.
        QTest::newRow("first idle connection cut")
                << false << QStringList{QStringLiteral("--cut-on"), QStringLiteral(" IDLE"),
                                        QStringLiteral("--connections"), QStringLiteral("2")}
                << never << QString();
        QTest::newRow("server without IDLE")
                << false << QStringList{QStringLiteral("--hide"), QStringLiteral("IDLE")} << never << QString();
        QTest::newRow("server restarted") << false << QStringList() << never << QStringLiteral("restart");
        QTest::newRow("imaps, address added and removed")
                << true << QStringList() << never << QStringLiteral("network");
    }

    void mailIsPushed()
    {
        QFETCH(bool, secure);
        QFETCH(QStringList, proxy);
        QFETCH(int, renewMs);
        QFETCH(QString, whileIdle);
        if (whileIdle == QLatin1String("network") && !isolated)
            QSKIP("changes the network: needs root (and ip) for a network namespace of its own");
        const bool offered = !proxy.contains(QStringLiteral("--hide"));
        const QString record = TestHome::path() + QStringLiteral("/client-lines");
        FaultServer between;
        if (!proxy.isEmpty())
            QVERIFY(between.startProxy(servers.imapPort(), proxy + QStringList{QStringLiteral("--record"), record}));
        const int port = secure ? servers.imapsPort() : proxy.isEmpty() ? servers.imapPort() : between.port();
        if (secure)
            servers.trustCertificate(port);
        seed("before@example.org");
        Profile *profile = addAccount(QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password(), port, secure ? SM::TLS_SSL : SM::NO_SSL);
        IdleWatcher *watcher = profile->connection()->idleWatcher();
        watcher->setRenewInterval(renewMs);
        QSignalSpy idling(watcher, &IdleWatcher::idling);
        QSignalSpy unavailable(watcher, &IdleWatcher::unavailable);
        QSignalSpy lost(watcher, &IdleWatcher::lost);
        int checks = 0;
        const QObject counting; // ends the count with this function
        connect(profile, &Profile::statusChanged, &counting,
                [&] { checks += profile->status() == Profile::RECIEVING_STATUS; });
        profile->mailTimer()->stop();
        fetchExpecting(profile, 1);
        QVERIFY(waitReady(profile));
        if (!offered) {
            QTRY_COMPARE_WITH_TIMEOUT(unavailable.count(), 1, 10000);
            profile->mailTimer()->start(1000);
            seed("timer@example.org");
            QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::IncomingFolder)->count(), 2, 10000);
            QVERIFY(!Fixtures::readFile(record).contains(" IDLE"));
            QCOMPARE(idling.count(), 0);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(idling.count() > 0, 10000);
        if (whileIdle == QLatin1String("restart")) {
            // Away long enough for the watcher to find it gone twice. A try
            // that meets the server while it shuts down may wait out the
            // connection's 10 s timeout. The server comes back whatever
            // happens here, so that a failure stays this row's own.
            QVERIFY(servers.stopDovecot());
            auto restart = qScopeGuard([this] { servers.startDovecot(); });
            QTRY_VERIFY_WITH_TIMEOUT(lost.count() >= 2, 40000);
            restart.dismiss();
            QVERIFY(servers.startDovecot());
        } else if (whileIdle == QLatin1String("network")) {
            // One burst: one new connection and one check.
            const int checksBefore = checks;
            const int idlingBefore = idling.count();
            const QString address = QStringLiteral("127.0.0.77/8");
            QCOMPARE(QProcess::execute(QStringLiteral("ip"), {"addr", "add", address, "dev", "lo"}), 0);
            QCOMPARE(QProcess::execute(QStringLiteral("ip"), {"addr", "del", address, "dev", "lo"}), 0);
            QTRY_COMPARE_WITH_TIMEOUT(checks, checksBefore + 1, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(idling.count(), idlingBefore + 1, 10000);
            QVERIFY(waitReady(profile));
            QCOMPARE(lost.count(), 0);
        }
        seed("pushed@example.org");
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::IncomingFolder)->count(), 2, 10000);
        // A letter sent while the watch waits comes back in by itself; a
        // check asked for meanwhile ends as any other.
        sendToSelf(profile, QStringLiteral("Round trip"));
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::SentFolder)->count(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::IncomingFolder)->count(), 3, 10000);
        QVERIFY(waitReady(profile));
        fetchExpecting(profile, 3);
        QVERIFY(waitReady(profile));
        seed("after-check@example.org");
        QTRY_COMPARE_WITH_TIMEOUT(profile->folder(Letter::IncomingFolder)->count(), 4, 10000);
        QCOMPARE(unavailable.count(), 0);
        if (renewMs < IdleWatcher::defaultRenewMs)
            QVERIFY(idling.count() > 3);
        // The proxy records only the connections it may cut: the watcher's
        // first opened the inbox and never reached the server with IDLE.
        if (!proxy.isEmpty()) {
            QVERIFY(Fixtures::readFile(record).contains("w1 EXAMINE INBOX"));
            QVERIFY(!Fixtures::readFile(record).contains(" IDLE\r\n"));
        }
        QVERIFY(!profile->mailTimer()->isActive());
    }

    // The account goes, then the program quits, while workers wait on a
    // server that never answers.
    void quittingOrRemovingTheAccountWhileACheckRuns()
    {
        FaultServer silent;
        QVERIFY(silent.startSilent());
        Profile *profile = addAccount(QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password(), silent.port());
        addAccount(QStringLiteral("other@example.org"), QStringLiteral("other"), MailServers::password(), silent.port());
        pm->initCurrentProfile(1); // checks at once
        profile->queryIncomingMail();
        QTest::qWait(300);
        QCOMPARE(profile->status(), Profile::RECIEVING_STATUS);
        QElapsedTimer timer;
        timer.start();
        pm->removeProfile(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        cleanup();
        QVERIFY(timer.elapsed() < 15000);
    }

    // The start-up hands the account its records again while a check runs.
    void recordReplacedDuringACheckLetsItFinish()
    {
        for (int i = 1; i <= 3; ++i)
            servers.seed(MailServers::makeMessage(QStringLiteral("swap-%1@example.org").arg(i), QStringLiteral("Swap")));
        pm->addProfile(QStringLiteral("T"), QStringLiteral("test@example.org"), nullptr, nullptr,
                       MailServers::user(), MailServers::password());
        Profile *profile = pm->profileAt(0);
        auto makeRecord = [this] {
            Server *record = ConnectionRecorder::incoming(ServerKind::IMAP, servers.imapPort());
            record->setParent(this);
            return record;
        };
        profile->setIncomingServer(makeRecord());
        bool replaced = false;
        connect(profile, &Profile::receiveLetter, this, [&] {
            if (!std::exchange(replaced, true))
                profile->setIncomingServer(makeRecord());
        });
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->status(), Profile::READY_STATUS, 20000);
        QVERIFY(replaced);
        Model index(PrivateFiles::storeRoot() + QStringLiteral("/test@example.org/incoming.conf"), 0);
        QCOMPARE(index.rowCount(), 3);
    }

    // Other users on the same machine.
    void privateFilesAreTheUsersAlone()
    {
        // As an earlier version left them: readable by everyone.
        const QString account = PrivateFiles::storeRoot() + QStringLiteral("/a@example.org");
        const QString settingsFile = QSettings().fileName();
        QVERIFY(QDir().mkpath(account) && QDir().mkpath(QFileInfo(settingsFile).path()));
        QVERIFY(Fixtures::writeFile(settingsFile, QByteArray()));
        for (const QString &path : {PrivateFiles::storeRoot(), account, settingsFile})
            ::chmod(QFile::encodeName(path).constData(), 0755);
        // The lock of a writer that was killed goes at start; a held one stays.
        QProcess killed;
        killed.start(QStringLiteral("true"), QStringList());
        QVERIFY(killed.waitForStarted());
        const QByteArray deadPid = QByteArray::number(killed.processId());
        QVERIFY(killed.waitForFinished());
        QVERIFY(Fixtures::writeFile(account + QStringLiteral("/incoming.conf.lock"),
                                    deadPid + "\ndrel-mail\n" + QSysInfo::machineHostName().toUtf8() + "\n"));
        QLockFile held(account + QStringLiteral("/sent.conf.lock"));
        QVERIFY(held.tryLock(0));
        PrivateFiles::protect();
        QVERIFY(!QFile::exists(account + QStringLiteral("/incoming.conf.lock")));
        QVERIFY(QFile::exists(account + QStringLiteral("/sent.conf.lock")));
        QCOMPARE(Fixtures::fileMode(PrivateFiles::storeRoot()), 0700);
        QCOMPARE(Fixtures::fileMode(account), 0700);
        QCOMPARE(Fixtures::fileMode(settingsFile), 0600);
        Settings::setCurrentProfile(QStringLiteral("a@example.org")); // rewrites the file
        QCOMPARE(Fixtures::fileMode(settingsFile), 0600);
        // A fresh store is made private from the start.
        QDir(PrivateFiles::storeRoot()).removeRecursively();
        Cache cache(QStringLiteral("b@example.org"), QString());
        QCOMPARE(Fixtures::fileMode(PrivateFiles::storeRoot()), 0700);
        QCOMPARE(Fixtures::fileMode(cache.folderPath(0)), 0700);
    }
};

int main(int argc, char *argv[])
{
    return NetworkNamespace::run<AccountMailTest>(argc, argv, QByteArray());
}
#include "tst_accountmail.moc"
