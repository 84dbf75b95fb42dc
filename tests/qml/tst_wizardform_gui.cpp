#include "formdriver.h"
#include "mailservers.h"
#include "networknamespace.h"
#include "profile.h"
#include "proxymodel.h"
#include "testhome.h"
#include "window.h"

#include <QQuickItem>
#include <QSettings>
#include <QtTest>

namespace {
// In the test's own network namespace these names lead to the harness's
// servers on the standard ports.
const char hosts[] = "127.0.0.1 localhost\n"
                     "127.0.0.1 pop3.wiz.test smtp.wiz.test\n";
}

// A first start: the wizard sets up the account from nothing but an address,
// the password and a name, and the account then fetches its mail.
class WizardFormTest : public QObject
{
    Q_OBJECT

public:
    bool isolated = false;

private:
    MailServers servers;
    MailWindow window;
    FormDriver form{window};

private slots:
    void initTestCase()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        TestHome::prepareProgram();
        QVERIFY(servers.start());
        servers.seed(MailServers::makeMessage(QStringLiteral("first@wiz.test"), QStringLiteral("Welcome")));
    }

    void cleanupTestCase() { servers.stop(); }

    void firstStartSetsUpAnAccountThatFetches()
    {
        QVERIFY(window.start());
        QVERIFY(form.shown(QStringLiteral("wizardForm")));
        QCOMPARE(form.in(QStringLiteral("wizardForm"), QStringLiteral("formTitle"))->property("text").toString(),
                 QStringLiteral("Wizard: step 1 of 3"));
        QVERIFY(form.typeInto(QStringLiteral("wizardForm"), QStringLiteral("wizardEmailField"), QStringLiteral("test@wiz.test")));
        QVERIFY(form.click(QStringLiteral("wizardForm"), QStringLiteral("wizardNextButton")));

        QQuickItem *wizardForm = window.item(QStringLiteral("wizardForm"));
        QVERIFY(form.answerUntil([&] { return wizardForm->property("step").toInt() == 2; }, MailServers::password()));
        window.screenshot(QStringLiteral("wizard-found"));
        QCOMPARE(form.in(QStringLiteral("wizardForm"), QStringLiteral("wizardIncomingAddress"))->property("text").toString(),
                 QStringLiteral("pop3.wiz.test"));
        QCOMPARE(form.in(QStringLiteral("wizardForm"), QStringLiteral("wizardOutgoingAddress"))->property("text").toString(),
                 QStringLiteral("smtp.wiz.test"));
        QVERIFY(form.click(QStringLiteral("wizardForm"), QStringLiteral("wizardNextButton")));
        QVERIFY(form.typeInto(QStringLiteral("wizardForm"), QStringLiteral("wizardNameField"), QStringLiteral("Test User")));
        QVERIFY(form.click(QStringLiteral("wizardForm"), QStringLiteral("wizardNextButton")));
        QVERIFY(form.gone(QStringLiteral("wizardForm")));

        QSettings settings;
        QCOMPARE(settings.value(QStringLiteral("profiles/test@wiz.test/name")).toString(), QStringLiteral("Test User"));
        QCOMPARE(settings.value(QStringLiteral("profiles/test@wiz.test/inServer")).toString(), QStringLiteral("pop3.wiz.test"));
        QCOMPARE(settings.value(QStringLiteral("profiles/test@wiz.test/outServer")).toString(), QStringLiteral("smtp.wiz.test"));

        // A second later the new account fetches the waiting letter.
        QObject *manager = window.object(QStringLiteral("mailProfileManager"));
        auto profile = [&] {
            return qobject_cast<Profile *>(manager->property("profiles").toList().value(0).value<QObject *>());
        };
        QVERIFY(form.answerUntil([&] { return profile() && profile()->incomingModel()
                                         && profile()->incomingModel()->rowCount() == 1; },
                                   MailServers::password()));
    }
};

int main(int argc, char *argv[])
{
    bool isolated = false;
    const int namespacedRun = NetworkNamespace::enter(argc, argv, hosts, isolated);
    if (namespacedRun >= 0)
        return namespacedRun;
    QApplication app(argc, argv);
    WizardFormTest test;
    test.isolated = isolated;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wizardform_gui.moc"
