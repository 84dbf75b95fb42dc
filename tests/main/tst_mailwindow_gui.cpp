#include "cache.h"
#include "filedialog.h"
#include "letter.h"
#include "profile.h"
#include "profilemanager.h"
#include "settings.h"
#include "mailservers.h"
#include "servermanager.h"
#include "testhome.h"
#include "window.h"

#include <QDesktopServices>
#include <QQuickItem>
#include <QTcpServer>
#include <QtTest>

using SM = ServerManager;

// Receives the URLs the program hands to the desktop.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

// The main window as a user meets it: the real scene on the real backend,
// fetching from the harness's Dovecot.
class MailWindowTest : public QObject
{
    Q_OBJECT

    MailServers servers;
    MailWindow window;
    UrlRecorder desktop;
    QTcpServer tracker; // a web server that must never hear from us
    const QString email = QStringLiteral("test@example.org");

    // A message sent minute minutes after a fixed start, so that the list
    // order is known; parts are MIME parts of a multipart/mixed body.
    static QByteArray message(const QString &id, const QString &subject, int minute,
                              const QList<QByteArray> &parts = {})
    {
        QByteArray raw = "From: Sender Name <" + id.toUtf8() + ">\r\nTo: test@example.org\r\n"
                         "Subject: " + subject.toUtf8() + "\r\nDate: "
            + QDateTime(QDate(2025, 1, 6), QTime(10, minute), Qt::UTC).toString(Qt::RFC2822Date).toUtf8()
            + "\r\nMessage-ID: <" + id.toUtf8() + ">\r\nMIME-Version: 1.0\r\n";
        if (parts.isEmpty())
            return raw + "Content-Type: text/plain; charset=utf-8\r\n\r\nHello.\r\n";
        raw += "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
        for (const QByteArray &part : parts)
            raw += "--b\r\n" + part + "\r\n";
        return raw + "--b--\r\n";
    }
    static QByteArray text(const QByteArray &subtype, const QByteArray &body)
    {
        return "Content-Type: text/" + subtype + "; charset=utf-8\r\n\r\n" + body;
    }
    static QByteArray file(const QByteArray &name, const QByteArray &content)
    {
        return "Content-Type: application/octet-stream; name=\"" + name
            + "\"\r\nContent-Disposition: attachment; filename=\"" + name
            + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + content.toBase64();
    }
    QByteArray richLetter() const
    {
        const QByteArray web = "http://127.0.0.1:" + QByteArray::number(tracker.serverPort());
        return message(QStringLiteral("rich@example.org"), QStringLiteral("Rich letter"), 30,
                       {text("html", "<p><a href=\"https://example.org/\">LINKLINKLINKLINK</a></p><img src=\"" + web
                                         + "/pixel.png\"><table background=\"" + web + "/bg.png\"><tr><td>"
                                         "cell</td></tr></table><div style=\"background-image:url(" + web
                                         + "/css.png)\">styled</div>"),
                        text("plain", "Plain line one\nPlain line two"),
                        file("notes.txt", "attached notes\n")});
    }

    static QStringList links()
    {
        return {QStringLiteral("https://example.org/page"), QStringLiteral("http://example.org/"),
                QStringLiteral("file:///etc/passwd"), QStringLiteral("smb://host/share/run.exe"),
                QStringLiteral("javascript:alert(1)"), QStringLiteral("custom:do-something"),
                QStringLiteral("mailto:someone@example.org")};
    }

    // A user whose settings hold one account on the harness's IMAP server;
    // the window starts and fetches.
    void startWith(const QList<QByteArray> &messages, const QString &password = MailServers::password(),
                   SM::Ssl ssl = SM::NO_SSL, int port = 0, const std::function<void()> &more = {})
    {
        window.stop();
        MailWindow::clearUserData();
        servers.clearMailbox();
        for (const QByteArray &raw : messages)
            servers.seed(raw);
        const QString in = MailServers::address(port ? port : servers.imapPort());
        const QString out = MailServers::address(servers.smtpPort());
        MailWindow::addServer(SM::INCOMING_TYPE, SM::IMAP, ssl, SM::AUTO_AUTH, in);
        MailWindow::addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, SM::AUTO_AUTH, out);
        MailWindow::addAccount(email, QStringLiteral("Test"), in, out, MailServers::user(), password);
        if (more)
            more();
        QVERIFY(window.start());
    }

    int rows() const { return window.value(QStringLiteral("mailList"), "count").toInt(); }
    bool waitRows(int n) { return MailWindow::waitFor([&] { return rows() == n; }, 20000); }
    QQuickItem *row(int i) const { return window.item(QStringLiteral("mailRow%1").arg(i)); }
    QString subjectOf(QQuickItem *item) const
    {
        return window.item(QStringLiteral("letterSubject"), item)->property("text").toString();
    }
    QString shownSubject() const { return window.value(QStringLiteral("mailSubject"), "text").toString(); }
    bool isShown(const QString &name) const { return window.isShown(window.item(name)); }

    bool openRow(int i)
    {
        return window.click(row(i)) && MailWindow::waitFor([&] { return shownSubject() == subjectOf(row(i)); });
    }
    bool chooseFolder(int folder)
    {
        QQuickItem *drawer = window.item(QStringLiteral("folderList"));
        if (!window.click(QStringLiteral("menuBackButton")) || !MailWindow::waitFor([&] { return drawer->x() == 0; }))
            return false;
        return window.click(QStringLiteral("folderRow%1").arg(folder))
            && MailWindow::waitFor([&] { return !window.item(QStringLiteral("folderList"))->isVisible(); })
            && window.value("root", "currentFolder").toInt() == folder;
    }
    // The count the drawer shows for a folder when opened.
    QString folderCount(int folder)
    {
        QQuickItem *drawer = window.item(QStringLiteral("folderList"));
        window.click(QStringLiteral("menuBackButton"));
        MailWindow::waitFor([&] { return drawer->x() == 0; });
        const QString count = window.item(QStringLiteral("folderCount"), window.item(QStringLiteral("folderRow%1").arg(folder)))
                                  ->property("text").toString();
        window.click(QStringLiteral("menuBackButton"));
        MailWindow::waitFor([&] { return !drawer->isVisible(); });
        return count;
    }
    bool choiceListGone()
    {
        return MailWindow::waitFor([&] { return !window.item(QStringLiteral("listViewForm"))->isVisible(); });
    }
    Profile *profile() const
    {
        return qobject_cast<ProfileManager *>(window.object(QStringLiteral("mailProfileManager")))->profileAt(0);
    }
    // The reading pane's action buttons a user sees, left to right.
    QStringList actions() const
    {
        QStringList shown;
        for (const char *name : {"editDraftButton", "replyButton", "forwardButton", "archiveButton",
                                 "restoreButton", "deleteButton", "printButton"}) {
            if (isShown(QLatin1String(name)))
                shown << QString::fromLatin1(name).remove(QLatin1String("Button"));
        }
        return shown;
    }
    bool prompted(const QString &title)
    {
        QQuickItem *form = window.item(QStringLiteral("lineEditForm"));
        return MailWindow::waitFor([&] {
            return form->property("titleStr").toString() == title && form->opacity() == 1.0;
        }, 20000);
    }
    // Clicks a button of the open message box or text prompt.
    bool answer(const QString &form, const QString &button)
    {
        QQuickItem *dialog = window.item(form);
        return MailWindow::waitFor([&] { return dialog->isEnabled() && dialog->opacity() == 1.0; })
            && window.click(window.item(button, dialog));
    }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
        QVERIFY(tracker.listen(QHostAddress::LocalHost));
        for (const char *scheme : {"http", "https", "file", "smb", "javascript", "custom"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &desktop, "open");
    }

    // The account fetches at start; the list shows the newest letter first,
    // unseen letters with their mark, and the tray counts them.
    void fetchAtStartListsNewestFirst()
    {
        startWith({message(QStringLiteral("old@example.org"), QStringLiteral("Oldest"), 1),
                   richLetter(),
                   message(QStringLiteral("new@example.org"), QStringLiteral("Newest"), 50)});
        QVERIFY(waitRows(3));
        window.screenshot(QStringLiteral("list"));
        QCOMPARE(subjectOf(row(0)), QStringLiteral("Newest"));
        QCOMPARE(subjectOf(row(1)), QStringLiteral("Rich letter"));
        QCOMPARE(subjectOf(row(2)), QStringLiteral("Oldest"));
        const int unseen = window.object(QStringLiteral("trayIcon"))->property("unseenLetters").toInt();
        QCOMPARE(window.object(QStringLiteral("trayIcon"))->property("toolTip").toString(),
                 QStringLiteral("Mail: unseen letters: %1").arg(unseen));
        QVERIFY(unseen >= 2);
        QVERIFY(window.value(QStringLiteral("letterIcon"), "source").toString().endsWith(QLatin1String("unseen.png")));
        QVERIFY(!window.item(QStringLiteral("attachMark"), row(1))->isVisible());

        QVERIFY(openRow(1));
        QVERIFY(MailWindow::waitFor([&] { return window.item(QStringLiteral("attachMark"), row(1))->isVisible(); }));
        QVERIFY(window.item(QStringLiteral("letterIcon"), row(1))->property("source").toString().endsWith(QLatin1String("/seen.png")));
        QVERIFY(MailWindow::waitFor([&] {
            return window.object(QStringLiteral("trayIcon"))->property("toolTip").toString()
                == (unseen > 1 ? QStringLiteral("Mail: unseen letters: %1").arg(unseen - 1) : QStringLiteral("Mail"));
        }));
        QCOMPARE(window.qmlWarnings(), QStringList());
    }

    // A click shows the letter: header, an HTML and a plain body stacked,
    // the attachments, which open and save; remote pictures stay unloaded
    // on screen and in the printed PDF.
    void readingALetter()
    {
        startWith({message(QStringLiteral("new@example.org"), QStringLiteral("Newest"), 50), richLetter()});
        QVERIFY(waitRows(2));
        QVERIFY(openRow(1));
        QCOMPARE(window.value(QStringLiteral("mailSender"), "text").toString(),
                 QStringLiteral("Sender Name <rich@example.org>"));
        const QDateTime sent = QDateTime(QDate(2025, 1, 6), QTime(10, 30), Qt::UTC).toLocalTime();
        QCOMPARE(window.value(QStringLiteral("mailDate"), "text").toString(), sent.toString("dd.MM.yyyy hh:mm:ss"));
        QQuickItem *html = window.item(QStringLiteral("mailBody0"));
        QQuickItem *plain = window.item(QStringLiteral("mailBody1"));
        QVERIFY(html && plain);
        QVERIFY(html->property("text").toString().contains(QLatin1String("LINKLINK")));
        QVERIFY(plain->property("text").toString().contains(QLatin1String("Plain line two")));
        QVERIFY(plain->y() >= html->y() + html->height());
        const QString joined = window.call(QStringLiteral("mail"), "getBodyText").toString();
        QVERIFY(joined.contains(QLatin1String("Plain line one<br>Plain line two")));
        QVERIFY(isShown(QStringLiteral("attachmentPanel")));
        QCOMPARE(window.value(QStringLiteral("attachmentCount"), "text").toString(), QStringLiteral("Attachments: 1"));
        window.screenshot(QStringLiteral("letter"));

        QVERIFY(window.click(QStringLiteral("attachmentTitle")));
        QTest::qWait(300); // the panel grows
        QVERIFY(window.isShown(window.item(QStringLiteral("attachmentRow0"))));
        QCOMPARE(window.value(QStringLiteral("attachmentName"), "text").toString(), QStringLiteral("notes.txt"));
        window.screenshot(QStringLiteral("attachments"));
        desktop.opened.clear();
        QVERIFY(window.click(QStringLiteral("attachmentRow0")));
        QVERIFY(MailWindow::waitFor([&] { return window.textItem(QStringLiteral("Open")); }));
        QVERIFY(window.click(window.textItem(QStringLiteral("Open"))));
        QVERIFY(MailWindow::waitFor([&] { return !desktop.opened.isEmpty(); }));
        QFile opened(desktop.opened.value(0).toLocalFile());
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(opened.readAll(), QByteArray("attached notes\n"));

        const QString saved = TestHome::path() + QStringLiteral("/saved.txt");
        FileDialog::setAnswer([&](const QString &, const QString &) { return saved; });
        QVERIFY(choiceListGone());
        QVERIFY(window.click(QStringLiteral("attachmentRow0")));
        QVERIFY(MailWindow::waitFor([&] { return window.textItem(QStringLiteral("Save")); }));
        QVERIFY(window.click(window.textItem(QStringLiteral("Save"))));
        QVERIFY(MailWindow::waitFor([&] { return QFileInfo(saved).size() == 15; }));

        const QString pdf = TestHome::path() + QStringLiteral("/letter.pdf");
        FileDialog::setAnswer([&](const QString &, const QString &) { return pdf; });
        QVERIFY(choiceListGone());
        QVERIFY(window.click(QStringLiteral("printButton")));
        QVERIFY(MailWindow::waitFor([&] { return QFileInfo(pdf).size() > 0; }));
        FileDialog::setAnswer(nullptr);
        QTest::qWait(500);
        QVERIFY(!tracker.hasPendingConnections());
    }

    // Only web links go to the desktop; file, share, script and custom links
    // from a letter are ignored.
    void linksFromALetter_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("opened");
        for (int i = 0; i < links().size(); ++i)
            QTest::newRow(qPrintable(links().at(i))) << i << links().at(i).startsWith(QLatin1String("http"));
    }
    void linksFromALetter()
    {
        QFETCH(int, line);
        QFETCH(bool, opened);
        if (!isShown(QStringLiteral("mailBody0"))) {
            QByteArray lines;
            for (const QString &link : links())
                lines += "<a href=\"" + link.toUtf8() + "\">LINKLINKLINK</a><br>";
            startWith({message(QStringLiteral("links@example.org"), QStringLiteral("Links"), 1,
                               {text("html", "<p>" + lines + "</p>")})});
            QVERIFY(waitRows(1) && openRow(0));
        }
        QQuickItem *body = window.item(QStringLiteral("mailBody0"));
        qreal y = 0;
        for (QString at; at != links().at(line) && y < body->height(); y += 2)
            QMetaObject::invokeMethod(body, "linkAt", Q_RETURN_ARG(QString, at), Q_ARG(qreal, 20), Q_ARG(qreal, y));
        desktop.opened.clear();
        QVERIFY(window.click(body, QPointF(20, y)));
        QTest::qWait(200);
        QCOMPARE(desktop.opened, opened ? QList<QUrl>{QUrl(links().at(line))} : QList<QUrl>());
    }

    // Each folder offers its own actions; archive, delete and restore move
    // the letter, the drawer's counts follow, and the pane shows the next
    // letter 300 ms after its own has gone.
    void actionsMoveLetters()
    {
        startWith({message(QStringLiteral("a@example.org"), QStringLiteral("A"), 1),
                   message(QStringLiteral("b@example.org"), QStringLiteral("B"), 2),
                   message(QStringLiteral("c@example.org"), QStringLiteral("C"), 3)});
        QVERIFY(waitRows(3));
        QVERIFY(openRow(0));
        QCOMPARE(actions(), QStringList({"reply", "forward", "archive", "delete", "print"}));
        QVERIFY(window.click(QStringLiteral("archiveButton")));
        QVERIFY(waitRows(2));
        QVERIFY(shownSubject() != QLatin1String("C"));
        QVERIFY(MailWindow::waitFor([&] { return shownSubject() == QLatin1String("B"); }));
        QCOMPARE(folderCount(Letter::IncomingFolder), QStringLiteral("2"));
        QCOMPARE(folderCount(Letter::ArchiveFolder), QStringLiteral("1"));

        QVERIFY(chooseFolder(Letter::ArchiveFolder));
        QVERIFY(!isShown(QStringLiteral("mailHeader")));
        QVERIFY(waitRows(1) && openRow(0));
        QCOMPARE(shownSubject(), QStringLiteral("C"));
        QCOMPARE(actions(), QStringList({"reply", "forward", "delete", "print"}));
        QVERIFY(window.click(QStringLiteral("deleteButton")));
        QVERIFY(waitRows(0));
        QTest::qWait(400);
        QVERIFY(!isShown(QStringLiteral("mailHeader"))); // an empty list leaves the pane empty

        QVERIFY(chooseFolder(Letter::TrashFolder));
        QVERIFY(waitRows(1) && openRow(0));
        QCOMPARE(actions(), QStringList({"restore", "delete"}));
        QVERIFY(window.click(QStringLiteral("restoreButton")));
        QVERIFY(waitRows(0));
        QCOMPARE(folderCount(Letter::TrashFolder), QStringLiteral("0"));
        QCOMPARE(folderCount(Letter::ArchiveFolder), QStringLiteral("1"));

        for (int folder : {int(Letter::DraftsFolder), int(Letter::SentFolder)}) {
            Letter *letter = profile()->newLetter();
            letter->setId(QString::number(QDateTime::currentMSecsSinceEpoch()));
            letter->setSubject(QStringLiteral("Filed"));
            QVERIFY(profile()->cache()->saveLetterToFolder(letter, folder));
            QVERIFY(chooseFolder(folder));
            QVERIFY(waitRows(1) && openRow(0));
            QCOMPARE(actions(), folder == Letter::DraftsFolder ? QStringList({"editDraft", "delete"})
                                                               : QStringList({"reply", "forward", "archive", "delete", "print"}));
        }
    }

    // The search filters the shown folder; switching folders keeps the text
    // in the field and shows the new folder unfiltered.
    void searchAndFolderSwitch()
    {
        startWith({message(QStringLiteral("a1@example.org"), QStringLiteral("Alpha one"), 1),
                   message(QStringLiteral("b1@example.org"), QStringLiteral("Beta one"), 2),
                   message(QStringLiteral("a2@example.org"), QStringLiteral("Alpha two"), 3),
                   message(QStringLiteral("b2@example.org"), QStringLiteral("Beta two"), 4)});
        QVERIFY(waitRows(4));
        QVERIFY(openRow(0));
        QVERIFY(window.click(QStringLiteral("archiveButton")));
        QVERIFY(waitRows(3));
        QVERIFY(window.click(window.item(QStringLiteral("searchField"))));
        window.type(QStringLiteral("Alpha"));
        QVERIFY(waitRows(2));
        window.screenshot(QStringLiteral("search"));
        QVERIFY(chooseFolder(Letter::ArchiveFolder));
        QVERIFY(waitRows(1));
        QCOMPARE(window.value(QStringLiteral("header"), "searchText").toString(), QStringLiteral("Alpha"));
        QVERIFY(chooseFolder(Letter::IncomingFolder));
        QVERIFY(waitRows(3));
    }

    // A refused login asks whether to try again; the retry asks for the
    // login (offering the address's user part) and the password again, and
    // with the right ones the letters arrive.
    void refusedLoginAsksToRetry()
    {
        startWith({message(QStringLiteral("a@example.org"), QStringLiteral("A"), 1)}, QStringLiteral("wrong"));
        QVERIFY(MailWindow::waitFor([&] {
            return window.value(QStringLiteral("messageForm"), "title").toString() == QLatin1String("Authorization");
        }, 20000));
        QVERIFY(window.value(QStringLiteral("messageForm"), "text").toString()
                    .startsWith(QLatin1String("Authorization failed! Do you want to try again?\n")));
        window.screenshot(QStringLiteral("authfailed"));
        QVERIFY(answer(QStringLiteral("messageForm"), QStringLiteral("okButton")));
        QVERIFY(prompted(QStringLiteral("Input username")));
        QCOMPARE(window.item(QStringLiteral("field"), window.item(QStringLiteral("lineEditForm")))->property("text").toString(),
                 MailServers::user());
        QVERIFY(answer(QStringLiteral("lineEditForm"), QStringLiteral("okButton")));
        QVERIFY(prompted(QStringLiteral("Input password")));
        window.type(MailServers::password());
        window.screenshot(QStringLiteral("password"));
        QVERIFY(answer(QStringLiteral("lineEditForm"), QStringLiteral("okButton")));
        QVERIFY(waitRows(1));
    }

    // A certificate nobody has accepted yet is put to the user at start; yes
    // lets the fetch go on.
    void certificateQuestionAtStart()
    {
        startWith({message(QStringLiteral("a@example.org"), QStringLiteral("A"), 1)}, MailServers::password(),
                  SM::TLS_SSL, servers.imapsPort());
        QVERIFY(MailWindow::waitFor([&] {
            return window.value(QStringLiteral("messageForm"), "title").toString()
                == QLatin1String("Certificate verification");
        }, 20000));
        window.screenshot(QStringLiteral("certificate"));
        QVERIFY(answer(QStringLiteral("messageForm"), QStringLiteral("okButton")));
        QVERIFY(waitRows(1));
    }

    // An account whose server record is gone does not keep the accounts
    // after it from getting their servers and the current one from fetching.
    void accountWithoutServerRecord()
    {
        startWith({message(QStringLiteral("a@example.org"), QStringLiteral("A"), 1)}, MailServers::password(),
                  SM::NO_SSL, 0, [&] {
                      MailWindow::addAccount(QStringLiteral("a@example.org"), QString(),
                                             QStringLiteral("gone.example.org"), QString(), QString(), QString());
                      Settings::setCurrentProfile(email);
                  });
        QVERIFY(waitRows(1));
        QCOMPARE(window.qmlWarnings(), QStringList());
    }

    void cleanupTestCase()
    {
        window.stop();
        servers.stop();
        FileDialog::setAnswer(nullptr);
    }
};

MAIL_TEST_MAIN(MailWindowTest)
#include "tst_mailwindow_gui.moc"
