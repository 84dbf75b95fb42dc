#include "mailservers.h"
#include "main/drel.h"
#include "main/startup.h"
#include "servers/server.h"
#include "servers/servermanager.h"
#include "servers/wizard.h"
#include "testhome.h"

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

#include <vmime/platforms/posix/posixHandler.hpp>

using SM = ServerManager;

namespace {
// The wizard looks for servers by host name on the standard ports. As root,
// the test runs in network and mount namespaces of its own: a private
// loopback where the servers take the standard ports, and a hosts file that
// names them.
const char inNamespace[] = "--in-wizard-namespace";

const char hosts[] =
        "127.0.0.1 localhost\n"
        // every candidate answers
        "127.0.0.1 pop3.full.test pop.full.test imap4.full.test imap.full.test smtp.full.test\n"
        // no pop3 host; pop, imap and smtp answer
        "127.0.0.1 pop.pop.test imap4.pop.test imap.pop.test smtp.pop.test\n"
        // only an IMAP host and no SMTP host
        "127.0.0.1 imap.imaponly.test\n"
        // a name that leads nowhere
        "127.0.0.2 pop3.dead.test\n";

bool enterNamespaceSetup(const QString &hostsFile)
{
    QFile f(hostsFile);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(hosts);
    f.close();
    auto run = [](const QString &program, const QStringList &args) {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    return run(QStringLiteral("ip"), {"link", "set", "lo", "up"})
            && run(QStringLiteral("mount"), {"--bind", hostsFile, "/etc/hosts"});
}
}

class WizardTest : public QObject
{
    Q_OBJECT

public:
    bool isolated = false;

private:
    MailServers servers;

    // Answers what the wizard asks, as a user would: every certificate is
    // accepted, the password is the test user's.
    void answerQuestions(Wizard &wizard, QSignalSpy &certificates, QSignalSpy &passwords, int &cert, int &pass)
    {
        while (certificates.count() > cert) {
            ++cert;
            wizard.certificateAnswerQml(true);
        }
        while (passwords.count() > pass) {
            ++pass;
            wizard.setPasswordQml(MailServers::password(), true);
        }
    }

    QStringList search(Wizard &wizard, const QString &email, int timeout = 60000)
    {
        QSignalSpy certificates(&wizard, &Wizard::queryCertificateQml);
        QSignalSpy passwords(&wizard, &Wizard::queryPasswordQml);
        int cert = 0, pass = 0;
        wizard.setEmail(email);
        wizard.nextStep();
        QElapsedTimer timer;
        timer.start();
        while (wizard.currentStep() == Wizard::SEARCHING_STEP && timer.elapsed() < timeout) {
            answerQuestions(wizard, certificates, passwords, cert, pass);
            QTest::qWait(20);
        }
        return wizard.attemptedServers();
    }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        if (isolated) {
            qputenv("MAIL_STANDARD_PORTS", "1");
            QVERIFY(servers.start());
        }
    }

    void cleanupTestCase() { servers.stop(); }

    void init()
    {
        QFile::remove(QSettings().fileName());
    }

    void addressWithoutDomainStartsNoSearch_data()
    {
        QTest::addColumn<QString>("email");
        QTest::newRow("empty") << QString();
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
        QSignalSpy step(&wizard, &Wizard::currentStepChanged);
        wizard.setEmail(email);
        wizard.nextStep();
        QCOMPARE(wizard.currentStep(), Wizard::FOUND_STEP);
        QCOMPARE(step.count(), 2); // searching, then found
        QCOMPARE(tests.count(), 0);
        QVERIFY(!wizard.incomingServer() && !wizard.outgoingServer());
        wizard.nextStep();
        QCOMPARE(wizard.currentStep(), Wizard::NAME_STEP);
        wizard.reset();
        QCOMPARE(wizard.currentStep(), Wizard::EMAIL_STEP);
    }

    void candidatesInOrderWhenNothingAnswers()
    {
        Wizard wizard;
        const QStringList tried = search(wizard, QStringLiteral("me@nothing.invalid"));
        QCOMPARE(wizard.currentStep(), Wizard::FOUND_STEP);
        QCOMPARE(tried, QStringList({"pop3.nothing.invalid", "pop.nothing.invalid", "imap4.nothing.invalid",
                                     "imap.nothing.invalid", "smtp.nothing.invalid"}));
        QVERIFY(!wizard.incomingServer());
        QVERIFY(!wizard.outgoingServer());
        QCOMPARE(wizard.login(), QStringLiteral("me"));
        QVERIFY(wizard.saveLogin());
        QVERIFY(!wizard.savePassword());
    }

    void findsTheFirstServersThatConnect()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        Wizard wizard;
        QSignalSpy incoming(&wizard, &Wizard::incomingServerQmlChanged);
        QSignalSpy outgoing(&wizard, &Wizard::outgoingServerQmlChanged);
        const QStringList tried = search(wizard, QStringLiteral("test@full.test"));
        QCOMPARE(wizard.currentStep(), Wizard::FOUND_STEP);
        // A working POP3 server ends the incoming search.
        QCOMPARE(tried, QStringList({"pop3.full.test", "smtp.full.test"}));
        QVERIFY(wizard.incomingServer());
        QCOMPARE(wizard.incomingServer()->address(), QStringLiteral("pop3.full.test"));
        QCOMPARE(wizard.incomingServer()->protocol(), SM::POP3);
        // The probe settled on implicit TLS.
        QCOMPARE(wizard.incomingServer()->ssl(), SM::TLS_SSL);
        QVERIFY(wizard.outgoingServer());
        QCOMPARE(wizard.outgoingServer()->address(), QStringLiteral("smtp.full.test"));
        QCOMPARE(wizard.outgoingServer()->protocol(), SM::SMTP);
        QCOMPARE(wizard.outgoingServer()->ssl(), SM::TLS_SSL);
        QCOMPARE(incoming.count(), 1);
        QCOMPARE(outgoing.count(), 1);
        // The password given with "save" is kept for the account.
        QCOMPARE(wizard.password(), MailServers::password());
        QVERIFY(wizard.savePassword());
        // Accepted certificates are remembered per host.
        QSettings settings;
        QCOMPARE(settings.value("servers/pop3.full.test/certificateFingerprint").toList().size(), 20);

        // reset() after a search deletes both proposals and says so.
        QPointer<Server> in = wizard.incomingServer();
        wizard.reset();
        QVERIFY(!in);
        QVERIFY(!wizard.incomingServer() && !wizard.outgoingServer());
        QCOMPARE(incoming.count(), 2);
        QCOMPARE(outgoing.count(), 2);
        QCOMPARE(wizard.currentStep(), Wizard::EMAIL_STEP);
    }

    void workingPopHostEndsTheIncomingSearch()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        Wizard wizard;
        const QStringList tried = search(wizard, QStringLiteral("test@pop.test"));
        QCOMPARE(tried, QStringList({"pop3.pop.test", "pop.pop.test", "smtp.pop.test"}));
        QCOMPARE(wizard.incomingServer()->address(), QStringLiteral("pop.pop.test"));
        QVERIFY(wizard.outgoingServer());
    }

    void imapWhenThereIsNoPop()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        Wizard wizard;
        const QStringList tried = search(wizard, QStringLiteral("test@imaponly.test"));
        QCOMPARE(tried, QStringList({"pop3.imaponly.test", "pop.imaponly.test", "imap4.imaponly.test",
                                     "imap.imaponly.test", "smtp.imaponly.test"}));
        QVERIFY(wizard.incomingServer());
        QCOMPARE(wizard.incomingServer()->protocol(), SM::IMAP);
        QCOMPARE(wizard.incomingServer()->address(), QStringLiteral("imap.imaponly.test"));
        QVERIFY(!wizard.outgoingServer());
    }

    void movingOnOrResettingWhileAQuestionWaits()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        QSettings().remove(QStringLiteral("servers"));
        Wizard wizard;
        QSignalSpy certificates(&wizard, &Wizard::queryCertificateQml);
        wizard.setEmail(QStringLiteral("test@full.test"));
        wizard.nextStep();
        QTRY_COMPARE_WITH_TIMEOUT(certificates.count(), 1, 20000);

        // The user skips this server while its certificate question is open:
        // the wait ends with a refusal and the next candidate is tried.
        wizard.tryNextServer();
        QTRY_VERIFY_WITH_TIMEOUT(certificates.count() >= 2, 20000);
        QCOMPARE(wizard.attemptedServers().mid(0, 2), QStringList({"pop3.full.test", "pop.full.test"}));
        QVERIFY(!QSettings().contains(QStringLiteral("servers/pop3.full.test/certificateFingerprint")));

        // Reset while the next question waits returns at once.
        QElapsedTimer timer;
        timer.start();
        wizard.reset();
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(wizard.currentStep(), Wizard::EMAIL_STEP);

        // And the wizard can search again.
        const QStringList again = search(wizard, QStringLiteral("test@full.test"));
        QCOMPARE(wizard.currentStep(), Wizard::FOUND_STEP);
        QVERIFY(wizard.incomingServer());
    }

    void refusedLoginStopsAtTheCandidate()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        Wizard wizard;
        QSignalSpy certificates(&wizard, &Wizard::queryCertificateQml);
        QSignalSpy passwords(&wizard, &Wizard::queryPasswordQml);
        QSignalSpy failed(&wizard, &Wizard::authFailedQml);
        QSignalSpy results(&wizard, &Wizard::incomingServerQmlChanged);
        wizard.setEmail(QStringLiteral("test@full.test"));
        wizard.nextStep();
        QElapsedTimer timer;
        timer.start();
        int cert = 0;
        while (passwords.count() < 1 && timer.elapsed() < 20000) {
            while (certificates.count() > cert) {
                ++cert;
                wizard.certificateAnswerQml(true);
            }
            QTest::qWait(20);
        }
        QCOMPARE(passwords.count(), 1);
        wizard.setPasswordQml(QStringLiteral("wrong"), false);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 20000);
        QCOMPARE(wizard.currentStep(), Wizard::SEARCHING_STEP);
        QCOMPARE(wizard.serverUnderTest(), QStringLiteral("pop3.full.test"));

        // Trying the same server again asks for the login and password anew.
        QSignalSpy logins(&wizard, &Wizard::queryUsernameQml);
        wizard.tryCurrentServer();
        QTRY_COMPARE_WITH_TIMEOUT(logins.count(), 1, 20000);
        wizard.setUsernameQml(MailServers::user(), true);
        QTRY_COMPARE_WITH_TIMEOUT(passwords.count(), 2, 20000);
        wizard.setPasswordQml(MailServers::password(), false);
        QTRY_COMPARE_WITH_TIMEOUT(results.count(), 1, 20000);
        QCOMPARE(wizard.incomingServer()->address(), QStringLiteral("pop3.full.test"));
        wizard.reset();
    }
};

int main(int argc, char *argv[])
{
    const bool isolated = argc > 1 && qstrcmp(argv[argc - 1], inNamespace) == 0;
    if (!isolated && ::getuid() == 0 && qEnvironmentVariableIsEmpty("MAIL_NO_NAMESPACE")) {
        // Run again inside namespaces of our own; the private home and
        // temporary folder carry over through the environment.
        TestHome::prepare();
        QStringList args;
        args << QStringLiteral("--mount") << QStringLiteral("--net") << QStringLiteral("--propagation")
             << QStringLiteral("private") << QString::fromLocal8Bit(argv[0]);
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        args << QString::fromLatin1(inNamespace);
        const QString marker = QDir::tempPath() + QStringLiteral("/wizard-namespace-ready");
        QFile::remove(marker);
        int exitCode = 1;
        {
            QCoreApplication app(argc, argv);
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QStringLiteral("unshare"), args);
            if (child.waitForStarted(10000) && child.waitForFinished(-1)
                    && child.exitStatus() == QProcess::NormalExit)
                exitCode = child.exitCode();
        }
        // The child marks a namespace that it could set up; without one (no
        // unshare, no permission) the test runs here, with the cases that
        // need the standard ports skipped.
        if (QFile::exists(marker))
            return exitCode;
        std::fprintf(stderr, "no network namespace of its own; running without one\n");
    }
    TestHome::prepare();
    if (isolated) {
        --argc; // QTest must not see the marker
        if (!enterNamespaceSetup(QDir::tempPath() + QStringLiteral("/hosts"))) {
            std::fprintf(stderr, "cannot set up the test's network namespace\n");
            return 1;
        }
        QFile ready(QDir::tempPath() + QStringLiteral("/wizard-namespace-ready"));
        ready.open(QIODevice::WriteOnly);
    }
    QApplication app(argc, argv);
    WizardTest test;
    test.isolated = isolated;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wizard.moc"
