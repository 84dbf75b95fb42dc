#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "accounts/utils.h"
#include "base/settings.h"
#include "mailservers.h"
#include "main/drel.h"
#include "main/startup.h"
#include "model/letter.h"
#include "net/connection.h"
#include "servers/server.h"
#include "servers/servermanager.h"
#include "testhome.h"

#include <QSettings>
#include <QTcpServer>
#include <QSignalSpy>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

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

    static Server *record(ServerManager &manager, const QString &address)
    {
        for (const QVariant &item : manager.servers()) {
            auto *server = qobject_cast<Server *>(item.value<QObject *>());
            if (server && server->address() == address)
                return server;
        }
        return nullptr;
    }

    static int recordIndex(ServerManager &manager, const QString &address)
    {
        const QVariantList list = manager.servers();
        for (int i = 0; i < list.size(); ++i) {
            if (qobject_cast<Server *>(list.at(i).value<QObject *>())->address() == address)
                return i;
        }
        return -1;
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

    void storedCredentialsFetchWithoutQuestions()
    {
        servers.seed(MailServers::makeMessage(QStringLiteral("one@example.org"), QStringLiteral("One")));
        servers.seed(MailServers::makeMessage(QStringLiteral("two@example.org"), QStringLiteral("Two")));
        Setup s;
        QSignalSpy login(s.profiles.get(), &ProfileManager::queryUsernameQml);
        QSignalSpy password(s.profiles.get(), &ProfileManager::queryPasswordQml);
        QSignalSpy errors(s.profiles.get(), &ProfileManager::error);
        QSignalSpy notices(s.profiles.get(), &ProfileManager::trayMessageQml);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password());
        profile->queryIncomingMail();
        QCOMPARE(profile->status(), Profile::RECIEVING_STATUS);
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 2, 20000);
        QVERIFY(waitReady(profile));
        QCOMPARE(login.count(), 0);
        QCOMPARE(password.count(), 0);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(notices.count(), 2);
        QCOMPARE(profile->unseenLetters(), 2);
        QVERIFY(QFile::exists(QDir::homePath()
                              + QStringLiteral("/.drel-mail/test@example.org/Incoming/one@example.org.eml")));
    }

    void emptyPasswordIsAskedOncePerConnect()
    {
        servers.seed(MailServers::makeMessage(QStringLiteral("asked@example.org"), QStringLiteral("Asked")));
        Setup s;
        QSignalSpy password(s.profiles.get(), &ProfileManager::queryPasswordQml);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(), QString());
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(password.count(), 1, 20000);
        QCOMPARE(s.profiles->currentProfileQuery(), 0);
        s.profiles->setPasswordQml(QStringLiteral("  ") + MailServers::password() + QStringLiteral("\t"), true);
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 1, 20000);
        QVERIFY(waitReady(profile));
        QCOMPARE(password.count(), 1);
        // Trimmed, sealed, under the incoming key.
        QSettings settings;
        QCOMPARE(Utils::decrypt(settings.value(QStringLiteral("profiles/test@example.org/inPassword")).toString()),
                 MailServers::password());

        // The next check connects with the answer it has.
        servers.seed(MailServers::makeMessage(QStringLiteral("later@example.org"), QStringLiteral("Later")));
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 2, 20000);
        QCOMPARE(password.count(), 1);
    }

    void rememberedAccountChecksOnItsTimer()
    {
        {
            Setup s;
            addAccount(s, QStringLiteral("test@example.org"), MailServers::user(), MailServers::password());
        }
        Settings::setGetMailTimerInterval(600000);
        servers.seed(MailServers::makeMessage(QStringLiteral("timer@example.org"), QStringLiteral("Timer")));

        Setup s; // as after a restart
        Profile *profile = s.profiles->profileAt(s.profiles->currentProfile());
        QVERIFY(profile && profile->isInitialized());
        QCOMPARE(profile->mailTimer()->interval(), 600000);
        profile->setIncomingServer(record(*s.serverManager, profile->incomingServerStr()));
        profile->setOutgoingServer(record(*s.serverManager, profile->outgoingServerStr()));
        // Nobody asks for mail: the timer does (made short here; the setting
        // cannot go below a minute).
        profile->mailTimer()->start(1500);
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 1, 10000);
    }

    void twoAccountsFetchIndependently()
    {
        servers.seed(MailServers::makeMessage(QStringLiteral("for-test@example.org"), QStringLiteral("T")));
        servers.seed(MailServers::makeMessage(QStringLiteral("for-other-1@example.org"), QStringLiteral("O1")),
                     QStringLiteral("other"));
        servers.seed(MailServers::makeMessage(QStringLiteral("for-other-2@example.org"), QStringLiteral("O2")),
                     QStringLiteral("other"));
        Setup s;
        Profile *first = addAccount(s, QStringLiteral("test@example.org"), QStringLiteral("test"),
                                    MailServers::password());
        Profile *second = addAccount(s, QStringLiteral("other@example.org"), QStringLiteral("other"),
                                     MailServers::password());
        s.profiles->initCurrentProfile(1); // starts the second account and checks it
        first->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(first->incomingModel()->count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second->incomingModel()->count(), 2, 20000);
        QVERIFY(first->connection() != second->connection());
        QVERIFY(QFile::exists(QDir::homePath()
                              + QStringLiteral("/.drel-mail/other@example.org/Incoming/for-other-2@example.org.eml")));
        QVERIFY(!QFile::exists(QDir::homePath()
                               + QStringLiteral("/.drel-mail/test@example.org/Incoming/for-other-2@example.org.eml")));
    }

    void sentLetterIsFiledAndDelivered()
    {
        Setup s;
        QSignalSpy errors(s.profiles.get(), &ProfileManager::error);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password());
        Letter *letter = profile->newLetter();
        letter->setFrom(QStringLiteral("Test User <test@example.org>"));
        letter->setToList({QStringLiteral("test@example.org:::Test User")});
        letter->setSubject(QStringLiteral("Round trip"));
        letter->setBodyList({QStringLiteral("<p>Hello there</p>")});
        letter->setBodyHtmlList({true});
        profile->sendNewLetter();
        // The compose form starts over at once; the letter sent is a copy.
        letter->clear();
        QVERIFY(waitReady(profile));
        QCOMPARE(errors.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(profile->sentModel()->count(), 1, 10000);
        QCOMPARE(profile->draftsModel()->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(servers.messages().size(), 1, 10000);
        QVERIFY(servers.messages().first().contains("Subject: Round trip"));

        // And it comes back in as mail.
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 1, 20000);
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
        Letter *letter = profile->newLetter();
        letter->setFrom(QStringLiteral("test@example.org"));
        letter->setToList({QStringLiteral("test@example.org:::")});
        letter->setSubject(QStringLiteral("Not lost"));
        letter->setBodyList({QStringLiteral("Keep me")});
        letter->setBodyHtmlList({false});
        profile->sendNewLetter();
        QTRY_VERIFY_WITH_TIMEOUT(errors.count() >= 1, 30000);
        QVERIFY(waitReady(profile, 30000));
        QVERIFY2(errors.first().first().toString().startsWith(QStringLiteral("Send mail error: ")),
                 qPrintable(errors.first().first().toString()));
        QCOMPARE(profile->sentModel()->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(profile->draftsModel()->count(), 1, 5000);
        auto *draft = qvariant_cast<Letter *>(profile->draftsModel()->index(0, 0).data(257));
        QVERIFY(draft);
        QCOMPARE(draft->subject(), QStringLiteral("Not lost"));
        QCOMPARE(servers.messages().size(), 0);
    }

    void certificateQuestionTravelsThroughTheServerManager()
    {
        servers.seed(MailServers::makeMessage(QStringLiteral("tls@example.org"), QStringLiteral("Tls")));
        Setup s;
        QSignalSpy question(s.serverManager.get(), &ServerManager::queryCertificateQml);
        Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                      MailServers::password(), SM::TLS_SSL, servers.imapsPort());
        profile->queryIncomingMail();
        QTRY_VERIFY_WITH_TIMEOUT(question.count() >= 1, 20000);
        QVERIFY(question.first().first().toString().contains(QStringLiteral("X.509")));
        // Answer every question the connect asks, as the user would.
        int answered = 0;
        QElapsedTimer timer;
        timer.start();
        while (profile->incomingModel()->count() < 1 && timer.elapsed() < 20000) {
            if (question.count() > answered) {
                ++answered;
                s.serverManager->certificateAnswerQml(true);
            }
            QTest::qWait(50);
        }
        QCOMPARE(profile->incomingModel()->count(), 1);
        QSettings settings;
        const QVariantList fingerprint = settings.value(
                QStringLiteral("servers/") + MailServers::address(servers.imapsPort())
                + QStringLiteral("/certificateFingerprint")).toList();
        QCOMPARE(fingerprint.size(), 20);
    }

    void removingAndEditingARecordInUse()
    {
        servers.seed(MailServers::makeMessage(QStringLiteral("first@example.org"), QStringLiteral("First")));
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
        QCOMPARE(profile->incomingServerStr(), renamed);
        QCOMPARE(QSettings().value(QStringLiteral("profiles/test@example.org/inServer")).toString(), renamed);
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 1, 20000);
        QVERIFY(waitReady(profile));

        // The record is removed while the account uses it: nothing dangles,
        // and the account goes on with what it had.
        s.serverManager->removeServer(recordIndex(*s.serverManager, renamed));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        servers.seed(MailServers::makeMessage(QStringLiteral("second@example.org"), QStringLiteral("Second")));
        profile->queryIncomingMail();
        QTRY_COMPARE_WITH_TIMEOUT(profile->incomingModel()->count(), 2, 20000);
        QVERIFY(waitReady(profile));
    }

    void quittingOrRemovingTheAccountWhileACheckRuns()
    {
        FaultServer silent;
        QVERIFY(silent.startSilent());
        {
            Setup s;
            Profile *profile = addAccount(s, QStringLiteral("test@example.org"), MailServers::user(),
                                          MailServers::password(), SM::NO_SSL, silent.port());
            addAccount(s, QStringLiteral("other@example.org"), QStringLiteral("other"),
                       MailServers::password(), SM::NO_SSL, silent.port());
            s.profiles->initCurrentProfile(1); // checks at once against the silent server
            profile->queryIncomingMail();
            QTest::qWait(300);
            QCOMPARE(profile->status(), Profile::RECIEVING_STATUS);
            // The account goes while its worker waits on the network.
            QElapsedTimer timer;
            timer.start();
            s.profiles->removeProfile(0);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(timer.elapsed() < 15000);
            // Quitting: everything goes while the other account's check runs.
            timer.restart();
            s.profiles.reset();
            s.serverManager.reset();
            QVERIFY(timer.elapsed() < 15000);
        }
    }
};

MAIL_TEST_MAIN(AccountMailTest)
#include "tst_accountmail.moc"
