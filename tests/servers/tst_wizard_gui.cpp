#include "accounts/profile.h"
#include "answers.h"
#include "fixtures.h"
#include "mailservers.h"
#include "model/letter.h"
#include "main/drel.h"
#include "main/startup.h"
#include "networknamespace.h"
#include "servers/incomingserver.h"
#include "servers/server.h"
#include "servers/servermanager.h"
#include "servers/wizard.h"
#include "testhome.h"
#include "window.h"

#include <QQuickItem>
#include <QtTest>

namespace SM = ServerKind;

namespace {
// The wizard looks for servers by host name on the standard ports; the
// test runs in a network namespace of its own where these names lead to the
// harness's servers.
const char hosts[] =
        "127.0.0.1 localhost\n"
        // every candidate answers
        "127.0.0.1 pop3.full.test pop.full.test imap4.full.test imap.full.test smtp.full.test\n"
        // only pop and smtp answer
        "127.0.0.1 pop.pop.test smtp.pop.test\n"
        // only an IMAP host and no SMTP host
        "127.0.0.1 imap.imaponly.test\n"
        // a name that leads nowhere
        "127.0.0.2 pop3.dead.test\n"
        // for the window's wizard: POP3 and SMTP
        "127.0.0.1 pop3.wiz.test smtp.wiz.test\n";

Server *serverAt(const ServerManager &manager, int index)
{
    return manager.servers().at(index).value<Server *>();
}
}

// Server records, and the wizard that finds them from an address alone.
class WizardTest : public QObject
{
    Q_OBJECT

public:
    bool isolated = false;

private:
    MailServers servers;
    MailWindow window;

    // Searches for the address and answers what the wizard asks as a user
    // would, until done() holds or the search ends: every certificate is
    // accepted and, with answerPassword, the password is the test user's.
    bool search(Wizard &wizard, const QString &email, const std::function<bool()> &done = {},
                bool answerPassword = true)
    {
        Answers answers(&wizard, answerPassword ? MailServers::password() : QString());
        wizard.setEmail(email);
        wizard.nextStep();
        return QTest::qWaitFor([&] { return done ? done() : wizard.currentStep() != Wizard::SEARCHING_STEP; },
                               60000);
    }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        if (isolated)
            QVERIFY(servers.start());
    }
    void cleanupTestCase() { servers.stop(); }
    void init()
    {
        QSettings().clear();
        QFile::remove(QSettings().fileName());
    }
    void cleanup() { window.stop(); }

    // Records as earlier versions store them; unknown kinds stay untouched.
    void recordsSavedAndLoaded()
    {
        ServerManager().addServer(SM::INCOMING_TYPE, SM::IMAP, SM::TLS_SSL, SM::SASL_AUTH,
                                   QStringLiteral("imap.example.org:993"));
        ServerManager().addServer(SM::Type(2), SM::IMAP, SM::NO_SSL, SM::NO_AUTH, QStringLiteral("x.example.org"));
        QSettings settings;
        for (const char *key : {"type=0", "protocol=1", "ssl=2", "auth=3"}) {
            const QStringList pair = QString::fromLatin1(key).split(QLatin1Char('='));
            QCOMPARE(settings.value("servers/imap.example.org:993/" + pair.at(0)).toString(), pair.at(1));
        }
        settings.setValue("servers/strange.example.org/type", 5);
        settings.sync();
        ServerManager loaded;
        QCOMPARE(loaded.servers().size(), 1);
        auto *in = qobject_cast<IncomingServer *>(serverAt(loaded, 0));
        QVERIFY(in);
        QCOMPARE(in->address(), QStringLiteral("imap.example.org:993"));
        QCOMPARE(in->ssl(), SM::TLS_SSL);
        QCOMPARE(in->auth(), SM::SASL_AUTH);
        QCOMPARE(QSettings().value("servers/strange.example.org/type").toInt(), 5);
    }

    // A changed address must not keep the certificate accepted for the old
    // one; a removed record is forgotten.
    void changeAndRemove()
    {
        ServerManager manager;
        manager.addServer(SM::INCOMING_TYPE, SM::POP3, SM::NO_SSL, SM::AUTO_AUTH, QStringLiteral("old.example.org"));
        manager.addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, SM::AUTO_AUTH, QStringLiteral("b.example.org"));
        QSettings().setValue("servers/old.example.org/certificateFingerprint", QVariantList{1, 2, 3});
        QPointer<Server> server = serverAt(manager, 0);
        manager.changeServer(0, SM::OUTGOING_TYPE, SM::IMAP, SM::TLS_SSL, SM::SIMPLE_AUTH,
                             QStringLiteral("new.example.org:993"));
        QCOMPARE(server->type(), SM::INCOMING_TYPE);
        QCOMPARE(Fixtures::settingsGroups("servers"), QStringList({"b.example.org", "new.example.org:993"}));
        QCOMPARE(QSettings().value("servers/new.example.org:993/ssl").toInt(), 2);
        QVERIFY(!QSettings().contains("servers/new.example.org:993/certificateFingerprint"));
        QCOMPARE(QSettings().value("servers/b.example.org/type").toInt(), 1);
        manager.removeServer(0);
        manager.removeServer(5); // no such item
        QCOMPARE(manager.servers().size(), 1);
        QTRY_VERIFY(server.isNull());
        QCOMPARE(Fixtures::settingsGroups("servers"), QStringList{"b.example.org"});
    }

    // Credentials typed into the address never reach the service URL.
    void serviceUrlWithoutCredentials()
    {
        IncomingServer server;
        server.setProtocol(SM::IMAP);
        server.setSsl(SM::TLS_SSL);
        server.setAddress(QStringLiteral("me:pw@imap.example.org:993"));
        QCOMPARE(server.serviceUrl(), QStringLiteral("imaps://imap.example.org:993"));
    }
    void addressWithoutDomainStartsNoSearch_data()
    {
        QTest::addColumn<QString>("email");
        QTest::newRow("blanks") << QStringLiteral("   ");
        QTest::newRow("no at") << QStringLiteral("someone");
        QTest::newRow("nothing after at") << QStringLiteral("someone@");
        QTest::newRow("nothing before at") << QStringLiteral("@example.org");
    }
    void addressWithoutDomainStartsNoSearch()
    {
        QFETCH(QString, email);
        Wizard wizard;
        QSignalSpy tests(&wizard, &Wizard::testConnection);
        wizard.setEmail(email);
        wizard.nextStep();
        QCOMPARE(wizard.currentStep(), Wizard::FOUND_STEP);
        QCOMPARE(tests.count(), 0);
        QVERIFY(!wizard.incomingServer() && !wizard.outgoingServer());
    }

    void candidatesInOrderWhenNothingAnswers()
    {
        Wizard wizard;
        search(wizard, QStringLiteral("me@nothing.invalid"));
        QCOMPARE(wizard.attemptedServers(), QStringList({"imap4.nothing.invalid", "imap.nothing.invalid",
                                                         "pop3.nothing.invalid", "pop.nothing.invalid",
                                                         "smtp.nothing.invalid"}));
        QCOMPARE(wizard.currentStep(), Wizard::FOUND_STEP);
        QVERIFY(!wizard.incomingServer() && !wizard.outgoingServer());
        QCOMPARE(wizard.login(), QStringLiteral("me"));
    }

    // The first candidate that connects ends the search of its direction.
    void findsTheFirstServersThatConnect_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<bool>("outgoing");
        QTest::newRow("all: IMAP before POP3") << "test@full.test" << QStringList{"imap4.full.test", "smtp.full.test"}
                                               << "imap4.full.test" << int(SM::IMAP) << true;
        QTest::newRow("pop only")
                << "test@pop.test"
                << QStringList{"imap4.pop.test", "imap.pop.test", "pop3.pop.test", "pop.pop.test", "smtp.pop.test"}
                << "pop.pop.test" << int(SM::POP3) << true;
        QTest::newRow("imap only")
                << "test@imaponly.test" << QStringList{"imap4.imaponly.test", "imap.imaponly.test", "smtp.imaponly.test"}
                << "imap.imaponly.test" << int(SM::IMAP) << false;
    }
    void findsTheFirstServersThatConnect()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        QFETCH(QString, email);
        QFETCH(QStringList, candidates);
        QFETCH(QString, incoming);
        QFETCH(int, protocol);
        QFETCH(bool, outgoing);
        Wizard wizard;
        search(wizard, email);
        QCOMPARE(wizard.attemptedServers(), candidates);
        QCOMPARE(wizard.currentStep(), Wizard::FOUND_STEP);
        QVERIFY(wizard.incomingServer());
        QCOMPARE(wizard.incomingServer()->address(), incoming);
        QCOMPARE(int(wizard.incomingServer()->protocol()), protocol);
        QCOMPARE(wizard.incomingServer()->ssl(), SM::TLS_SSL); // the probe settled on implicit TLS
        QCOMPARE(bool(wizard.outgoingServer()), outgoing);
        // The password given with "save" is kept; accepted certificates are
        // remembered per host.
        QCOMPARE(wizard.password(), MailServers::password());
        QVERIFY(wizard.savePassword());
        QCOMPARE(QSettings().value("servers/" + incoming + "/certificateFingerprint").toList().size(), 20);
        QPointer<Server> in = wizard.incomingServer();
        wizard.reset();
        QVERIFY(!in);
    }

    void movingOnOrResettingWhileAQuestionWaits()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        Wizard wizard;
        QSignalSpy certificates(&wizard, &Wizard::queryCertificateQml);
        wizard.setEmail(QStringLiteral("test@full.test"));
        wizard.nextStep();
        QTRY_COMPARE_WITH_TIMEOUT(certificates.count(), 1, 20000);
        // Skipping the server while its question is open refuses it and
        // tries the next candidate.
        wizard.tryNextServer();
        QTRY_VERIFY_WITH_TIMEOUT(certificates.count() >= 2, 20000);
        QCOMPARE(wizard.attemptedServers().mid(0, 2), QStringList({"imap4.full.test", "imap.full.test"}));
        QVERIFY(!QSettings().contains(QStringLiteral("servers/imap4.full.test/certificateFingerprint")));
        // Reset while the next question waits returns at once.
        QElapsedTimer timer;
        timer.start();
        wizard.reset();
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        search(wizard, QStringLiteral("test@full.test"));
        QVERIFY(wizard.incomingServer());
    }

    void refusedLoginStopsAtTheCandidate()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        Wizard wizard;
        QSignalSpy passwords(&wizard, &Wizard::queryPasswordQml);
        QSignalSpy failed(&wizard, &Wizard::authFailedQml);
        QSignalSpy results(&wizard, &Wizard::incomingServerQmlChanged);
        QVERIFY(search(wizard, QStringLiteral("test@full.test"), [&] { return passwords.count() >= 1; }, false));
        wizard.setPasswordQml(QStringLiteral("wrong"), false);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 20000);
        QCOMPARE(wizard.currentStep(), Wizard::SEARCHING_STEP);
        QCOMPARE(wizard.serverUnderTest(), QStringLiteral("imap4.full.test"));
        // Trying the same server again asks for the login and password anew.
        QSignalSpy logins(&wizard, &Wizard::queryUsernameQml);
        wizard.tryCurrentServer();
        QTRY_COMPARE_WITH_TIMEOUT(logins.count(), 1, 20000);
        wizard.setUsernameQml(MailServers::user(), true);
        QTRY_COMPARE_WITH_TIMEOUT(passwords.count(), 2, 20000);
        wizard.setPasswordQml(MailServers::password(), false);
        QTRY_COMPARE_WITH_TIMEOUT(results.count(), 1, 20000);
        QCOMPARE(wizard.incomingServer()->address(), QStringLiteral("imap4.full.test"));
        wizard.reset();
    }

    // A first start in the window: the wizard sets up the account from
    // nothing but an address, the password and a name, and the account then
    // fetches its mail.
    void firstStartSetsUpAnAccountThatFetches()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        servers.clearMailbox();
        servers.seed(MailServers::makeMessage("first@wiz.test", "Welcome"));
        QVERIFY(window.start());
        QVERIFY(window.typeInto("wizardForm", "wizardEmailField", "test@wiz.test"));
        QVERIFY(window.click("wizardForm", "wizardNextButton"));
        QQuickItem *wizardForm = window.item("wizardForm");
        QVERIFY(window.answerUntil([&] { return wizardForm->property("step").toInt() == 2; }, MailServers::password()));
        window.screenshot("wizard-found");
        QCOMPARE(window.text("wizardIncomingAddress", wizardForm), QString("pop3.wiz.test"));
        QCOMPARE(window.text("wizardOutgoingAddress", wizardForm), QString("smtp.wiz.test"));
        QVERIFY(window.click("wizardForm", "wizardNextButton"));
        QVERIFY(window.typeInto("wizardForm", "wizardNameField", "Test User"));
        QVERIFY(window.click("wizardForm", "wizardNextButton"));
        QVERIFY(window.gone("wizardForm"));
        QCOMPARE(QSettings().value("profiles/test@wiz.test/name").toString(), QString("Test User"));

        // A second later the new account fetches the waiting letter.
        QVERIFY(window.answerUntil([&] {
            Profile *profile = window.profile();
            return profile && profile->folder(Letter::IncomingFolder)
                    && profile->folder(Letter::IncomingFolder)->rowCount() == 1;
        }, MailServers::password()));
    }
};

int main(int argc, char *argv[])
{
    return NetworkNamespace::run<WizardTest>(argc, argv, hosts);
}

#include "tst_wizard_gui.moc"
