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

    void openManagement(const QString &row)
    {
        window.call(QStringLiteral("settingsForm"), "show", {QStringLiteral("Settings")});
        QVERIFY(form.click(QStringLiteral("settingsForm"), row));
        QVERIFY(form.shown(QStringLiteral("managementForm")));
    }

    void addServer(const QString &address, bool outgoing = false)
    {
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementAddButton")));
        if (outgoing)
            QVERIFY(form.choose(QStringLiteral("serverForm"), QStringLiteral("serverTypeChooser"),
                                QStringLiteral("Outgoing")));
        QVERIFY(form.typeInto(QStringLiteral("serverForm"), QStringLiteral("serverAddressField"), address));
        QVERIFY(form.click(QStringLiteral("serverForm"), QStringLiteral("serverOkButton")));
    }

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    void init()
    {
        MailWindow::clearUserData();
        QVERIFY(window.start());
        // An empty store greets the user with the wizard; these tests go
        // the manual way.
        QVERIFY(form.click(QStringLiteral("wizardForm"), QStringLiteral("wizardCancelButton")));
        QVERIFY(form.gone(QStringLiteral("wizardForm")));
    }

    void cleanup() { window.stop(); }

    void serversAreAddedEditedAndRemoved()
    {
        openManagement(QStringLiteral("serverManagementItem"));
        addServer(QStringLiteral("imap.example.org"));
        addServer(QStringLiteral("smtp.example.org"), true);
        QCOMPARE(groups(QStringLiteral("servers")), QStringList({"imap.example.org", "smtp.example.org"}));
        // Outgoing turned the protocol to SMTP on its own.
        QCOMPARE(stored(QStringLiteral("servers/smtp.example.org/protocol")).toInt(), 2);
        QCOMPARE(stored(QStringLiteral("servers/smtp.example.org/type")).toInt(), 1);

        QVERIFY(window.click(window.textItem(QStringLiteral("imap.example.org"))));
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementEditButton")));
        QVERIFY(form.choose(QStringLiteral("serverForm"), QStringLiteral("serverProtocolChooser"), QStringLiteral("IMAP")));
        QVERIFY(form.typeInto(QStringLiteral("serverForm"), QStringLiteral("serverAddressField"), QStringLiteral("mail.example.org")));
        QVERIFY(form.click(QStringLiteral("serverForm"), QStringLiteral("serverOkButton")));
        QVERIFY(window.waitFor([] { return groups(QStringLiteral("servers")).contains(QStringLiteral("mail.example.org")); }));
        QCOMPARE(stored(QStringLiteral("servers/mail.example.org/protocol")).toInt(), 1);
        // The list shows the new address.
        QVERIFY(window.textItem(QStringLiteral("mail.example.org")));

        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementRemoveButton")));
        QCOMPARE(form.message(), QStringLiteral("Are you really want to delete server mail.example.org?"));
        QVERIFY(form.answer(false));
        QCOMPARE(groups(QStringLiteral("servers")).size(), 2);
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementRemoveButton")));
        QVERIFY(!form.message().isEmpty());
        QVERIFY(form.answer(true));
        QCOMPARE(groups(QStringLiteral("servers")), QStringList({"smtp.example.org"}));
    }

    void refusedServerKeepsTheFormOpen_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QStringLiteral("   ") << QStringLiteral("Address cannot be empty!");
        QTest::newRow("taken") << QStringLiteral("pop.example.org") << QStringLiteral("Server with this address already exist!");
    }

    void refusedServerKeepsTheFormOpen()
    {
        QFETCH(QString, address);
        QFETCH(QString, expected);
        openManagement(QStringLiteral("serverManagementItem"));
        addServer(QStringLiteral("pop.example.org"));
        addServer(address);
        QCOMPARE(form.message(), expected);
        QVERIFY(form.answer(true));
        QVERIFY(form.shown(QStringLiteral("serverForm")));
        QCOMPARE(form.text(QStringLiteral("serverForm"), QStringLiteral("serverAddressField")), address);
        QCOMPARE(groups(QStringLiteral("servers")), QStringList({"pop.example.org"}));
    }

    void profilesAreAddedEditedAndRemoved()
    {
        MailWindow::addServer(0, 1, 0, 0, QStringLiteral("imap.example.org"));
        MailWindow::addServer(1, 2, 0, 0, QStringLiteral("smtp.example.org"));
        window.stop();
        QVERIFY(window.start());
        window.call(QStringLiteral("wizardForm"), "cancel");
        openManagement(QStringLiteral("profileManagementItem"));

        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementAddButton")));
        QVERIFY(form.typeInto(QStringLiteral("profileForm"), QStringLiteral("profileNameField"), QStringLiteral("Ann Lee")));
        QVERIFY(form.typeInto(QStringLiteral("profileForm"), QStringLiteral("profileEmailField"), QStringLiteral("ann@example.org")));
        QVERIFY(form.click(QStringLiteral("profileForm"), QStringLiteral("profileOkButton")));
        QVERIFY(window.waitFor([] { return groups(QStringLiteral("profiles")) == QStringList({"ann@example.org"}); }));
        QCOMPARE(stored(QStringLiteral("profiles/ann@example.org/name")).toString(), QStringLiteral("Ann Lee"));
        QCOMPARE(stored(QStringLiteral("profiles/ann@example.org/inServer")).toString(), QStringLiteral("imap.example.org"));
        QCOMPARE(stored(QStringLiteral("profiles/ann@example.org/outServer")).toString(), QStringLiteral("smtp.example.org"));

        // A changed address re-points the account: its record moves.
        QVERIFY(window.click(window.textItem(QStringLiteral("ann@example.org"))));
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementEditButton")));
        QCOMPARE(form.text(QStringLiteral("profileForm"), QStringLiteral("profileNameField")), QStringLiteral("Ann Lee"));
        QVERIFY(form.typeInto(QStringLiteral("profileForm"), QStringLiteral("profileEmailField"), QStringLiteral("ann.lee@example.org")));
        QVERIFY(form.click(QStringLiteral("profileForm"), QStringLiteral("profileOkButton")));
        QVERIFY(window.waitFor([] { return groups(QStringLiteral("profiles")) == QStringList({"ann.lee@example.org"}); }));
        QCOMPARE(stored(QStringLiteral("profiles/ann.lee@example.org/inServer")).toString(), QStringLiteral("imap.example.org"));
        QVERIFY(window.textItem(QStringLiteral("ann.lee@example.org")));

        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementRemoveButton")));
        QCOMPARE(form.message(), QStringLiteral("Are you really want to delete profile ann.lee@example.org?"));
        QVERIFY(form.answer(true));
        QVERIFY(window.waitFor([] { return groups(QStringLiteral("profiles")).isEmpty(); }));
    }

    void refusedProfileKeepsTheFormOpen_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << QStringLiteral("Email cannot be empty!");
        QTest::newRow("taken") << QStringLiteral("bob@example.org") << QStringLiteral("Profile with this email already exist!");
    }

    void refusedProfileKeepsTheFormOpen()
    {
        QFETCH(QString, email);
        QFETCH(QString, expected);
        MailWindow::addAccount(QStringLiteral("bob@example.org"), QStringLiteral("Bob"), QString(), QString(), QString(), QString());
        window.stop();
        QVERIFY(window.start());
        openManagement(QStringLiteral("profileManagementItem"));
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementAddButton")));
        QVERIFY(form.typeInto(QStringLiteral("profileForm"), QStringLiteral("profileNameField"), QStringLiteral("Someone")));
        QVERIFY(form.typeInto(QStringLiteral("profileForm"), QStringLiteral("profileEmailField"), email));
        QVERIFY(form.click(QStringLiteral("profileForm"), QStringLiteral("profileOkButton")));
        QCOMPARE(form.message(), expected);
        QVERIFY(form.answer(true));
        QVERIFY(form.shown(QStringLiteral("profileForm")));
        QCOMPARE(form.text(QStringLiteral("profileForm"), QStringLiteral("profileNameField")), QStringLiteral("Someone"));
        QCOMPARE(groups(QStringLiteral("profiles")), QStringList({"bob@example.org"}));
    }

    // At every scale and in tablet mode each form shows its buttons inside
    // its panel, inside the window.
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
        MailWindow::addAccount(QStringLiteral("bob@example.org"), QStringLiteral("Bob"), QString(), QString(), QString(), QString());
        window.stop();
        MailWindow::Options options;
        options.dpiRatio = dpi;
        options.tabletMode = tablet;
        options.width = int(1000 * dpi);
        options.height = int(640 * dpi);
        QVERIFY(window.start(options));
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        auto fits = [&](const QString &form, const QString &button) {
            if (!form.isEmpty() && !this->form.shown(form))
                return false;
            QTest::qWait(300);
            window.screenshot(form + QLatin1Char('-') + tag);
            QQuickItem *b = form.isEmpty() ? window.item(button) : this->form.in(form, button);
            return window.isShown(b) && QRectF(0, 0, options.width, options.height)
                    .contains(b->mapRectToScene(QRectF(0, 0, b->width(), b->height())));
        };
        QVERIFY(window.click(window.item(QStringLiteral("settingsButton"))));
        QVERIFY(fits(QStringLiteral("settingsForm"), QStringLiteral("settingsCloseButton")));
        QVERIFY(form.click(QStringLiteral("settingsForm"), QStringLiteral("serverManagementItem")));
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementAddButton")));
        QVERIFY(fits(QStringLiteral("serverForm"), QStringLiteral("serverOkButton")));
        QVERIFY(form.click(QStringLiteral("serverForm"), QStringLiteral("serverCloseButton")));
        QVERIFY(form.gone(QStringLiteral("serverForm")));
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementCloseButton")));
        QVERIFY(form.gone(QStringLiteral("managementForm")));
        QVERIFY(form.click(QStringLiteral("settingsForm"), QStringLiteral("profileManagementItem")));
        QVERIFY(fits(QStringLiteral("managementForm"), QStringLiteral("managementWizardButton")));
        QVERIFY(window.click(window.textItem(QStringLiteral("bob@example.org"))));
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementEditButton")));
        QVERIFY(fits(QStringLiteral("profileForm"), QStringLiteral("profileOkButton")));
        QVERIFY(form.click(QStringLiteral("profileForm"), QStringLiteral("profileCloseButton")));
        QVERIFY(form.gone(QStringLiteral("profileForm")));
        QVERIFY(form.click(QStringLiteral("managementForm"), QStringLiteral("managementWizardButton")));
        QVERIFY(fits(QStringLiteral("wizardForm"), QStringLiteral("wizardNextButton")));
        QVERIFY(form.click(QStringLiteral("wizardForm"), QStringLiteral("wizardCancelButton")));
        QVERIFY(form.gone(QStringLiteral("wizardForm")));
        QVERIFY(form.click(QStringLiteral("settingsForm"), QStringLiteral("mailSettingsItem")));
        QVERIFY(fits(QStringLiteral("settingsMailForm"), QStringLiteral("mailSettingsCloseButton")));
        QVERIFY(form.click(QStringLiteral("settingsMailForm"), QStringLiteral("mailSettingsCloseButton")));
        QVERIFY(form.gone(QStringLiteral("settingsMailForm")));
        QVERIFY(form.click(QStringLiteral("settingsForm"), QStringLiteral("settingsCloseButton")));
        QVERIFY(form.gone(QStringLiteral("settingsForm")));
        QVERIFY(window.click(window.item(QStringLiteral("newLetterButton"))));
        QVERIFY(fits(QStringLiteral("newMailForm"), QStringLiteral("sendButton")));
        QVERIFY(form.click(QStringLiteral("newMailForm"), QStringLiteral("linkButton")));
        QVERIFY(fits(QStringLiteral("linkForm"), QStringLiteral("linkOkButton")));
        QVERIFY(form.click(QStringLiteral("linkForm"), QStringLiteral("linkCloseButton")));
        QVERIFY(form.gone(QStringLiteral("linkForm")));
        QVERIFY(form.click(QStringLiteral("newMailForm"), QStringLiteral("colorButton")));
        QVERIFY(fits(QString(), QStringLiteral("colorCell_yellow")));
    }

    void mailSettingsReachTheStoreAndTheAccounts()
    {
        MailWindow::addAccount(QStringLiteral("bob@example.org"), QStringLiteral("Bob"), QString(), QString(), QString(), QString());
        window.stop();
        QVERIFY(window.start());
        window.call(QStringLiteral("settingsMailForm"), "show", {QStringLiteral("Mail settings")});
        const QString mailForm = QStringLiteral("settingsMailForm");

        QVERIFY(form.click(mailForm, QStringLiteral("storeLimitItem")));
        QVERIFY(form.pick(QStringLiteral("Store up to 1000 messages in folder")));
        QVERIFY(window.waitForShown(QStringLiteral("spinPathBoxForm")));
        window.key(Qt::Key_Down);
        QVERIFY(form.click(QStringLiteral("spinPathBoxForm"), QStringLiteral("okButton")));
        QVERIFY(window.waitFor([] { return stored(QStringLiteral("global/storeMessagesCount")).toInt() == 1001; }));
        QVERIFY(window.textItem(QStringLiteral("Store up to 1001 messages in folder")));

        QVERIFY(form.click(mailForm, QStringLiteral("intervalItem")));
        QVERIFY(window.waitForShown(QStringLiteral("spinPathBoxForm")));
        window.key(Qt::Key_Down);
        QVERIFY(form.click(QStringLiteral("spinPathBoxForm"), QStringLiteral("okButton")));
        QVERIFY(form.gone(QStringLiteral("spinPathBoxForm")));
        QVERIFY(window.waitFor([] { return stored(QStringLiteral("global/getMailTimerInterval")).toInt() == 6 * 60000; }));
        QVERIFY(window.textItem(QStringLiteral("Get new messages every 6 minute(s)")));

        QVERIFY(form.click(mailForm, QStringLiteral("serverDeletionItem")));
        QVERIFY(form.pick(QStringLiteral("Delete received messages from server")));
        QVERIFY(window.waitFor([] { return stored(QStringLiteral("global/deleteFromServer")).toBool(); }));

        // The running account checks at the new interval (the store and the
        // folders read the other two from the settings when they act).
        QObject *manager = window.object(QStringLiteral("mailProfileManager"));
        auto *profile = qobject_cast<Profile *>(manager->property("profiles").toList().value(0).value<QObject *>());
        QVERIFY(profile);
        QCOMPARE(profile->mailTimer()->interval(), 6 * 60000);
        window.screenshot(QStringLiteral("settings-mail"));
    }
};

MAIL_TEST_MAIN(SettingsFormsTest)
#include "tst_settingsforms_gui.moc"
