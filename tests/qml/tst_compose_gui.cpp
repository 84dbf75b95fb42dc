#include "accounts/profile.h"
#include "accounts/utils.h"
#include "base/filedialog.h"
#include "fixtures.h"
#include "contacts/sqlitedatabase.h"
#include "mailservers.h"
#include "servertestcase.h"
#include "main/mailtohandler.h"
#include "model/letter.h"
#include "testhome.h"
#include "window.h"

#include <QClipboard>
#include <QQuickItem>
#include <QTcpServer>
#include <QtTest>

#include <csignal>

namespace SM = ServerKind;

// From a user's keys and clicks in the compose form to what the server and
// the account's folders hold.
class ComposeTest : public QObject
{
    Q_OBJECT

    MailServers servers;
    MailWindow window;
    const QString compose = "newMailForm";
    const QString own = "test@example.org";

    Profile *profile() const { return window.profile(); }
    int count(int folder) const
    {
        return profile() && profile()->folderModel(folder) ? profile()->folderModel(folder)->rowCount() : -1;
    }
    bool settle(const std::function<bool()> &done = [] { return true; }, bool acceptCertificates = true)
    {
        return window.answerUntil([&] { return done() && isSettled(profile()); }, MailServers::password(),
                                  acceptCertificates);
    }
    // Started and past its first check for mail, which asks about the
    // certificate.
    void startAccount(int smtpPort = 0, const QString &sendPassword = QString())
    {
        MailWindow::clearUserData();
        storeTestAccount(servers.imapsPort(), SM::TLS_SSL, smtpPort ? smtpPort : servers.smtpsPort());
        if (!sendPassword.isEmpty())
            QSettings().setValue(QString("profiles/%1/outPassword").arg(own), Utils::encrypt(sendPassword));
        QVERIFY(window.start());
        QVERIFY(window.message().contains("certificate"));
        QVERIFY(settle());
    }
    void open(const QString &button)
    {
        QVERIFY(window.click(button) && window.shown(compose));
    }
    QString body() const
    {
        QQuickItem *area = window.in(compose, "bodyArea");
        return window.call("bodyArea", "getText", {0, area->property("length")}).toString();
    }
    QStringList chips() const
    {
        QStringList labels;
        for (QQuickItem *label : window.items("chipLabel", window.in(compose, "recipientField")))
            labels << label->property("text").toString();
        return labels;
    }
    void chooseLetter(int folder)
    {
        window.call("root", "chooseFolder", {folder});
        QVERIFY(window.shown("mailRow0") && window.click("mailRow0"));
        QVERIFY(window.shown("mailHeader") && window.letterShown());
    }
    void click(const QString &name) { QVERIFY(window.click(compose, name)); }
    void type(const QString &text) { window.type(text); }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
    }
    void init()
    {
        servers.clearMailbox();
        QFile::remove(SqliteDatabase::defaultPath());
    }
    void cleanup()
    {
        window.stop();
        FileDialog::setAnswer(FileDialog::Answer());
    }

    void formattedLetterWithAttachmentArrives()
    {
        QByteArray bytes(5 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(QRandomGenerator::global()->generate());
        const QString path = QDir::tempPath() + "/report.bin";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        FileDialog::setAnswer([&](const QString &, const QString &) { return path; });
        startAccount();

        open("newLetterButton");
        QVERIFY(window.typeInto(compose, "recipientFreeField", "friend@example.org,"));
        type("pal@example.org");
        QCOMPARE(chips(), QStringList({"friend@example.org"}));
        QVERIFY(window.typeInto(compose, "subjectField", "Formatted"));
        // Formats apply to the selection, as a user selects a word first.
        click("bodyArea");
        type("Strong");
        window.key(Qt::Key_Home, Qt::ShiftModifier);
        click("boldButton");
        window.key(Qt::Key_End);
        window.key(Qt::Key_Return);
        click("markedListButton");
        type("point");
        window.key(Qt::Key_Home, Qt::ShiftModifier);
        click("colorButton");
        QVERIFY(window.shown("colorCell_red") && window.click("colorCell_red"));
        window.key(Qt::Key_Escape);
        QVERIFY(window.gone("colorFontPicker"));
        window.key(Qt::Key_End);
        type(" ");
        click("linkButton");
        QVERIFY(window.typeInto("linkForm", "linkDescriptionField", "site"));
        QVERIFY(window.typeInto("linkForm", "linkAddressField", "https://example.org/"));
        QVERIFY(window.click("linkForm", "linkOkButton"));
        // The form takes clicks until it has faded out, as it does for a user.
        QVERIFY(window.gone("linkForm"));
        click("attachButton");
        QVERIFY(window.shown("attachmentChip0"));
        window.key(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(window.gone(compose));

        QVERIFY(settle([&] { return servers.messages().size() == 2; }));
        QCOMPARE(count(Letter::SentFolder), 1);
        QCOMPARE(window.text("noticeText"), QString("\"Formatted\" has been sent."));
        const QJsonArray parts = Fixtures::readByPython(servers.messages().first()).value("parts").toArray();
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(1).toArray().at(0).toString(), QString("text/html"));
        const QString html = parts.at(1).toArray().at(1).toString();
        QVERIFY2(html.contains("font-weight:bold\">Strong"), qPrintable(html));
        QVERIFY2(html.contains("<ul") && html.contains("point"), qPrintable(html));
        QVERIFY(html.contains("color:#ff0000\">point"));
        QVERIFY(html.contains("<a href=\"https://example.org/\">"));
        QCOMPARE(parts.at(2).toArray().at(3).toString(),
                 QString(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    }

    void replyAndForwardShowHostileTextAsText()
    {
        QTcpServer pictures;
        QVERIFY(pictures.listen(QHostAddress::LocalHost));
        int requests = 0;
        connect(&pictures, &QTcpServer::newConnection, [&] { ++requests; });
        const QString picture = QString("<img src=\"http://127.0.0.1:%1/p.png\">").arg(pictures.serverPort());
        const QString sender = "Eve <b>&amp;</b> <eve@evil.test>";
        const QString subject = picture + " & <i>hi</i>";
        servers.seed(QStringLiteral("From: \"Eve <b>&amp;</b>\" <eve@evil.test>\r\nTo: %1, Other <other@example.org>\r\n"
                                    "Subject: %2\r\nMessage-ID: <hostile@evil.test>\r\nMIME-Version: 1.0\r\n"
                                    "Content-Type: text/html; charset=utf-8\r\n\r\n<p>Look %3</p>\r\n")
                             .arg(own, subject, picture).toUtf8());
        startAccount();
        QVERIFY(settle([&] { return count(Letter::IncomingFolder) == 1; }));
        chooseLetter(Letter::IncomingFolder);

        open("replyButton");
        QCOMPARE(window.text("subjectField", window.item(compose)), "Re: " + subject);
        QCOMPARE(chips(), QStringList({"Eve <b>&amp;</b>"}));
        QVERIFY2(body().contains(", " + sender + " writes:"), qPrintable(body()));
        click("replyToAllLink");
        QCOMPARE(chips(), QStringList({"Eve <b>&amp;</b>", "Cc: Other"}));
        // A change makes closing ask; "No" and the question's close discard.
        click("formCloseButton");
        QVERIFY(window.message().contains("drafts"));
        QVERIFY(window.answer(false));
        QVERIFY(window.gone(compose));

        open("forwardButton");
        QCOMPARE(window.text("subjectField", window.item(compose)), "Fwd: " + subject);
        QVERIFY(chips().isEmpty());
        for (const QString &line : {"From: " + sender, "Subject: " + subject,
                                    "To: " + own + ", Other <other@example.org>"})
            QVERIFY2(body().contains(line), qPrintable(body()));
        window.screenshot("compose-forward");
        QVERIFY(window.typeInto(compose, "subjectField", "Changed"));
        click("formCloseButton");
        QVERIFY(window.click("messageForm", "closeButton") && window.gone(compose));
        QCOMPARE(count(Letter::DraftsFolder), 0);
        QCOMPARE(requests, 0);
    }

    void draftKeepsOwnAddressAndLeavesDraftsWhenSent()
    {
        startAccount();
        open("newLetterButton");
        QVERIFY(window.typeInto(compose, "subjectField", "Unfinished"));
        // A mail link replaces an unfinished letter only once it is saved.
        for (bool save : {false, true}) {
            QVERIFY(window.mailto()->openLink("mailto:link@example.org?subject=Linked"));
            QCOMPARE(window.message(), "A mail link asks for a new letter. Save the unfinished letter into drafts "
                                       "and start the new one?");
            QVERIFY(window.answer(save));
            const QString subject = save ? "Linked" : "Unfinished";
            QVERIFY(window.waitFor([&] {
                return window.shown(compose) && window.text("subjectField", window.item(compose)) == subject;
            }));
        }
        QVERIFY(window.waitFor([&] { return count(Letter::DraftsFolder) == 1; }));
        QVERIFY(window.typeInto(compose, "subjectField", " changed"));
        window.key(Qt::Key_Escape);
        QCOMPARE(window.message(), "Do you want to save the message into drafts?");
        QVERIFY(window.answer(false));
        QVERIFY(window.gone(compose));
        QCOMPARE(count(Letter::DraftsFolder), 1);

        chooseLetter(Letter::DraftsFolder);
        open("editDraftButton");
        QCOMPARE(chips(), QStringList({"Test User"}));
        click("sendButton");
        QVERIFY(settle([&] { return servers.messages().size() == 1; }));
        QCOMPARE(count(Letter::DraftsFolder), 0);
        QCOMPARE(count(Letter::SentFolder), 1);
    }

    // A cancelled file dialog changes nothing; a letter being written when
    // the program is told to end is in Drafts, each time in place of the last.
    void letterInProgressIsKeptOnTermination()
    {
        startAccount();
        open("newLetterButton");
        FileDialog::setAnswer([](const QString &, const QString &) { return QString(); });
        click("attachButton");
        click("formCloseButton");
        QVERIFY(window.gone(compose));

        open("newLetterButton");
        for (const QString subject : {"First words", "More words"}) {
            QVERIFY(window.typeInto(compose, "subjectField", subject));
            ::raise(SIGTERM);
            QVERIFY(window.waitFor([&] {
                return count(Letter::DraftsFolder) == 1
                        && profile()->folderModel(Letter::DraftsFolder)->letterAt(0)->subject() == subject;
            }));
        }
        QVERIFY(window.shown(compose));
    }

    void failedSendTellsAndKeepsTheLetter_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<bool>("acceptCertificate");
        QTest::addColumn<bool>("serverDown");
        QTest::addColumn<QString>("sendPassword");
        QTest::newRow("rejected recipient") << "reject@example.org" << true << false << QString();
        QTest::newRow("refused certificate") << "friend@example.org" << false << false << QString();
        QTest::newRow("no connection") << "friend@example.org" << true << true << QString();
        QTest::newRow("wrong password") << "friend@example.org" << true << false << "wrong";
        // Such an address needs SMTPUTF8 from end to end; it is not sent.
        QTest::newRow("address beyond ASCII") << "j\u00F6rg@example.org" << true << false << QString();
    }

    void failedSendTellsAndKeepsTheLetter()
    {
        QFETCH(QString, recipient);
        QFETCH(bool, acceptCertificate);
        QFETCH(bool, serverDown);
        QFETCH(QString, sendPassword);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const int deadPort = closed.serverPort();
        closed.close();
        startAccount(serverDown ? deadPort : 0, sendPassword);
        open("newLetterButton");
        QVERIFY(window.typeInto(compose, "recipientFreeField", recipient));
        QVERIFY(window.typeInto(compose, "subjectField", "Keep me"));
        click("sendButton");
        QVERIFY(window.gone(compose));
        QVERIFY2(settle([&] { return count(Letter::DraftsFolder) == 1
                                     && !window.answered.filter(QRegularExpression("^Send mail error: ")).isEmpty(); },
                        acceptCertificate), qPrintable(window.answered.join('|')));
        QCOMPARE(count(Letter::SentFolder), 0);
        QCOMPARE(window.text("noticeText"), QString("\"Keep me\" was not sent; it is kept in Drafts."));
    }

    // What the form shows is what arrives: a chip still being edited when
    // the letter is sent, a pasted list, a reply to all of a letter with
    // Reply-To and Cc; a malformed entry is refused, never repaired.
    void recipientsArriveAsShown_data()
    {
        QTest::addColumn<QByteArray>("answered");   // a letter to reply to all; empty: a new one
        QTest::addColumn<QString>("pasted");        // into the recipient field
        QTest::addColumn<QString>("chipEdit");      // typed over the first chip, left open
        QTest::addColumn<QStringList>("to");        // "name|address" as Python reads them
        QTest::addColumn<QStringList>("cc");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("inReplyTo");
        QTest::addColumn<QString>("references");
        QTest::addColumn<QString>("refused");       // the message when nothing may go
        QTest::newRow("chip edited, then Ctrl+Return")
                << QByteArray() << "old@example.org," << "Ann Lee <ann@example.org>"
                << QStringList{"Ann Lee|ann@example.org"} << QStringList() << "Hello" << "" << "" << "";
        QTest::newRow("pasted list with names and a repeat")
                << QByteArray()
                << "Ann <ann@example.org>; bob@example.org\n\"Berg, Carl ::: \\\"CB\\\"\" <carl@example.org>, BOB@example.org"
                << "" << QStringList{"Ann|ann@example.org", "|bob@example.org", "Berg, Carl ::: \"CB\"|carl@example.org"}
                << QStringList() << "Hello" << "" << "" << "";
        QTest::newRow("unclosed bracket refused")
                << QByteArray() << "Ann <ann@example.org" << "" << QStringList() << QStringList() << "" << "" << ""
                << "Not valid recipient addresses!\nAnn <ann@example.org";
        QTest::newRow("chip edited to an unclosed bracket refused")
                << QByteArray() << "old@example.org," << "Ann <ann@example.com" << QStringList() << QStringList()
                << "" << "" << "" << "Not valid recipient addresses!\nAnn <ann@example.com";
        // A line break in a name arrives as a blank.
        QTest::newRow("reply to all with Reply-To and Cc, names with separators and a line break")
                << QByteArray("From: Sam <sam@example.org>\r\n"
                              "Reply-To: =?utf-8?q?List=0D=0ABcc=3A_spy=40example=2Eorg?= <list@example.org>\r\n"
                              "To: Test User <test@example.org>, \"Other ::: x\" <other@example.org>\r\n"
                              "Cc: Carl <carl@example.org>, TEST@example.org\r\nSubject: RE: Aw: plan\r\n"
                              "Message-ID: <second@example.org>\r\nReferences: <first@example.org>\r\n"
                              "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n"
                              "Mail <a@b.com> &amp; more\r\n")
                << "" << "" << QStringList{"List Bcc: spy@example.org|list@example.org"}
                << QStringList{"Other ::: x|other@example.org", "Carl|carl@example.org"} << "Re: plan"
                << "<second@example.org>" << "<first@example.org> <second@example.org>" << "";
    }

    void recipientsArriveAsShown()
    {
        QFETCH(QByteArray, answered);
        QFETCH(QString, pasted);
        QFETCH(QString, chipEdit);
        QFETCH(QStringList, to);
        QFETCH(QStringList, cc);
        QFETCH(QString, subject);
        QFETCH(QString, inReplyTo);
        QFETCH(QString, references);
        QFETCH(QString, refused);
        if (!answered.isEmpty())
            servers.seed(answered);
        startAccount();
        if (answered.isEmpty()) {
            open("newLetterButton");
            QVERIFY(window.typeInto(compose, "subjectField", subject));
        } else {
            QVERIFY(settle([&] { return count(Letter::IncomingFolder) == 1; }));
            chooseLetter(Letter::IncomingFolder);
            open("replyButton");
            // The quoted plain text shows as it was written.
            QVERIFY2(body().contains("Mail <a@b.com> &amp; more"), qPrintable(body()));
            click("replyToAllLink");
        }
        if (!pasted.isEmpty()) {
            QGuiApplication::clipboard()->setText(pasted);
            click("recipientFreeField");
            window.key(Qt::Key_V, Qt::ControlModifier);
        }
        if (!chipEdit.isEmpty()) {
            // Once laid out, the chip no longer lies under the typed text.
            QQuickItem *label = window.item("chipLabel", window.in(compose, "recipientField"));
            QVERIFY(window.waitFor([&] {
                return !window.visibleRect(label).intersects(window.visibleRect(window.in(compose, "recipientFreeField")));
            }));
            QVERIFY(window.doubleClick(label));
            QVERIFY(window.shown("chipEditor"));
            window.key(Qt::Key_A, Qt::ControlModifier);
            type(chipEdit);
        }
        window.key(Qt::Key_Return, Qt::ControlModifier);
        if (!refused.isEmpty()) {
            QCOMPARE(window.message(), refused);
            QVERIFY(window.answer(true));
            QVERIFY(window.shown(compose));
            QCOMPARE(profile()->pendingLetters() + count(Letter::SentFolder), 0);
            return;
        }
        QVERIFY(window.gone(compose));
        QVERIFY(settle([&] { return count(Letter::SentFolder) == 1; }));
        // Every recipient is a user of the test server: the first copy will do.
        const QJsonObject read = Fixtures::readByPython(servers.messages().last());
        auto mailboxes = [&](const char *field) {
            QStringList list;
            for (const QJsonValue &mailbox : read.value(field).toArray())
                list << mailbox.toArray().at(0).toString() + '|' + mailbox.toArray().at(1).toString();
            return list;
        };
        QCOMPARE(mailboxes("to"), to);
        QCOMPARE(mailboxes("cc"), cc);
        QCOMPARE(read.value("subject").toString(), subject);
        QCOMPARE(read.value("inReplyTo").toString(), inReplyTo);
        QCOMPARE(read.value("references").toString(), references);
        if (!answered.isEmpty()) {
            const QString plain = read.value("parts").toArray().at(0).toArray().at(1).toString();
            QVERIFY2(plain.contains("> Mail <a@b.com> &amp; more"), qPrintable(plain));
        }
    }

    void contactsCompleteAndGrow()
    {
        QImage photo(8, 8, QImage::Format_RGB32);
        photo.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(photo.save(&buffer, "PNG"));
        // Written as the phone application's sqlite3 would.
        QProcess sqlite;
        sqlite.start("sqlite3", {SqliteDatabase::defaultPath(),
                                 "create table contact (id bigint primary key, name text, surname text, middlename text, "
                                 "emailList text, photoData text); insert into contact (id, name, emailList, photoData) "
                                 "values (7, 'Ann Lee', 'ann@example.org', '" + png.toBase64() + "')"});
        QVERIFY(sqlite.waitForFinished() && sqlite.exitCode() == 0);
        startAccount();
        open("newLetterButton");
        QVERIFY(window.typeInto(compose, "recipientFreeField", "lee"));
        QVERIFY(window.shown("contactRow0"));
        QQuickItem *picture = window.item("contactPhoto", window.item("contactRow0"));
        QVERIFY(window.waitFor([&] { return picture->property("status").toInt() == 1; }));
        const QPointF centre = picture->mapToScene(QPointF(picture->width() / 2, picture->height() / 2));
        QCOMPARE(QColor(window.screenshot().pixel(centre.toPoint())), QColor(Qt::red));
        // Chosen with the keys: Down marks a suggestion, Return takes it.
        window.key(Qt::Key_Down);
        window.key(Qt::Key_Return);
        QCOMPARE(chips(), QStringList({"Ann Lee"}));
        type("new.person@example.org");
        click("sendButton");
        QVERIFY(settle([&] { return servers.messages().size() == 2; }));

        open("newLetterButton");
        QVERIFY(window.typeInto(compose, "recipientFreeField", "new.person"));
        QVERIFY(window.shown("contactRow0"));
        window.key(Qt::Key_Tab); // takes the first suggestion
        QCOMPARE(chips().size(), 1);
        QVERIFY(!window.isShown(window.item("contactRow0")));
    }
};

MAIL_TEST_MAIN(ComposeTest)
#include "tst_compose_gui.moc"
