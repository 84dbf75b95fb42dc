#include "connectionrecorder.h"
#include "filedialog.h"
#include "formdriver.h"
#include "letter.h"
#include "mailservers.h"
#include "profile.h"
#include "sqlitedatabase.h"
#include "testhome.h"
#include "utils.h"
#include "window.h"

#include <QQuickItem>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

#include <vmime/vmime.hpp>

using SM = ServerManager;

// Letters written in the compose form, from the keys and clicks of a user to
// what the mail server and the account's folders hold.
class ComposeTest : public QObject
{
    Q_OBJECT

    MailServers servers;
    MailWindow window;
    FormDriver form{window};
    const QString compose = "newMailForm";
    const QString own = "test@example.org";

    Profile *profile() const
    {
        QObject *manager = window.object("mailProfileManager");
        return qobject_cast<Profile *>(manager->property("profiles").toList().value(0).value<QObject *>());
    }
    int count(int folder) const
    {
        return profile() && profile()->folderModel(folder) ? profile()->folderModel(folder)->rowCount() : -1;
    }
    bool settle(const std::function<bool()> &done = [] { return true; }, bool acceptCertificates = true)
    {
        return form.answerUntil([&] { return done() && profile()->status() == Profile::READY_STATUS
                                             && profile()->pendingLetters() == 0; },
                                MailServers::password(), acceptCertificates);
    }
    // The account, with its servers on the harness (the outgoing one at a
    // port of choice), started and past its first check for mail.
    void startAccount(int smtpPort = 0, const QString &sendPassword = QString())
    {
        const QString in = MailServers::address(servers.imapsPort());
        const QString out = MailServers::address(smtpPort ? smtpPort : servers.smtpsPort());
        MailWindow::clearUserData();
        MailWindow::addServer(SM::INCOMING_TYPE, SM::IMAP, SM::TLS_SSL, SM::AUTO_AUTH, in);
        MailWindow::addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::TLS_SSL, SM::AUTO_AUTH, out);
        MailWindow::addAccount(own, "Test User", in, out, MailServers::user(), MailServers::password());
        if (!sendPassword.isEmpty())
            QSettings().setValue(QString("profiles/%1/outPassword").arg(own), Utils::encrypt(sendPassword));
        QVERIFY(window.start());
        // The first check for mail asks about the server's certificate.
        QVERIFY(form.message().contains("certificate"));
        QVERIFY(settle());
    }
    void open(const QString &button)
    {
        QVERIFY(window.click(window.item(button)));
        QVERIFY(form.shown(compose));
    }
    QString body() const
    {
        QQuickItem *area = form.in(compose, "bodyArea");
        return window.call("bodyArea", "getText", {0, area->property("length")}).toString();
    }
    QStringList chips() const
    {
        QStringList labels;
        for (QQuickItem *label : window.items("chipLabel", form.in(compose, "recipientField")))
            labels << label->property("text").toString();
        return labels;
    }
    void chooseLetter(int folder)
    {
        window.call("root", "chooseFolder", {folder});
        QVERIFY(window.waitForShown("mailRow0") && window.click(window.item("mailRow0")));
        QVERIFY(window.waitForShown("mailHeader"));
    }
    void click(const QString &name) { QVERIFY(form.click(compose, name)); }
    void type(const QString &text) { window.type(text); }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
    }
    void init()
    {
        form.answered.clear();
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
        QVERIFY(form.typeInto(compose, "recipientFreeField", "friend@example.org,"));
        type("pal@example.org");
        QCOMPARE(chips(), QStringList({"friend@example.org"}));
        QVERIFY(form.typeInto(compose, "subjectField", "Formatted"));
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
        QVERIFY(window.waitForShown("colorCell_red"));
        QVERIFY(window.click(window.item("colorCell_red")));
        window.key(Qt::Key_Escape);
        QVERIFY(form.gone("colorFontPicker"));
        window.key(Qt::Key_End);
        type(" ");
        click("linkButton");
        QVERIFY(form.typeInto("linkForm", "linkDescriptionField", "site"));
        QVERIFY(form.typeInto("linkForm", "linkAddressField", "https://example.org/"));
        QVERIFY(form.click("linkForm", "linkOkButton"));
        click("attachButton");
        QVERIFY(window.waitForShown("attachmentChip0"));
        window.key(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(form.gone(compose));

        QVERIFY(settle([&] { return servers.messages().size() == 2; }));
        QCOMPARE(count(Letter::SentFolder), 1);
        vmime::shared_ptr<vmime::message> message = vmime::make_shared<vmime::message>();
        message->parse(servers.messages().first().toStdString());
        vmime::messageParser parser(message);
        std::string out;
        vmime::utility::outputStreamStringAdapter htmlOut(out);
        for (size_t i = 0; i < parser.getTextPartCount(); ++i) {
            if (parser.getTextPartAt(i)->getType().getSubType() == "html")
                parser.getTextPartAt(i)->getText()->extract(htmlOut);
        }
        const QString html = QString::fromStdString(out);
        QVERIFY2(html.contains("font-weight:600;\">Strong"), qPrintable(html));
        QVERIFY2(html.contains("<ul") && html.contains("point"), qPrintable(html));
        QVERIFY(html.contains("color:#ff0000;\">point"));
        QVERIFY(html.contains("<a href=\"https://example.org/\">"));
        QCOMPARE(parser.getAttachmentCount(), size_t(1));
        std::string data;
        vmime::utility::outputStreamStringAdapter os(data);
        parser.getAttachmentAt(0)->getData()->extract(os);
        QVERIFY(QByteArray(data.data(), int(data.size())) == bytes);
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
        QCOMPARE(form.text(compose, "subjectField"), "Re: " + subject);
        QCOMPARE(chips(), QStringList({"Eve <b>&amp;</b>"}));
        QVERIFY2(body().contains(", " + sender + " writes:"), qPrintable(body()));
        click("replyToAllLink");
        QCOMPARE(chips(), QStringList({"Eve <b>&amp;</b>", "Other"}));
        // A change makes closing ask; "No" discards.
        click("formCloseButton");
        QVERIFY(form.message().contains("drafts"));
        QVERIFY(form.answer(false));
        QVERIFY(form.gone(compose));

        open("forwardButton");
        QCOMPARE(form.text(compose, "subjectField"), "Fwd: " + subject);
        QVERIFY(chips().isEmpty());
        for (const QString &line : {"From: " + sender, "Subject: " + subject,
                                    "To: " + own + ", Other <other@example.org>"})
            QVERIFY2(body().contains(line), qPrintable(body()));
        window.screenshot("compose-forward");
        // So does the question's own close button.
        QVERIFY(form.typeInto(compose, "subjectField", "Changed"));
        click("formCloseButton");
        QVERIFY(form.click("messageForm", "closeButton") && form.gone(compose));
        QCOMPARE(count(Letter::DraftsFolder), 0);
        QCOMPARE(requests, 0);
    }

    void draftKeepsOwnAddressAndLeavesDraftsWhenSent()
    {
        startAccount();
        open("newLetterButton");
        QVERIFY(form.typeInto(compose, "subjectField", "Unfinished"));
        window.key(Qt::Key_Escape);
        QCOMPARE(form.message(), "Do you want to save the message into drafts?");
        QVERIFY(form.answer(true));
        QVERIFY(window.waitFor([&] { return count(Letter::DraftsFolder) == 1; }));

        chooseLetter(Letter::DraftsFolder);
        open("editDraftButton");
        QCOMPARE(chips(), QStringList({"Test User"}));
        click("sendButton");
        QVERIFY(settle([&] { return servers.messages().size() == 1; }));
        QCOMPARE(count(Letter::DraftsFolder), 0);
        QCOMPARE(count(Letter::SentFolder), 1);
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
        QVERIFY(form.typeInto(compose, "recipientFreeField", recipient));
        QVERIFY(form.typeInto(compose, "subjectField", "Keep me"));
        click("sendButton");
        QVERIFY(form.gone(compose));
        // The user is told, and the letter waits in Drafts.
        QVERIFY2(settle([&] { return count(Letter::DraftsFolder) == 1
                                     && !form.answered.filter(QRegularExpression("^Send mail error: ")).isEmpty(); },
                        acceptCertificate), qPrintable(form.answered.join('|')));
        QCOMPARE(count(Letter::SentFolder), 0);
    }

    void sendDuringAFetchGoesOutAfterIt()
    {
        FaultServer silent;
        QVERIFY(silent.startSilent());
        startAccount();
        profile()->setIncomingServer(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::IMAP, SM::NO_SSL, silent.port()));
        profile()->queryIncomingMail();
        open("newLetterButton");
        QVERIFY(form.typeInto(compose, "recipientFreeField", "friend@example.org"));
        click("sendButton");
        QVERIFY(form.gone(compose));
        QCOMPARE(profile()->status(), Profile::RECIEVING_STATUS);
        QCOMPARE(profile()->pendingLetters(), 1);
        silent.stop();
        QVERIFY(settle([&] { return servers.messages().size() == 1; }));
        QCOMPARE(count(Letter::SentFolder), 1);
    }

    void contactsCompleteAndGrow()
    {
        QImage photo(8, 8, QImage::Format_RGB32);
        photo.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(photo.save(&buffer, "PNG"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "seed");
            db.setDatabaseName(SqliteDatabase::defaultPath());
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("create table contact (id bigint primary key, name text, surname text, "
                               "middlename text, emailList text, photoData text)"));
            QVERIFY(query.exec(QString("insert into contact (id, name, emailList, photoData) values "
                                       "(7, 'Ann Lee', 'ann@example.org', '%1')").arg(QString(png.toBase64()))));
        }
        QSqlDatabase::removeDatabase("seed");
        startAccount();
        open("newLetterButton");
        QVERIFY(form.typeInto(compose, "recipientFreeField", "lee"));
        QVERIFY(window.waitForShown("contactRow0"));
        QQuickItem *picture = window.item("contactPhoto", window.item("contactRow0"));
        QVERIFY(window.waitFor([&] { return picture->property("status").toInt() == 1; }));
        const QPointF centre = picture->mapToScene(QPointF(picture->width() / 2, picture->height() / 2));
        QCOMPARE(QColor(window.screenshot().pixel(centre.toPoint())), QColor(Qt::red));
        QVERIFY(window.click(window.item("contactRow0")));
        QCOMPARE(chips(), QStringList({"Ann Lee"}));
        type("new.person@example.org");
        click("sendButton");
        QVERIFY(settle([&] { return servers.messages().size() == 2; }));

        open("newLetterButton");
        QVERIFY(form.typeInto(compose, "recipientFreeField", "new.person"));
        QVERIFY(window.waitForShown("contactRow0"));
    }
};

MAIL_TEST_MAIN(ComposeTest)
#include "tst_compose_gui.moc"
