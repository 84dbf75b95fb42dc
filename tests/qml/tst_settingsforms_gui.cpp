#include "formdriver.h"
#include "profile.h"
#include "testhome.h"
#include "window.h"

#include <QQuickItem>
#include <QSettings>
#include <QtTest>

// Accounts, servers and the global mail options as a user edits them in the
// settings forms, down to what reaches the settings store.
class SettingsFormsTest : public QObject
{
    Q_OBJECT

    MailWindow window;
    FormDriver form{window};

    static QStringList groups(const QString &group)
    {
        QSettings settings;
        settings.beginGroup(group);
        return settings.childGroups();
    }
    static QVariant stored(const QString &key) { return QSettings().value(key); }

    // A user who already has the account bob@example.org.
    void restartWithAccount()
    {
        MailWindow::addServer(0, 1, 0, 0, "imap.example.org");
        MailWindow::addServer(1, 2, 0, 0, "smtp.example.org");
        MailWindow::addAccount("bob@example.org", "Bob", QString(), QString(), QString(), QString());
        window.stop();
        QVERIFY(window.start());
    }
    void openManagement(const QString &row)
    {
        QVERIFY(window.click(window.item("settingsButton")));
        QVERIFY(form.click("settingsForm", row));
    }
    void addServer(const QString &address, bool outgoing = false)
    {
        QVERIFY(form.click("managementForm", "managementAddButton"));
        if (outgoing)
            QVERIFY(form.choose("serverForm", "serverTypeChooser", "Outgoing"));
        QVERIFY(form.typeInto("serverForm", "serverAddressField", address));
        QVERIFY(form.click("serverForm", "serverOkButton"));
    }

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    void init()
    {
        MailWindow::clearUserData();
        QVERIFY(window.start());
        // An empty store greets the user with the wizard, not wanted here.
        QVERIFY(form.close("wizardForm", "wizardCancelButton"));
    }

    void cleanup() { window.stop(); }

    void serversAreAddedEditedAndRemoved()
    {
        openManagement("serverManagementItem");
        addServer("imap.example.org");
        addServer("smtp.example.org", true);
        QCOMPARE(groups("servers"), QStringList({"imap.example.org", "smtp.example.org"}));
        // Outgoing turned the protocol to SMTP on its own.
        QCOMPARE(stored("servers/smtp.example.org/protocol").toInt(), 2);

        QVERIFY(window.click(window.textItem("imap.example.org")));
        QVERIFY(form.click("managementForm", "managementEditButton"));
        QVERIFY(form.choose("serverForm", "serverProtocolChooser", "IMAP"));
        QVERIFY(form.typeInto("serverForm", "serverAddressField", "mail.example.org"));
        QVERIFY(form.click("serverForm", "serverOkButton"));
        QVERIFY(window.waitFor([] { return groups("servers").contains("mail.example.org"); }));
        QCOMPARE(stored("servers/mail.example.org/protocol").toInt(), 1);
        QVERIFY(window.textItem("mail.example.org"));

        QVERIFY(form.click("managementForm", "managementRemoveButton"));
        QCOMPARE(form.message(), QString("Are you really want to delete server mail.example.org?"));
        QVERIFY(form.answer(true));
        QCOMPARE(groups("servers"), QStringList({"smtp.example.org"}));
    }

    void profilesAreAddedEditedAndRemoved()
    {
        restartWithAccount();
        openManagement("profileManagementItem");
        QVERIFY(form.click("managementForm", "managementAddButton"));
        QVERIFY(form.typeInto("profileForm", "profileNameField", "Ann Lee"));
        QVERIFY(form.typeInto("profileForm", "profileEmailField", "ann@example.org"));
        QVERIFY(form.click("profileForm", "profileOkButton"));
        QVERIFY(window.waitFor([] { return groups("profiles").size() == 2; }));
        QCOMPARE(stored("profiles/ann@example.org/name").toString(), QString("Ann Lee"));
        QCOMPARE(stored("profiles/ann@example.org/inServer").toString(), QString("imap.example.org"));

        // A changed address re-points the account: its record moves.
        QVERIFY(window.click(window.textItem("ann@example.org")));
        QVERIFY(form.click("managementForm", "managementEditButton"));
        QVERIFY(form.typeInto("profileForm", "profileEmailField", "ann.lee@example.org"));
        QVERIFY(form.click("profileForm", "profileOkButton"));
        QVERIFY(window.waitFor([] { return groups("profiles").contains("ann.lee@example.org"); }));
        QVERIFY(!groups("profiles").contains("ann@example.org"));
        QCOMPARE(stored("profiles/ann.lee@example.org/inServer").toString(), QString("imap.example.org"));
        QVERIFY(window.textItem("ann.lee@example.org"));

        QVERIFY(form.click("managementForm", "managementRemoveButton"));
        QCOMPARE(form.message(), QString("Are you really want to delete profile ann.lee@example.org?"));
        QVERIFY(form.answer(true));
        QVERIFY(window.waitFor([] { return groups("profiles") == QStringList({"bob@example.org"}); }));
    }

    // A refused entry leaves the form open with what was typed, and stores
    // nothing.
    void refusedEntryKeepsTheForm_data()
    {
        QTest::addColumn<QString>("management");
        QTest::addColumn<QString>("editForm");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        const QString servers = "serverManagementItem", profiles = "profileManagementItem";
        QTest::newRow("empty server") << servers << "serverForm" << "serverAddressField" << "  " << "Address cannot be empty!";
        QTest::newRow("taken server") << servers << "serverForm" << "serverAddressField" << "smtp.example.org"
                                      << "Server with this address already exist!";
        QTest::newRow("empty email") << profiles << "profileForm" << "profileEmailField" << "" << "Email cannot be empty!";
        QTest::newRow("taken email") << profiles << "profileForm" << "profileEmailField" << "bob@example.org"
                                     << "Profile with this email already exist!";
    }

    void refusedEntryKeepsTheForm()
    {
        QFETCH(QString, management);
        QFETCH(QString, editForm);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        restartWithAccount();
        openManagement(management);
        QVERIFY(form.click("managementForm", "managementAddButton"));
        QVERIFY(form.typeInto(editForm, field, typed));
        QVERIFY(form.click(editForm, editForm == "serverForm" ? "serverOkButton" : "profileOkButton"));
        QCOMPARE(form.message(), expected);
        QVERIFY(form.answer(true));
        QVERIFY(form.shown(editForm));
        QCOMPARE(form.text(editForm, field), typed);
        QCOMPARE(groups("servers").size(), 2);
        QCOMPARE(groups("profiles").size(), 1);
    }

    void mailSettingsReachTheStoreAndTheAccounts()
    {
        restartWithAccount();
        QVERIFY(window.click(window.item("settingsButton")));
        QVERIFY(form.click("settingsForm", "mailSettingsItem"));

        QVERIFY(form.click("settingsMailForm", "storeLimitItem"));
        QVERIFY(form.pick("Store up to 1000 messages in folder"));
        QVERIFY(window.waitForShown("spinPathBoxForm"));
        window.key(Qt::Key_Down);
        QVERIFY(form.close("spinPathBoxForm", "okButton"));
        QVERIFY(window.waitFor([] { return stored("global/storeMessagesCount").toInt() == 1001; }));
        QVERIFY(window.textItem("Store up to 1001 messages in folder"));

        QVERIFY(form.click("settingsMailForm", "intervalItem"));
        QVERIFY(window.waitForShown("spinPathBoxForm"));
        window.key(Qt::Key_Down);
        QVERIFY(form.close("spinPathBoxForm", "okButton"));
        QVERIFY(window.waitFor([] { return stored("global/getMailTimerInterval").toInt() == 6 * 60000; }));
        QVERIFY(window.textItem("Get new messages every 6 minute(s)"));

        QVERIFY(form.click("settingsMailForm", "serverDeletionItem"));
        QVERIFY(form.pick("Delete received messages from server"));
        QVERIFY(window.waitFor([] { return stored("global/deleteFromServer").toBool(); }));

        QObject *manager = window.object("mailProfileManager");
        auto *profile = qobject_cast<Profile *>(manager->property("profiles").toList().value(0).value<QObject *>());
        QVERIFY(profile);
        // The running account checks at the new interval.
        QCOMPARE(profile->mailTimer()->interval(), 6 * 60000);
    }

    // At every scale and in tablet mode each form shows its buttons inside
    // the window.
    void formsFitTheWindow_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<bool>("tablet");
        QTest::newRow("1.0") << 1.0 << false;
        QTest::newRow("1.5") << 1.5 << false;
        QTest::newRow("tablet") << 1.0 << true;
    }

    void formsFitTheWindow()
    {
        QFETCH(double, dpi);
        QFETCH(bool, tablet);
        restartWithAccount();
        window.stop();
        const MailWindow::Options options{tablet, false, dpi, int(1000 * dpi), int(640 * dpi)};
        QVERIFY(window.start(options));
        auto fits = [&](const QString &name, const QString &button) {
            if (!name.isEmpty() && !form.shown(name))
                return false;
            QTest::qWait(300);
            window.screenshot(name + '-' + QTest::currentDataTag());
            QQuickItem *b = name.isEmpty() ? window.item(button) : form.in(name, button);
            return window.isShown(b) && QRectF(0, 0, options.width, options.height)
                    .contains(b->mapRectToScene(QRectF(0, 0, b->width(), b->height())));
        };
        QVERIFY(window.click(window.item("settingsButton")));
        QVERIFY(fits("settingsForm", "settingsCloseButton"));
        QVERIFY(form.click("settingsForm", "serverManagementItem"));
        QVERIFY(form.click("managementForm", "managementAddButton"));
        QVERIFY(fits("serverForm", "serverOkButton"));
        QVERIFY(form.close("serverForm", "serverCloseButton"));
        QVERIFY(form.close("managementForm", "managementCloseButton"));
        QVERIFY(form.click("settingsForm", "profileManagementItem"));
        QVERIFY(fits("managementForm", "managementWizardButton"));
        QVERIFY(window.click(window.textItem("bob@example.org")));
        QVERIFY(form.click("managementForm", "managementEditButton"));
        QVERIFY(fits("profileForm", "profileOkButton"));
        QVERIFY(form.close("profileForm", "profileCloseButton"));
        QVERIFY(form.click("managementForm", "managementWizardButton"));
        QVERIFY(fits("wizardForm", "wizardNextButton"));
        QVERIFY(form.close("wizardForm", "wizardCancelButton"));
        QVERIFY(form.click("settingsForm", "mailSettingsItem"));
        QVERIFY(fits("settingsMailForm", "mailSettingsCloseButton"));
        QVERIFY(form.close("settingsMailForm", "mailSettingsCloseButton"));
        QVERIFY(form.close("settingsForm", "settingsCloseButton"));
        QVERIFY(window.click(window.item("newLetterButton")));
        QVERIFY(fits("newMailForm", "sendButton"));
        QVERIFY(form.click("newMailForm", "linkButton"));
        QVERIFY(fits("linkForm", "linkOkButton"));
        QVERIFY(form.close("linkForm", "linkCloseButton"));
        QVERIFY(form.click("newMailForm", "colorButton"));
        QVERIFY(fits(QString(), "colorCell_yellow"));
    }
};

MAIL_TEST_MAIN(SettingsFormsTest)
#include "tst_settingsforms_gui.moc"
