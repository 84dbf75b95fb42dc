#include "connectionrecorder.h"
#include "filedialog.h"
#include "formdriver.h"
#include "letter.h"
#include "mailservers.h"
#include "profile.h"
#include "proxymodel.h"
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
    const QString compose = QStringLiteral("newMailForm");
    const QString own = QStringLiteral("test@example.org");

    Profile *profile() const
    {
        QObject *manager = window.object(QStringLiteral("mailProfileManager"));
        return qobject_cast<Profile *>(manager->property("profiles").toList().value(0).value<QObject *>());
    }
    int count(int folder) const
    {
        Model *model = profile() ? profile()->folderModel(folder) : nullptr;
        return model ? model->rowCount() : -1;
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
        MailWindow::clearUserData();
        MailWindow::addServer(SM::INCOMING_TYPE, SM::IMAP, SM::TLS_SSL, SM::AUTO_AUTH, MailServers::address(servers.imapsPort()));
        MailWindow::addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::TLS_SSL, SM::AUTO_AUTH,
                              MailServers::address(smtpPort ? smtpPort : servers.smtpsPort()));
        MailWindow::addAccount(own, QStringLiteral("Test User"), MailServers::address(servers.imapsPort()),
                               MailServers::address(smtpPort ? smtpPort : servers.smtpsPort()),
                               MailServers::user(), MailServers::password());
        if (!sendPassword.isEmpty())
            QSettings().setValue(QStringLiteral("profiles/%1/outPassword").arg(own), Utils::encrypt(sendPassword));
        QVERIFY(window.start());
        // The first check for mail asks about the server's certificate.
        QVERIFY(form.message().contains(QStringLiteral("certificate")));
        QVERIFY(settle());
    }
    void open(const QString &button)
    {
        QVERIFY(window.click(window.item(button)));
        QVERIFY(form.shown(compose));
    }
    QString body() const
    {
        QQuickItem *area = form.in(compose, QStringLiteral("bodyArea"));
        return window.call(QStringLiteral("bodyArea"), "getText", {0, area->property("length")}).toString();
    }
    QStringList chips() const
    {
        QStringList labels;
        for (QQuickItem *label : window.items(QStringLiteral("chipLabel"), form.in(compose, QStringLiteral("recipientField"))))
            labels << label->property("text").toString();
        return labels;
    }
    void chooseLetter(int folder, int row = 0)
    {
        window.call(QStringLiteral("root"), "chooseFolder", {folder});
        QVERIFY(window.waitFor([&] { return window.isShown(window.item(QStringLiteral("mailRow%1").arg(row))); }));
        QVERIFY(window.click(window.item(QStringLiteral("mailRow%1").arg(row))));
        QVERIFY(window.waitForShown(QStringLiteral("mailHeader")));
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
        servers.clearMailbox();
        QFile::remove(SqliteDatabase::defaultPath());
    }
    void cleanup()
    {
        window.stop();
        FileDialog::setAnswer(FileDialog::Answer());
    }
    void cleanupTestCase() { servers.stop(); }

    void formattedLetterWithAttachmentArrives()
    {
        QByteArray bytes(5 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(QRandomGenerator::global()->generate());
        const QString path = QDir::tempPath() + QStringLiteral("/report.bin");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        FileDialog::setAnswer([&](const QString &, const QString &) { return path; });
        startAccount();

        open(QStringLiteral("newLetterButton"));
        QVERIFY(form.typeInto(compose, QStringLiteral("recipientFreeField"), QStringLiteral("friend@example.org,")));
        type(QStringLiteral("pal@example.org"));
        QCOMPARE(chips(), QStringList({"friend@example.org"}));
        QVERIFY(form.typeInto(compose, QStringLiteral("subjectField"), QStringLiteral("Formatted")));
        // Formats apply to the selection, as a user selects a word first.
        click(QStringLiteral("bodyArea"));
        type(QStringLiteral("Strong"));
        window.key(Qt::Key_Home, Qt::ShiftModifier);
        click(QStringLiteral("boldButton"));
        window.key(Qt::Key_End);
        window.key(Qt::Key_Return);
        click(QStringLiteral("markedListButton"));
        type(QStringLiteral("point"));
        window.key(Qt::Key_Home, Qt::ShiftModifier);
        click(QStringLiteral("colorButton"));
        QVERIFY(window.waitForShown(QStringLiteral("colorCell_red")));
        QVERIFY(window.click(window.item(QStringLiteral("colorCell_red"))));
        window.key(Qt::Key_Escape);
        QVERIFY(form.gone(QStringLiteral("colorFontPicker")));
        window.key(Qt::Key_End);
        type(QStringLiteral(" "));
        click(QStringLiteral("linkButton"));
        QVERIFY(form.typeInto(QStringLiteral("linkForm"), QStringLiteral("linkDescriptionField"), QStringLiteral("site")));
        QVERIFY(form.typeInto(QStringLiteral("linkForm"), QStringLiteral("linkAddressField"), QStringLiteral("https://example.org/")));
        QVERIFY(form.click(QStringLiteral("linkForm"), QStringLiteral("linkOkButton")));
        click(QStringLiteral("attachButton"));
        QVERIFY(window.waitForShown(QStringLiteral("attachmentChip0")));
        window.screenshot(QStringLiteral("compose-formatted"));
        window.key(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(form.gone(compose));

        QVERIFY(settle([&] { return servers.messages().size() == 2; }));
        QCOMPARE(count(Letter::SentFolder), 1);
        vmime::shared_ptr<vmime::message> message = vmime::make_shared<vmime::message>();
        message->parse(servers.messages().first().toStdString());
        vmime::messageParser parser(message);
        QCOMPARE(parser.getRecipients().getAddressCount(), size_t(2));
        QString html;
        for (size_t i = 0; i < parser.getTextPartCount(); ++i) {
            if (parser.getTextPartAt(i)->getType().getSubType() != "html")
                continue;
            std::string out;
            vmime::utility::outputStreamStringAdapter os(out);
            parser.getTextPartAt(i)->getText()->extract(os);
            html = QString::fromUtf8(out.c_str());
        }
        QVERIFY2(html.contains(QStringLiteral("font-weight:600;\">Strong")), qPrintable(html));
        QVERIFY2(html.contains(QStringLiteral("<ul")) && html.contains(QStringLiteral("point")), qPrintable(html));
        QVERIFY(html.contains(QStringLiteral("color:#ff0000;\">point")));
        QVERIFY(html.contains(QStringLiteral("<a href=\"https://example.org/\">")));
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
        const QString picture = QStringLiteral("<img src=\"http://127.0.0.1:%1/p.png\">").arg(pictures.serverPort());
        const QString sender = QStringLiteral("Eve <b>&amp;</b> <eve@evil.test>");
        const QString subject = picture + QStringLiteral(" & <i>hi</i>");
        servers.seed(QStringLiteral("From: \"Eve <b>&amp;</b>\" <eve@evil.test>\r\nTo: %1, Other <other@example.org>\r\n"
                                    "Subject: %2\r\nMessage-ID: <hostile@evil.test>\r\nMIME-Version: 1.0\r\n"
                                    "Content-Type: text/html; charset=utf-8\r\n\r\n<p>Look %3</p>\r\n")
                             .arg(own, subject, picture).toUtf8());
        startAccount();
        QVERIFY(settle([&] { return count(Letter::IncomingFolder) == 1; }));
        chooseLetter(Letter::IncomingFolder);

        open(QStringLiteral("replyButton"));
        QCOMPARE(form.text(compose, QStringLiteral("subjectField")), QStringLiteral("Re: ") + subject);
        QCOMPARE(chips(), QStringList({"Eve <b>&amp;</b>"}));
        QVERIFY2(body().contains(QStringLiteral(", ") + sender + QStringLiteral(" writes:")), qPrintable(body()));
        click(QStringLiteral("replyToAllLink"));
        QCOMPARE(chips(), QStringList({"Eve <b>&amp;</b>", "Other"}));
        QVERIFY(window.click(form.in(compose, QStringLiteral("formCloseButton"))));
        QVERIFY(form.message().contains(QStringLiteral("drafts")));
        QVERIFY(form.answer(false));
        QVERIFY(form.gone(compose));

        open(QStringLiteral("forwardButton"));
        QCOMPARE(form.text(compose, QStringLiteral("subjectField")), QStringLiteral("Fwd: ") + subject);
        QVERIFY(chips().isEmpty());
        for (const QString &line : {QStringLiteral("From: ") + sender, QStringLiteral("Subject: ") + subject,
                                    QStringLiteral("To: ") + own + QStringLiteral(", Other <other@example.org>")})
            QVERIFY2(body().contains(line), qPrintable(body()));
        window.screenshot(QStringLiteral("compose-forward"));
        QTest::qWait(500);
        QCOMPARE(requests, 0);
    }

    void draftKeepsOwnAddressAndLeavesDraftsWhenSent()
    {
        startAccount();
        open(QStringLiteral("newLetterButton"));
        QVERIFY(form.typeInto(compose, QStringLiteral("subjectField"), QStringLiteral("Unfinished")));
        window.key(Qt::Key_Escape);
        QCOMPARE(form.message(), QStringLiteral("Do you want to save the message into drafts?"));
        QVERIFY(form.answer(true));
        QVERIFY(window.waitFor([&] { return count(Letter::DraftsFolder) == 1; }));

        chooseLetter(Letter::DraftsFolder);
        open(QStringLiteral("editDraftButton"));
        QCOMPARE(chips(), QStringList({"Test User"}));
        QCOMPARE(form.text(compose, QStringLiteral("subjectField")), QStringLiteral("Unfinished"));
        click(QStringLiteral("sendButton"));
        QVERIFY(settle([&] { return servers.messages().size() == 1; }));
        QCOMPARE(count(Letter::DraftsFolder), 0);
        QCOMPARE(count(Letter::SentFolder), 1);
    }

    void closingAfterAChangeAsks()
    {
        startAccount();
        for (const QString &discard : {QStringLiteral("cancelButton"), QStringLiteral("closeButton")}) {
            open(QStringLiteral("newLetterButton"));
            QVERIFY(form.typeInto(compose, QStringLiteral("subjectField"), QStringLiteral("Draft")));
            click(QStringLiteral("formCloseButton"));
            QVERIFY(!form.message().isEmpty());
            QVERIFY(form.click(QStringLiteral("messageForm"), discard));
            QVERIFY(form.gone(compose));
        }
        QCOMPARE(count(Letter::DraftsFolder), 0);
    }

    void failedSendTellsAndKeepsTheLetter_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<bool>("acceptCertificate");
        QTest::addColumn<bool>("serverDown");
        QTest::addColumn<QString>("sendPassword");
        QTest::newRow("rejected recipient") << QStringLiteral("reject@example.org") << true << false << QString();
        QTest::newRow("refused certificate") << QStringLiteral("friend@example.org") << false << false << QString();
        QTest::newRow("no connection") << QStringLiteral("friend@example.org") << true << true << QString();
        QTest::newRow("wrong password") << QStringLiteral("friend@example.org") << true << false << QStringLiteral("wrong");
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
        open(QStringLiteral("newLetterButton"));
        QVERIFY(form.typeInto(compose, QStringLiteral("recipientFreeField"), recipient));
        QVERIFY(form.typeInto(compose, QStringLiteral("subjectField"), QStringLiteral("Keep me")));
        click(QStringLiteral("sendButton"));
        QVERIFY(form.gone(compose));
        QString error;
        QVERIFY(form.answerUntil([&] {
            if (window.isShown(window.item(QStringLiteral("messageForm")))
                    && window.value(QStringLiteral("messageForm"), "title").toString() == QStringLiteral("Error"))
                error = window.value(QStringLiteral("messageForm"), "text").toString();
            return !error.isEmpty();
        }, MailServers::password(), acceptCertificate));
        QVERIFY2(error.startsWith(QStringLiteral("Send mail error: ")), qPrintable(error));
        QVERIFY(settle([&] { return count(Letter::DraftsFolder) == 1; }, acceptCertificate));
        QCOMPARE(count(Letter::SentFolder), 0);
    }

    void sendDuringAFetchGoesOutAfterIt()
    {
        FaultServer silent;
        QVERIFY(silent.startSilent());
        startAccount();
        profile()->setIncomingServer(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::IMAP, SM::NO_SSL, silent.port()));
        profile()->queryIncomingMail();
        open(QStringLiteral("newLetterButton"));
        QVERIFY(form.typeInto(compose, QStringLiteral("recipientFreeField"), QStringLiteral("friend@example.org")));
        click(QStringLiteral("sendButton"));
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
        photo.save(&buffer, "PNG");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
            db.setDatabaseName(SqliteDatabase::defaultPath());
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("create table if not exists contact (id bigint primary key, name text, surname text, "
                                              "middlename text, emailList text, photoData text)")));
            QVERIFY(query.exec(QStringLiteral("insert or replace into contact (id, name, emailList, photoData) values "
                                              "(7, 'Ann Lee', 'ann@example.org', '%1')").arg(QString::fromLatin1(png.toBase64()))));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("seed"));
        startAccount();
        open(QStringLiteral("newLetterButton"));
        QVERIFY(form.typeInto(compose, QStringLiteral("recipientFreeField"), QStringLiteral("lee")));
        QVERIFY(window.waitForShown(QStringLiteral("contactRow0")));
        QQuickItem *picture = window.item(QStringLiteral("contactPhoto"), window.item(QStringLiteral("contactRow0")));
        QVERIFY(window.waitFor([&] { return picture->property("status").toInt() == 1; }));
        window.screenshot(QStringLiteral("compose-contacts"));
        const QPointF centre = picture->mapToScene(QPointF(picture->width() / 2, picture->height() / 2));
        QCOMPARE(QColor(window.screenshot().pixel(centre.toPoint())), QColor(Qt::red));
        QVERIFY(window.click(window.item(QStringLiteral("contactRow0"))));
        QCOMPARE(chips(), QStringList({"Ann Lee"}));
        type(QStringLiteral("new.person@example.org"));
        click(QStringLiteral("sendButton"));
        QVERIFY(settle([&] { return servers.messages().size() == 2; }));

        open(QStringLiteral("newLetterButton"));
        QVERIFY(form.typeInto(compose, QStringLiteral("recipientFreeField"), QStringLiteral("new.person")));
        QVERIFY(window.waitForShown(QStringLiteral("contactRow0")));
    }
};

MAIL_TEST_MAIN(ComposeTest)
#include "tst_compose_gui.moc"
