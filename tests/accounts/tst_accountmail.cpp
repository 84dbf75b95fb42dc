#include "fixtures.h"
#include "letter.h"
#include "mailservers.h"
#include "profile.h"
#include "profilemanager.h"
#include "server.h"
#include "servermanager.h"
#include "settings.h"
#include "testhome.h"
#include "utils.h"

#include <QSettings>
#include <QTcpServer>
#include <QSignalSpy>
#include <QtTest>

using SM = ServerManager;

// Accounts against the real servers of the test harness, wired the way the
// main window wires them: records from the server manager, accounts from the
// profile manager.
class AccountMailTest : public QObject
{
    Q_OBJECT

    MailServers servers;

    struct Setup
    {
        std::unique_ptr<ServerManager> serverManager = std::make_unique<ServerManager>();
        std::unique_ptr<ProfileManager> profiles = std::make_unique<ProfileManager>();
    };

    static int recordIndex(ServerManager &manager, const QString &address)
    {
        const QVariantList list = manager.servers();
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).value<Server *>()->address() == address)
                return i;
        }
        return -1;
    }

    static Server *record(ServerManager &manager, const QString &address)
    {
        const int index = recordIndex(manager, address);
        return index < 0 ? nullptr : manager.servers().at(index).value<Server *>();
    }

    static void seed(MailServers &servers, const char *id, const QString &user = QStringLiteral("test"))
    {
        servers.seed(MailServers::makeMessage(QString::fromLatin1(id), QStringLiteral("Subject")), user);
    }

    static Letter *compose(Profile *profile, const QString &subject)
    {
        Letter *letter = profile->newLetter();
        letter->setFrom(QStringLiteral("Test User <test@example.org>"));
        letter->setToList({QStringLiteral("test@example.org:::Test User")});
        letter->setSubject(subject);
        letter->setBodyList({QStringLiteral("<p>Hello there</p>")});
        letter->setBodyHtmlList({true});
        return letter;
    }

    // An account with a plain IMAP and a plain SMTP server, attached the way
    // the start-up of the main window does it.
    Profile *addAccount(Setup &s, const QString &email, const QString &login, const QString &password,
                        SM::Ssl inSsl = SM::NO_SSL, int inPort = 0, int outPort = 0)
    {
        const QString in = MailServers::address(inPort ? inPort : servers.imapPort());
        const QString out = MailServers::address(outPort ? outPort : servers.smtpPort());
        if (!record(*s.serverManager, in))
            s.serverManager->addServer(SM::INCOMING_TYPE, SM::IMAP, inSsl, SM::AUTO_AUTH, in);
        if (!record(*s.serverManager, out))
            s.serverManager->addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, SM::AUTO_AUTH, out);
        s.profiles->addProfile(QStringLiteral("Test User"), email, nullptr, nullptr, login, password);
        Profile *profile = s.profiles->profileAt(s.profiles->profiles().size() - 1);
        // The records are saved by address on the account.
        profile->setIncomingServer(record(*s.serverManager, in));
        profile->setOutgoingServer(record(*s.serverManager, out));
        profile->save();
        return profile;
    }

    static bool waitReady(Profile *profile, int timeout = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        // A check first leaves the ready status and then comes back to it.
        while (timer.elapsed() < timeout) {
            QTest::qWait(50);
            if (profile->status() == Profile::READY_STATUS && profile->pendingLetters() == 0)
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
    }

    void cleanupTestCase() { servers.stop(); }

    void init()
    {
        servers.clearMailbox(QStringLiteral("test"));
        servers.clearMailbox(QStringLiteral("other"));
        QFile::remove(QSettings().fileName());
        QDir(QDir::homePath() + QStringLiteral("/.drel-mail")).removeRecursively();
    }

    void fetchAndSendWithStoredCredentials()
    {
        seed(servers, "one@example.org");
        seed(servers, "two@example.org");
        Setup s;
        QSignalSpy login(s.profiles.get(), &ProfileManager::queryUsernameQml);
        QSignalSpy password(s.profiles.get(), &ProfileManager::queryPasswordQml);
        QSignalSpy errors(s.profiles.get(), &ProfileManager::error);
        QSignalSpy notices(s.profiles.get(), &ProfileManager::trayMessageQml);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password());
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 2, 20000);
        QVERIFY(waitReady(profile));
        QCOMPARE(login.count() + password.count() + errors.count(), 0);
        QCOMPARE(notices.count(), 2);
        QCOMPARE(profile->unseenLetters(), 2);
        QVERIFY(QFile::exists(QDir::homePath()
                              + QStringLiteral("/.drel-mail/test@example.org/Incoming/one@example.org.eml")));
        // A letter sent is filed and delivered, and comes back in as mail.
        Letter *letter = compose(profile, QStringLiteral("Round trip"));
        profile->sendNewLetter();
        letter->clear(); // the compose form starts over at once
        QVERIFY(waitReady(profile));
        QCOMPARE(errors.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(profile->sentModel()->count(), 1, 10000);
        QCOMPARE(profile->draftsModel()->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(servers.messages().size(), 3, 10000);
        QVERIFY(servers.messages().last().contains("Subject: Round trip"));
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 3, 20000);
    }

    void emptyPasswordIsAskedOncePerConnect()
    {
        seed(servers, "asked@example.org");
        Setup s;
        QSignalSpy password(s.profiles.get(), &ProfileManager::queryPasswordQml);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(), QString());
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(password.count(), 1, 20000);
        s.profiles->setPasswordQml(QStringLiteral("  ") + MailServers::password() + QStringLiteral("\t"), true);
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 1, 20000);
        QVERIFY(waitReady(profile));
        QCOMPARE(Utils::decrypt(Fixtures::accountValue("test@example.org", "inPassword").toString()),
                 MailServers::password());
        // The next check connects with the answer it has.
        seed(servers, "later@example.org");
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 2, 20000);
        QCOMPARE(password.count(), 1);
    }

    // After a restart nobody asks for mail: the timer does.
    void rememberedAccountChecksOnItsTimer()
    {
        {
            Setup s;
            addAccount(s, QStringLiteral("test@example.org"), MailServers::user(), MailServers::password());
        }
        Settings::setGetMailTimerInterval(600000);
        seed(servers, "timer@example.org");
        Setup s;
        Profile *profile = s.profiles->profileAt(s.profiles->currentProfile());
        QVERIFY(profile && profile->isInitialized());
        profile->setIncomingServer(record(*s.serverManager, profile->incomingServerStr()));
        profile->setOutgoingServer(record(*s.serverManager, profile->outgoingServerStr()));
        // The setting cannot go below a minute; the test shortens the timer.
        profile->mailTimer()->start(1500);
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 1, 10000);
    }

    void twoAccountsFetchIndependently()
    {
        seed(servers, "for-test@example.org");
        seed(servers, "for-other-1@example.org", QStringLiteral("other"));
        seed(servers, "for-other-2@example.org", QStringLiteral("other"));
        Setup s;
        Profile *first = addAccount(s, QStringLiteral("test@example.org"), QStringLiteral("test"),
                                    MailServers::password());
        Profile *second = addAccount(s, QStringLiteral("other@example.org"), QStringLiteral("other"),
                                     MailServers::password());
        s.profiles->initCurrentProfile(1); // starts the second account and checks it
        first->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(first->incomingModel()->count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second->incomingModel()->count(), 2, 20000);
        const QString stored = QDir::homePath() + QStringLiteral("/.drel-mail/%1/Incoming/for-other-2@example.org.eml");
        QVERIFY(QFile::exists(stored.arg(QStringLiteral("other@example.org"))));
        QVERIFY(!QFile::exists(stored.arg(QStringLiteral("test@example.org"))));
    }

    void failedSendKeepsTheLetterAsADraft_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("closedPort");
        QTest::newRow("wrong password") << QStringLiteral("wrong") << false;
        QTest::newRow("no server") << MailServers::password() << true;
    }
    void failedSendKeepsTheLetterAsADraft()
    {
        QFETCH(QString, password);
        QFETCH(bool, closedPort);
        int port = 0;
        if (closedPort) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        Setup s;
        QSignalSpy errors(s.profiles.get(), &ProfileManager::error);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(), password,
                                      SM::NO_SSL, 0, port);
        compose(profile, QStringLiteral("Not lost"));
        profile->sendNewLetter();
        QTRY_VERIFY_WITH_TIMEOUT(errors.count() >= 1, 30000);
        QVERIFY(waitReady(profile, 30000));
        QVERIFY2(errors.first().first().toString().startsWith(QStringLiteral("Send mail error: ")),
                 qPrintable(errors.first().first().toString()));
        QCOMPARE(profile->sentModel()->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(profile->draftsModel()->count(), 1, 5000);
        auto *draft = qvariant_cast<Letter *>(profile->draftsModel()->index(0, 0).data(257));
        QCOMPARE(draft->subject(), QStringLiteral("Not lost"));
        QCOMPARE(servers.messages().size(), 0);
    }

    void certificateQuestionTravelsThroughTheServerManager()
    {
        seed(servers, "tls@example.org");
        Setup s;
        QSignalSpy question(s.serverManager.get(), &ServerManager::queryCertificateQml);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password(), SM::TLS_SSL, servers.imapsPort());
        profile->queryIncomingMail();
        // Answer every question the connect asks, as the user would.
        int answered = 0;
        QElapsedTimer timer;
        timer.start();
        while (profile->incomingModel()->count() < 1 && timer.elapsed() < 20000) {
            if (question.count() > answered) {
                QVERIFY(question.at(answered++).first().toString().contains(QStringLiteral("X.509")));
                s.serverManager->certificateAnswerQml(true);
            }
            QTest::qWait(50);
        }
        QCOMPARE(profile->incomingModel()->count(), 1);
        QCOMPARE(QSettings().value(QStringLiteral("servers/") + MailServers::address(servers.imapsPort())
                                   + QStringLiteral("/certificateFingerprint")).toList().size(), 20);
    }

    void removingAndEditingARecordInUse()
    {
        seed(servers, "first@example.org");
        Setup s;
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password());
        const QString address = MailServers::address(servers.imapPort());
        // The address is edited: the account follows, rebuilds its folders
        // and keeps fetching through the new address.
        const QString renamed = QStringLiteral("localhost:") + QString::number(servers.imapPort());
        QSignalSpy rebuilt(profile, &Profile::incomingProxyModelChanged);
        s.serverManager->changeServer(recordIndex(*s.serverManager, address), SM::INCOMING_TYPE, SM::IMAP,
                                      SM::NO_SSL, SM::AUTO_AUTH, renamed);
        QTRY_COMPARE_WITH_TIMEOUT(rebuilt.count(), 1, 5000);
        QCOMPARE(Fixtures::accountValue("test@example.org", "inServer").toString(), renamed);
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 1, 20000);
        QVERIFY(waitReady(profile));
        // The record is removed while the account uses it: nothing dangles,
        // and the account goes on with what it had.
        s.serverManager->removeServer(recordIndex(*s.serverManager, renamed));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        seed(servers, "second@example.org");
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 2, 20000);
        QVERIFY(waitReady(profile));
    }

    // The account goes, then the program quits, while workers wait on a
    // server that never answers.
    void quittingOrRemovingTheAccountWhileACheckRuns()
    {
        FaultServer silent;
        QVERIFY(silent.startSilent());
        Setup s;
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password(), SM::NO_SSL, silent.port());
        addAccount(s, QStringLiteral("other@example.org"), QStringLiteral("other"), MailServers::password(),
                   SM::NO_SSL, silent.port());
        s.profiles->initCurrentProfile(1); // checks at once
        profile->queryIncomingMail();
        QTest::qWait(300);
        QCOMPARE(profile->status(), Profile::RECIEVING_STATUS);
        QElapsedTimer timer;
        timer.start();
        s.profiles->removeProfile(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        s.profiles.reset();
        s.serverManager.reset();
        QVERIFY(timer.elapsed() < 15000);
    }
};

MAIL_TEST_MAIN(AccountMailTest)
#include "tst_accountmail.moc"
