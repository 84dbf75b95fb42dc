#include "accounts/profile.h"
#include "base/settings.h"
#include "fixtures.h"
#include "testhome.h"
#include "window.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

// Accounts, servers and the global mail options as a user edits them in the
// settings forms, down to what reaches the settings store.
using Fixtures::settingsGroups;

class SettingsFormsTest : public QObject
{
    Q_OBJECT

    MailWindow window;

    static QVariant stored(const QString &key) { return QSettings().value(key); }

    void startWithAccount(const MailWindow::Options &options = MailWindow::Options())
    {
        Settings::saveServer("imap.example.org", {0, 1, 0, 0, QString()});
        Settings::saveServer("smtp.example.org", {1, 2, 0, 0, QString()});
        Settings::saveAccount("bob@example.org", "Bob", QString(), QString());
        QVERIFY(window.start(options));
    }
    void openManagement(const QString &row)
    {
        QVERIFY(window.click("settingsButton") && window.click("settingsForm", row));
    }
    void addServer(const QString &address, bool outgoing = false)
    {
        QVERIFY(window.click("managementForm", "managementAddButton"));
        if (outgoing)
            QVERIFY(window.choose("serverForm", "serverTypeChooser", "Outgoing"));
        QVERIFY(window.typeInto("serverForm", "serverAddressField", address));
        // The form fades out over the list: a click meant for the list waits.
        QVERIFY(window.close("serverForm", "serverOkButton"));
    }

private slots:
    void initTestCase() { TestHome::prepareProgram(); }

    void init() { MailWindow::clearUserData(); }

    void cleanup() { window.stop(); }

    void serversAreAddedEditedAndRemoved()
    {
        QVERIFY(window.start());
        // An empty store greets the user with the wizard.
        QVERIFY(window.close("wizardForm", "wizardCancelButton"));
        openManagement("serverManagementItem");
        addServer("imap.example.org");
        addServer("smtp.example.org", true);
        QCOMPARE(settingsGroups("servers"), QStringList({"imap.example.org", "smtp.example.org"}));
        // Outgoing turned the protocol to SMTP on its own.
        QCOMPARE(stored("servers/smtp.example.org/protocol").toInt(), 2);

        QVERIFY(window.click(window.textItem("imap.example.org")) && window.click("managementForm", "managementEditButton"));
        QVERIFY(window.choose("serverForm", "serverProtocolChooser", "IMAP"));
        QVERIFY(window.typeInto("serverForm", "serverAddressField", "mail.example.org"));
        QVERIFY(window.click("serverForm", "serverOkButton"));
        QVERIFY(window.waitFor([] { return settingsGroups("servers").contains("mail.example.org"); }));
        QCOMPARE(stored("servers/mail.example.org/protocol").toInt(), 1);
        QVERIFY(window.textItem("mail.example.org"));

        QVERIFY(window.click("managementForm", "managementRemoveButton"));
        QCOMPARE(window.message(), QString("Are you really want to delete server mail.example.org?"));
        QVERIFY(window.answer(true));
        QCOMPARE(settingsGroups("servers"), QStringList({"smtp.example.org"}));
    }

    void profilesAreAddedEditedAndRemoved()
    {
        startWithAccount();
        openManagement("profileManagementItem");
        QVERIFY(window.click("managementForm", "managementAddButton"));
        QVERIFY(window.typeInto("profileForm", "profileNameField", "Ann Lee"));
        QVERIFY(window.typeInto("profileForm", "profileEmailField", "ann@example.org"));
        QVERIFY(window.click("profileForm", "profileOkButton"));
        QVERIFY(window.waitFor([] { return settingsGroups("profiles").size() == 2; }));
        QCOMPARE(stored("profiles/ann@example.org/name").toString(), QString("Ann Lee"));
        QCOMPARE(stored("profiles/ann@example.org/inServer").toString(), QString("imap.example.org"));

        // A changed address re-points the account: its record moves.
        QVERIFY(window.click(window.textItem("ann@example.org")) && window.click("managementForm", "managementEditButton"));
        QVERIFY(window.typeInto("profileForm", "profileEmailField", "ann.lee@example.org"));
        QVERIFY(window.click("profileForm", "profileOkButton"));
        QVERIFY(window.waitFor([] { return settingsGroups("profiles").contains("ann.lee@example.org"); }));
        QVERIFY(!settingsGroups("profiles").contains("ann@example.org"));
        QCOMPARE(stored("profiles/ann.lee@example.org/inServer").toString(), QString("imap.example.org"));
        QVERIFY(window.textItem("ann.lee@example.org"));

        QVERIFY(window.click("managementForm", "managementRemoveButton"));
        QCOMPARE(window.message(), QString("Are you really want to delete profile ann.lee@example.org?"));
        QVERIFY(window.answer(true));
        QVERIFY(window.waitFor([] { return settingsGroups("profiles") == QStringList({"bob@example.org"}); }));
    }

    // A refused entry leaves the form open with what was typed, and stores
    // nothing.
    void refusedEntryKeepsTheForm()
    {
        struct Entry { const char *management, *form, *field, *typed, *expected; };
        const Entry entries[] = {
            {"serverManagementItem", "server", "serverAddressField", "  ", "Address cannot be empty!"},
            {"serverManagementItem", "server", "serverAddressField", "smtp.example.org", "Server with this address already exist!"},
            {"profileManagementItem", "profile", "profileEmailField", "", "Email cannot be empty!"},
            {"profileManagementItem", "profile", "profileEmailField", "bob@example.org", "Profile with this email already exist!"}};
        startWithAccount();
        QVERIFY(window.click("settingsButton"));
        for (const Entry &e : entries) {
            const QString form = e.form + QStringLiteral("Form");
            QVERIFY(window.click("settingsForm", e.management) && window.click("managementForm", "managementAddButton"));
            QVERIFY(window.typeInto(form, e.field, e.typed));
            QVERIFY(window.click(form, e.form + QStringLiteral("OkButton")));
            QCOMPARE(window.message(), QString(e.expected));
            QVERIFY(window.answer(true));
            QVERIFY(window.shown(form));
            QCOMPARE(window.text(e.field, window.item(form)), QString(e.typed));
            QVERIFY(window.close(form, e.form + QStringLiteral("CloseButton"))
                    && window.close("managementForm", "managementCloseButton"));
        }
        QCOMPARE(settingsGroups("servers").size(), 2);
        QCOMPARE(settingsGroups("profiles").size(), 1);
    }

    void mailSettingsReachTheStoreAndTheAccounts()
    {
        startWithAccount();
        openManagement("mailSettingsItem");

        QVERIFY(window.click("settingsMailForm", "storeLimitItem"));
        QVERIFY(window.pick("Store up to 1000 messages in folder") && window.ready("spinPathBoxForm"));
        window.key(Qt::Key_Down);
        QVERIFY(window.close("spinPathBoxForm", "okButton"));
        QVERIFY(window.waitFor([] { return stored("global/storeMessagesCount").toInt() == 1001; }));
        QVERIFY(window.textItem("Store up to 1001 messages in folder"));

        QVERIFY(window.click("settingsMailForm", "intervalItem") && window.ready("spinPathBoxForm"));
        window.key(Qt::Key_Down);
        QVERIFY(window.close("spinPathBoxForm", "okButton"));
        QVERIFY(window.waitFor([] { return stored("global/getMailTimerInterval").toInt() == 6 * 60000; }));
        QVERIFY(window.textItem("Get new messages every 6 minute(s)"));

        QVERIFY(window.click("settingsMailForm", "serverDeletionItem") && window.pick("Delete received messages from server"));
        QVERIFY(window.waitFor([] { return stored("global/deleteFromServer").toBool(); }));

        // The running account checks at the new interval.
        QCOMPARE(window.profile()->mailTimer()->interval(), 6 * 60000);
    }

    // Every form's buttons inside the window and no control over another, at
    // each scale and in tablet mode, in the smallest window allowed.
    void formsFitTheWindow_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::addColumn<bool>("tablet");
        QTest::newRow("1.0") << 1.0 << false;
        QTest::newRow("1.5") << 1.5 << false;
        QTest::newRow("2.0") << 2.0 << false;
        QTest::newRow("tablet") << 1.0 << true;
    }

    void formsFitTheWindow()
    {
        QFETCH(double, dpi);
        QFETCH(bool, tablet);
        startWithAccount({tablet, dpi});
        // Once the fade has ended: shown means fully opaque.
        auto fits = [&](const QString &name, const QString &button) {
            QQuickItem *b = nullptr;
            const bool shown = window.waitFor([&] {
                b = name.isEmpty() ? window.item(button) : window.in(name, button);
                return window.isShown(b);
            });
            window.screenshot(name + '-' + QTest::currentDataTag());
            const QStringList overlaps = window.overlaps(name.isEmpty() ? window.root() : window.item(name));
            if (!overlaps.isEmpty())
                qWarning("%s: %s", qPrintable(name), qPrintable(overlaps.join(", ")));
            return shown && overlaps.isEmpty() && QRectF(QPointF(), window.root()->size())
                    .contains(b->mapRectToScene(QRectF(0, 0, b->width(), b->height())));
        };
        // The smallest window the program allows.
        window.root()->window()->resize(window.root()->window()->minimumSize());
        QVERIFY(window.waitFor([&] { return window.root()->size() == window.root()->window()->minimumSize(); }));
        QVERIFY(fits(QString(), "settingsButton"));
        QVERIFY(window.click("settingsButton"));
        QVERIFY(fits("settingsForm", "settingsCloseButton"));
        QVERIFY(window.click("settingsForm", "serverManagementItem") && window.click("managementForm", "managementAddButton"));
        QVERIFY(fits("serverForm", "serverOkButton"));
        // A window shorter than the form: Tab reaches the last field, and the
        // form scrolls it whole into view, clear of the buttons.
        QQuickWindow *view = window.root()->window();
        const QSize smallest = view->minimumSize();
        view->setMinimumHeight(1);
        view->resize(smallest.width(), smallest.height() * 3 / 5);
        QVERIFY(window.waitFor([&] { return window.root()->height() < smallest.height(); }));
        QVERIFY(window.isShown(window.in("serverForm", "formScrollIndicator")));
        QQuickItem *last = window.in("serverForm", "serverAuthChooser");
        for (int tab = 0; tab < 4; ++tab)
            window.key(Qt::Key_Tab);
        QVERIFY(window.waitFor([&] { return last->hasActiveFocus(); }));
        QVERIFY(window.waitFor([&] { return window.visibleRect(last).size() == last->size(); }));
        window.screenshot(QStringLiteral("serverForm-short-") + QTest::currentDataTag());
        QCOMPARE(window.overlaps(window.item("serverForm")), QStringList());
        view->setMinimumSize(smallest);
        view->resize(smallest);
        QVERIFY(window.waitFor([&] { return window.root()->size() == smallest; }));
        QVERIFY(window.close("serverForm", "serverCloseButton") && window.close("managementForm", "managementCloseButton"));
        QVERIFY(window.click("settingsForm", "profileManagementItem"));
        QVERIFY(fits("managementForm", "managementWizardButton"));
        QVERIFY(window.click(window.textItem("bob@example.org")) && window.click("managementForm", "managementEditButton"));
        QVERIFY(fits("profileForm", "profileOkButton"));
        QVERIFY(window.close("profileForm", "profileCloseButton"));
        QVERIFY(window.click("managementForm", "managementWizardButton"));
        QVERIFY(fits("wizardForm", "wizardNextButton"));
        QVERIFY(window.close("wizardForm", "wizardCancelButton"));
        QVERIFY(window.click("settingsForm", "mailSettingsItem"));
        QVERIFY(fits("settingsMailForm", "mailSettingsCloseButton"));
        QVERIFY(window.close("settingsMailForm", "mailSettingsCloseButton") && window.close("settingsForm", "settingsCloseButton"));
        QVERIFY(window.click("newLetterButton"));
        QVERIFY(fits("newMailForm", "sendButton"));
        QVERIFY(window.click("newMailForm", "linkButton"));
        QVERIFY(fits("linkForm", "linkOkButton"));
        QVERIFY(window.close("linkForm", "linkCloseButton"));
        QVERIFY(window.click("newMailForm", "colorButton"));
        QVERIFY(fits("colorFontPicker", "colorCell_yellow"));
    }
};

MAIL_TEST_MAIN(SettingsFormsTest)
#include "tst_settingsforms_gui.moc"
