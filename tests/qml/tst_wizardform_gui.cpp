#include "accounts/profile.h"
#include "model/letter.h"
#include "mailservers.h"
#include "networknamespace.h"
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

private slots:
    void initTestCase()
    {
        if (!isolated)
            QSKIP("needs root for a network namespace of its own");
        TestHome::prepareProgram();
        QVERIFY(servers.start());
        servers.seed(MailServers::makeMessage("first@wiz.test", "Welcome"));
    }

    void firstStartSetsUpAnAccountThatFetches()
    {
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
            return profile && profile->folder(Letter::IncomingFolder) && profile->folder(Letter::IncomingFolder)->rowCount() == 1;
        }, MailServers::password()));
    }
};

int main(int argc, char *argv[])
{
    return NetworkNamespace::run<WizardFormTest>(argc, argv, hosts);
}

#include "tst_wizardform_gui.moc"
