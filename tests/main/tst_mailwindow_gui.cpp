#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "base/filedialog.h"
#include "fixtures.h"
#include "base/settings.h"
#include "filecanary.h"
#include "mailservers.h"
#include "model/letter.h"
#include "servers/servermanager.h"
#include "servertestcase.h"
#include "store/cache.h"
#include "testhome.h"
#include "urlrecorder.h"
#include "window.h"

#include <QDesktopServices>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTcpServer>
#include <QtTest>

namespace SM = ServerKind;

class MailWindowTest : public QObject
{
    Q_OBJECT

    MailServers servers;
    MailWindow window;
    UrlRecorder desktop;
    QTcpServer tracker; // a web server that must never hear from us
    std::unique_ptr<FileCanary> canary; // a local file that must never be read
    const QString email = QStringLiteral("test@example.org");

    // Sent minute minutes after a fixed time, so the list order is known.
    static QByteArray message(const QByteArray &id, const QByteArray &subject, int minute,
                              const QList<QByteArray> &parts = {})
    {
        QByteArray raw = "From: Sender Name <" + id + ">\r\nTo: test@example.org\r\nSubject: " + subject
            + "\r\nDate: " + QDateTime(QDate(2025, 1, 6), QTime(10, minute), Qt::UTC).toString(Qt::RFC2822Date).toUtf8()
            + "\r\nMessage-ID: <" + id + ">\r\nMIME-Version: 1.0\r\n";
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
    static QByteArray richLetter()
    {
        return message("rich@example.org", "Rich letter", 30,
                       {text("html", "<p>Hi</p><table><tr><td>cell</td></tr></table>"),
                        text("plain", "Plain line one\nPlain line two"),
                        "Content-Type: text/plain; name=\"notes.txt\"\r\nContent-Disposition: attachment; "
                        "filename=\"notes.txt\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                            + QByteArray("attached notes\n").toBase64()});
    }
    static QStringList links()
    {
        return {"https://example.org/page", "http://example.org/", "file:///etc/passwd", "smb://host/share/run.exe",
                "javascript:alert(1)", "custom:do-something", "mailto:someone@example.org"};
    }

    void startWith(const QList<QByteArray> &messages, const QString &password = MailServers::password(),
                   SM::Ssl ssl = SM::NO_SSL, int port = 0, const std::function<void()> &more = {})
    {
        window.stop();
        MailWindow::clearUserData();
        servers.clearMailbox();
        for (const QByteArray &raw : messages)
            servers.seed(raw);
        storeTestAccount(port ? port : servers.imapPort(), ssl, 0, password);
        if (more)
            more();
        QVERIFY(window.start());
    }

    int rows() const { return window.value("mailList", "count").toInt(); }
    bool waitRows(int n) { return MailWindow::waitFor([&] { return rows() == n; }, 20000); }
    QQuickItem *row(int i) const { return window.item(QStringLiteral("mailRow%1").arg(i)); }
    bool openRow(int i) { return window.click(row(i)) && window.letterShown(window.text("letterSubject", row(i))); }
    bool toggleDrawer(bool open)
    {
        QQuickItem *drawer = window.item("folderList");
        return window.click("menuBackButton")
            && MailWindow::waitFor([&] { return open ? drawer->x() == 0 : !drawer->isVisible(); });
    }
    bool chooseFolder(int folder)
    {
        return toggleDrawer(true) && window.click(QStringLiteral("folderRow%1").arg(folder))
            && MailWindow::waitFor([&] { return !window.item("folderList")->isVisible(); });
    }
    QString folderCount(int folder)
    {
        toggleDrawer(true);
        const QString count = window.text("folderCount", window.item(QStringLiteral("folderRow%1").arg(folder)));
        toggleDrawer(false);
        return count;
    }
    bool choose(const QString &entry)
    {
        return window.gone("listViewForm") && window.click("attachmentRow0") && window.pick(entry);
    }
    QStringList actions() const
    {
        QStringList shown;
        for (QString name : {"editDraft", "reply", "forward", "archive", "restore", "delete", "print"}) {
            if (window.isShown(window.item(name + "Button")))
                shown << name;
        }
        return shown;
    }
    bool asked(const QString &form, const char *property, const QString &title)
    {
        QQuickItem *dialog = window.item(form);
        return MailWindow::waitFor([&] { return dialog->property(property) == title && dialog->isEnabled(); }, 20000);
    }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
        QVERIFY(tracker.listen(QHostAddress::LocalHost));
        canary = std::make_unique<FileCanary>(TestHome::path() + "/canary.png");
        QVERIFY(canary->made());
        for (const char *scheme : {"http", "https", "file", "smb", "javascript", "custom", "help", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &desktop, "open");
    }

    // Newest first, unseen marked and counted in the tray; a click shows the
    // letter with both bodies stacked.
    void fetchAndRead()
    {
        startWith({message("old@example.org", "Oldest", 1), richLetter(), message("new@example.org", "Newest", 50)});
        QVERIFY(waitRows(3));
        window.screenshot("list");
        QCOMPARE(window.text("letterSubject", row(0)) + window.text("letterSubject", row(2)), QStringLiteral("NewestOldest"));
        QObject *tray = window.object("trayIcon");
        QCOMPARE(tray->property("toolTip").toString(), QStringLiteral("Mail: unseen letters: 3"));
        QVERIFY(window.item("letterIcon", row(1))->property("source").toString().endsWith("/unseen.png"));
        QVERIFY(!window.item("attachMark", row(1))->isVisible());

        QVERIFY(openRow(1));
        QVERIFY(MailWindow::waitFor([&] { return window.item("attachMark", row(1))->isVisible(); }));
        QVERIFY(window.item("letterIcon", row(1))->property("source").toString().endsWith("/seen.png"));
        QVERIFY(MailWindow::waitFor([&] { return tray->property("toolTip") == "Mail: unseen letters: 2"; }));
        QCOMPARE(window.text("mailSender"), QStringLiteral("Sender Name <rich@example.org>"));
        QCOMPARE(window.text("mailDate"), QDateTime(QDate(2025, 1, 6), QTime(10, 30), Qt::UTC).toLocalTime()
                                         .toString("dd.MM.yyyy hh:mm:ss"));
        QQuickItem *html = window.item("mailBody0");
        QQuickItem *plain = window.item("mailBody1");
        QVERIFY(html && plain && html->property("text").toString().contains("cell"));
        QVERIFY(MailWindow::waitFor([&] { return plain->y() >= html->y() + html->height(); }));
        QVERIFY(window.call("mail", "getBodyText").toString().contains("<br>Plain line one<br>Plain line two"));
        QCOMPARE(window.text("attachmentCount"), QStringLiteral("Attachments: 1"));
        window.screenshot("letter");

        // The attachment opens and saves (printing is hostileLetter's); F1
        // opens the help.
        QVERIFY(window.click("attachmentTitle"));
        // The panel grows: its row takes clicks once all of it shows.
        QVERIFY(MailWindow::waitFor([&] {
            QQuickItem *row = window.item("attachmentRow0");
            return row && window.visibleRect(row).height() >= row->height();
        }));
        QCOMPARE(window.text("attachmentName"), QStringLiteral("notes.txt"));
        desktop.opened.clear();
        QVERIFY(choose("Open"));
        QVERIFY(MailWindow::waitFor([&] { return !desktop.opened.isEmpty(); }));
        QFile opened(desktop.opened.value(0).toLocalFile());
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(opened.readAll(), QByteArray("attached notes\n"));

        const QString saved = TestHome::path() + "/saved.txt";
        FileDialog::setAnswer([&](const QString &, const QString &) { return saved; });
        QVERIFY(choose("Save"));
        QVERIFY(MailWindow::waitFor([&] { return QFileInfo(saved).size() == 15; }));
        QVERIFY(window.gone("listViewForm"));
        FileDialog::setAnswer(nullptr);
        window.key(Qt::Key_F1);
        QCOMPARE(desktop.opened.last(), QUrl("help:drel-mail"));
        QVERIFY(window.click("newLetterButton") && window.click("settingsButton"));
        QCOMPARE(window.qmlWarnings(), QStringList());
    }

    // Only web links go to the desktop from a letter; the compose form (here
    // a forward of it) also hands over mail links.
    void linksFromALetter_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("inCompose");
        for (bool inCompose : {false, true}) {
            for (int i = 0; i < links().size(); ++i)
                QTest::newRow(qPrintable((inCompose ? "compose form: " : "") + links().at(i))) << i << inCompose;
        }
    }
    void linksFromALetter()
    {
        QFETCH(int, line);
        QFETCH(bool, inCompose);
        if (window.text("mailSubject") != "Links") {
            QByteArray lines;
            for (const QString &link : links())
                lines += "<a href=\"" + link.toUtf8() + "\">LINKLINKLINK</a><br>";
            startWith({message("links@example.org", "Links", 1, {text("html", "<p>" + lines + "</p>")})});
            QVERIFY(waitRows(1) && openRow(0));
        }
        QQuickItem *body = window.item("mailBody0");
        if (inCompose) {
            if (!window.isShown(window.item("newMailForm")))
                QVERIFY(window.click("forwardButton") && window.ready("newMailForm"));
            // The text edit inside the form's text area.
            const QList<QQuickItem *> edits = window.in("newMailForm", "bodyArea")->findChildren<QQuickItem *>();
            body = *std::find_if(edits.begin(), edits.end(), [](QQuickItem *i) { return i->inherits("QQuickTextEdit"); });
        }
        const QString link = links().at(line);
        qreal y = 0;
        for (QString at; at != link && y < body->height(); y += 2)
            QMetaObject::invokeMethod(body, "linkAt", Q_RETURN_ARG(QString, at), Q_ARG(qreal, 20), Q_ARG(qreal, y));
        QVERIFY(y < body->height());
        desktop.opened.clear();
        QVERIFY(window.click(body, QPointF(20, y)));
        QTest::qWait(200);
        const bool opens = link.startsWith("http") || (inCompose && link.startsWith("mailto:"));
        QCOMPARE(desktop.opened, opens ? QList<QUrl>{QUrl(link)} : QList<QUrl>());
    }

    // What a stranger wrote is shown as written; nothing it names is read
    // from disk or fetched, on screen, in print or when it is forwarded.
    void hostileLetter_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("item"); // shows the literal text; empty: only what the letter loads counts
        QTest::addColumn<QString>("shown");
        const QByteArray file = canary->url().toEncoded();
        const QByteArray web = "http://127.0.0.1:" + QByteArray::number(tracker.serverPort()) + "/t.png";
        const QByteArray hi = text("plain", "Hi");
        // The row's name is the subject unless one is given.
        auto row = [&](const char *name, const QByteArray &content, const QByteArray &subject = {},
                       const QByteArray &from = {}) -> QTestData & {
            QByteArray raw = message("hostile@example.org", subject.isEmpty() ? QByteArray(name) : subject, 0);
            raw = raw.left(raw.indexOf("Content-Type:")) + content;
            if (!from.isEmpty())
                raw.replace("Sender Name <hostile@example.org>", from);
            return QTest::newRow(name) << raw;
        };
        auto loads = [&](const char *name, const QByteArray &html) { row(name, text("html", html)) << QString() << QString(); };
        row("markup in the sender's name", hi, {}, "\"<b>PayPal</b> service@paypal.com\" <attacker@evil.example>")
                << "mailSender" << "<b>PayPal</b> service@paypal.com <attacker@evil.example>";
        row("remote picture in the subject", hi, "Quarterly <img src=\"" + web + "\"> figures")
                << "mailSubject" << QString("Quarterly <img src=\"" + web + "\"> figures");
        row("local picture in the subject", hi, "<img src=\"" + file + "\">")
                << "mailSubject" << QString("<img src=\"" + file + "\">");
        row("markup in an attachment name",
            "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n" + hi
                + "\r\n--b\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; filename=\"<img src='"
                + file + "'>.pdf\"\r\n\r\nx\r\n--b--\r\n")
                << "attachmentName" << QString("<img src='" + file + "'>.pdf");
        // A local picture named as "file:/..." is no link of the text, which stays plain.
        const QByteArray tagged = "<b>Hi</b> <img src=\"file:" + file.mid(7) + "\">";
        row("plain body that starts with a tag", text("plain", tagged + "\r\nbye")) << "mailBody0" << QString(tagged + "\nbye");
        loads("picture", "<p>x</p><img src=\"" + file + "\"><img src=\"" + web + "\">");
        loads("page background", "<body background=\"" + file + "\"><p>x</p></body>");
        loads("table and cell backgrounds",
              "<table background=\"" + file + "\"><tr><td background=\"" + web + "\">c</td></tr></table>");
        loads("style attribute",
              "<div style=\"background-image:url(" + file + ")\">a</div><p style=\"background: url('" + web + "')\">b</p>");
        loads("style element", "<style>@import url(" + web + "); p { background-image: url(" + file + ") }</style><p>x</p>");
        loads("linked style sheets", "<head><link rel=\"stylesheet\" type=\"text/css\" href=\"" + file
                                         + "\"><link rel=\"stylesheet\" type=\"text/css\" href=\"" + web + "\"></head><p>x</p>");
        // Places this engine does not load from today, kept closed for one that would.
        loads("picture set, object, frame and image button",
              "<img srcset=\"" + file + " 1x, " + web + " 2x\"><object data=\"" + file + "\"></object><iframe src=\""
                  + web + "\"></iframe><input type=\"image\" src=\"" + file + "\">");
        loads("scheme written as a character reference", "<img src=\"&#102;ile" + file.mid(4) + "\">");
        loads("picture provider that reads files", "<img src=\"image://effects/icon/none/0/0/0/" + file.mid(7) + "\">");
    }
    void hostileLetter()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, item);
        QFETCH(QString, shown);
        const int canaryOpened = canary->opened();
        startWith({raw});
        QVERIFY(waitRows(1) && openRow(0));
        if (!item.isEmpty()) {
            QCOMPARE(window.text(item), shown);
            for (const QString &name : {item, QStringLiteral("letterSubject"), QStringLiteral("letterSender"),
                                        QStringLiteral("mailSubject"), QStringLiteral("mailSender")})
                QCOMPARE(window.value(name, "textFormat"), QVariant(int(Qt::PlainText)));
        }
        window.screenshot(QString::fromUtf8(QTest::currentDataTag()));
        const QString pdf = TestHome::path() + "/hostile.pdf";
        QFile::remove(pdf);
        FileDialog::setAnswer([&](const QString &, const QString &) { return pdf; });
        QVERIFY(window.click("printButton"));
        QVERIFY(MailWindow::waitFor([&] { return QFileInfo(pdf).size() > 0; }));
        FileDialog::setAnswer(nullptr);
        // Forwarding copies the bodies into the compose form's rich text.
        QVERIFY(window.click("forwardButton") && window.ready("newMailForm"));
        window.key(Qt::Key_Escape);
        QVERIFY(window.gone("newMailForm"));
        QCOMPARE(canary->opened(), canaryOpened);
        QVERIFY(!tracker.hasPendingConnections() && !tracker.waitForNewConnection(0));
    }

    // Each folder's own actions move the letter, the drawer's counts follow,
    // and the pane shows the next letter 300 ms after its own has gone.
    void actionsMoveLetters()
    {
        startWith({message("a@example.org", "A", 1), message("b@example.org", "B", 2), message("c@example.org", "C", 3)});
        QVERIFY(waitRows(3) && openRow(0));
        QCOMPARE(actions(), QStringList({"reply", "forward", "archive", "delete", "print"}));
        QVERIFY(window.click("archiveButton"));
        QVERIFY(waitRows(2));
        QVERIFY(window.text("mailSubject") != "C");
        QVERIFY(MailWindow::waitFor([&] { return window.text("mailSubject") == "B"; }));
        QCOMPARE(folderCount(Letter::IncomingFolder) + folderCount(Letter::ArchiveFolder), QStringLiteral("21"));

        QVERIFY(chooseFolder(Letter::ArchiveFolder));
        QVERIFY(!window.isShown(window.item("mailHeader")));
        QVERIFY(waitRows(1) && openRow(0));
        QCOMPARE(actions(), QStringList({"reply", "forward", "delete", "print"}));
        QVERIFY(window.click("deleteButton"));
        QVERIFY(waitRows(0));
        QTest::qWait(400);
        QVERIFY(!window.isShown(window.item("mailHeader"))); // an empty list leaves the pane empty

        QVERIFY(chooseFolder(Letter::TrashFolder));
        QVERIFY(waitRows(1) && openRow(0));
        QCOMPARE(actions(), QStringList({"restore", "delete"}));
        QVERIFY(window.click("restoreButton"));
        QVERIFY(waitRows(0));
        QCOMPARE(folderCount(Letter::TrashFolder) + folderCount(Letter::ArchiveFolder), QStringLiteral("01"));

        Profile *profile = window.profile();
        for (int folder : {int(Letter::DraftsFolder), int(Letter::SentFolder)}) {
            profile->newLetter()->setId(QString::number(QDateTime::currentMSecsSinceEpoch()));
            QVERIFY(profile->cache()->saveLetterToFolder(profile->newLetter(), folder));
            QVERIFY(chooseFolder(folder));
            QVERIFY(waitRows(1) && openRow(0));
            QCOMPARE(actions(), folder == Letter::DraftsFolder ? QStringList({"editDraft", "delete"})
                                                               : QStringList({"reply", "forward", "archive", "delete", "print"}));
        }
    }

    // Switching folders keeps the search text but shows the new folder
    // unfiltered. The words of the bodies are found in the folder on screen
    // or in all folders, where a letter found opens and goes to Trash like
    // any. An account whose server record is gone stops no other.
    void searchAndFolderSwitch()
    {
        startWith({message("a1@example.org", "Alpha one", 1, {text("plain", "A zebra crossing")}),
                   message("b1@example.org", "Beta one", 2),
                   message("a2@example.org", "Alpha two", 3),
                   message("b2@example.org", "Beta two", 4, {text("html", "<p>Zebras &amp; lions</p>")})},
                  MailServers::password(), SM::NO_SSL, 0, [&] {
                      Settings::saveAccount("a@example.org", QString(), "gone.example.org", QString());
                      Settings::setCurrentProfile(email);
                  });
        QVERIFY(waitRows(4) && openRow(0));
        QVERIFY(window.click("archiveButton"));
        QVERIFY(waitRows(3));
        QVERIFY(window.click("searchField"));
        window.type("Alpha");
        QVERIFY(waitRows(2));
        QVERIFY(chooseFolder(Letter::ArchiveFolder));
        QVERIFY(waitRows(1));
        QCOMPARE(window.value("header", "searchText").toString(), QStringLiteral("Alpha"));
        QVERIFY(chooseFolder(Letter::IncomingFolder));
        QVERIFY(waitRows(3));

        auto *shown = qobject_cast<Profile *>(window.value("root", "currentProfile").value<QObject *>());
        QVERIFY(shown);
        LetterSearch *search = shown->search();
        QVERIFY(MailWindow::waitFor([&] { return search->search(QStringLiteral("zebra")).size() == 2; }, 20000));
        window.key(Qt::Key_F, Qt::ControlModifier);
        window.key(Qt::Key_A, Qt::ControlModifier);
        window.type("z\u00c9br");
        QVERIFY(waitRows(1));
        QVERIFY(window.click("searchEverywhereBox"));
        QVERIFY(waitRows(2));
        window.screenshot("search-all-folders");
        QVERIFY(openRow(0));
        QCOMPARE(window.text("mailSubject"), QStringLiteral("Beta two"));
        QCOMPARE(window.value("mailList", "shownFolder").toInt(), int(Letter::ArchiveFolder));
        QVERIFY(window.click("deleteButton"));
        SearchResults *results = shown->searchResults();
        QVERIFY(MailWindow::waitFor([&] {
            return results->count() == 2 && results->folderAt(0) == Letter::TrashFolder;
        }, 20000));
        QVERIFY(chooseFolder(Letter::ArchiveFolder));
        QVERIFY(waitRows(0));
        QCOMPARE(window.qmlWarnings(), QStringList());
    }

    // A folder of thousands of letters, as years of mail leave it: shown
    // newest first; a scroll from top to bottom makes rows only for what is
    // on screen and reads no letter; a search finds one letter among them.
    // The next start reads the folder through its cache and still follows
    // the files: one removed by hand meanwhile is gone from the list.
    void bigFolder()
    {
        const int letters = 3000;
        window.stop();
        MailWindow::clearUserData();
        QSettings().setValue(Settings::profilesGroup + '/' + email + '/' + Settings::inServerKey, "absent.invalid:1");
        Settings::setCurrentProfile(email);
        const QString dir = TestHome::path() + "/.drel-mail/" + email;
        Fixtures::writeIncomingFolder(dir, letters);
        QVERIFY(window.start());
        QVERIFY(waitRows(letters));
        QCOMPARE(window.text("letterSubject", row(0)), QStringLiteral("Letter number 2999 about something"));
        QQuickItem *list = window.item("mailListView");
        int most = 0;
        while (list->property("contentY").toReal() + list->height() < list->property("contentHeight").toReal()) {
            list->setProperty("contentY", list->property("contentY").toReal() + list->height());
            QCoreApplication::processEvents();
            int made = 0;
            for (QQuickItem *item : list->property("contentItem").value<QQuickItem *>()->childItems())
                made += item->objectName().startsWith("mailRow") ? 1 : 0;
            most = qMax(most, made);
        }
        QVERIFY2(most > 0 && most < 100, qPrintable(QString::number(most)));
        QVERIFY(MailWindow::waitFor([&] { return row(letters - 1) != nullptr; }));
        QCOMPARE(window.text("letterSubject", row(letters - 1)), QStringLiteral("Letter number 0 about something"));
        int parsed = 0;
        for (const Letter *letter : window.profile()->findChildren<Letter *>())
            parsed += letter->parsed() ? 1 : 0;
        QCOMPARE(parsed, 0);
        QVERIFY(window.click("searchField"));
        window.type("NUMBER 1234 about");
        QVERIFY(waitRows(1));

        window.stop();
        QVERIFY(QFile::exists(dir + "/incoming.conf.cache"));
        QVERIFY(QFile::remove(dir + "/Incoming/m2999@bench.eml"));
        QVERIFY(window.start());
        QVERIFY(waitRows(letters - 1));
        QCOMPARE(window.text("letterSubject", row(0)), QStringLiteral("Letter number 2998 about something"));
        QCOMPARE(window.qmlWarnings(), QStringList());
    }

    // An unknown certificate is put to the user; a refused login offers a
    // retry that asks for login and password again.
    void certificateAndRefusedLogin()
    {
        startWith({message("a@example.org", "A", 1)}, "wrong", SM::TLS_SSL, servers.imapsPort());
        QVERIFY(asked("messageForm", "title", "Certificate verification"));
        window.screenshot("certificate");
        QVERIFY(window.click("messageForm", "okButton"));
        QVERIFY(asked("messageForm", "title", "Authorization"));
        QVERIFY(window.message().startsWith("Authorization failed! Do you want to try again?\n"));
        QVERIFY(window.click("messageForm", "okButton"));
        // The prompts name the account and the server asking.
        const QString where = email + " on " + MailServers::address(servers.imapsPort());
        QVERIFY(asked("lineEditForm", "titleStr", "User name for " + where));
        QCOMPARE(window.text("field", window.item("lineEditForm")), MailServers::user());
        QVERIFY(window.click("lineEditForm", "okButton"));
        QVERIFY(asked("lineEditForm", "titleStr", "Password for " + where));
        // No keyring in the tests: the question says why it cannot keep
        // the password, and offers the session only.
        QVERIFY(window.isShown(window.in("lineEditForm", "note")));
        QVERIFY(!window.text("note", window.item("lineEditForm")).isEmpty());
        QCOMPARE(window.text("checkBox", window.item("lineEditForm")), QStringLiteral("Remember while the program runs"));
        window.type(MailServers::password());
        QVERIFY(window.click("lineEditForm", "okButton"));
        QVERIFY(waitRows(1));
    }

    // A day's mail read, answered, filed and found again with the keys alone.
    void keyboardOnlyDay()
    {
        startWith({message("zoe@example.org", "Lunch", 1).replace("Sender Name", "=?utf-8?q?Zo=C3=AB_=C3=84rger?="),
                   message("bob@example.org", "Report", 2).replace("To: ", "Cc: Dana Diaz <dana@example.org>\r\nTo: "),
                   message("cy@example.org", "Party", 3)},
                  MailServers::password(), SM::NO_SSL, 0,
                  // Over POP3: the reply sent below lands in this mailbox, and
                  // over IMAP it would come back at once by push.
                  [&] { storeTestAccount(servers.pop3Port(), SM::NO_SSL, servers.smtpPort(),
                                         MailServers::password(), SM::POP3); });
        QVERIFY(waitRows(3));
        QQuickItem *list = window.item("mailListView");
        QVERIFY(MailWindow::waitFor([&] { return list->hasActiveFocus(); }));
        const auto unseen = [&](int i) {
            return window.item("letterIcon", row(i))->property("source").toString().endsWith("/unseen.png");
        };
        const auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { window.key(key, modifiers); };
        // The key moves the choice to the letter of that subject, which shows.
        const auto shows = [&](int key, const QString &subject) { press(key); return window.letterShown(subject); };
        QVERIFY(shows(Qt::Key_Down, "Party") && shows(Qt::Key_End, "Lunch"));
        QVERIFY(shows(Qt::Key_Home, "Party") && shows(Qt::Key_PageDown, "Lunch"));
        QVERIFY(MailWindow::waitFor([&] { return !unseen(2); }));
        press(Qt::Key_U, Qt::ControlModifier);
        QVERIFY(MailWindow::waitFor([&] { return unseen(2); }));
        QVERIFY(shows(Qt::Key_PageUp, "Party") && shows(Qt::Key_Down, "Report"));
        QQuickItem *pane = window.item("mail");
        press(Qt::Key_Return);
        QVERIFY(MailWindow::waitFor([&] { return pane->width() == window.root()->width(); }));
        press(Qt::Key_Escape);
        QVERIFY(MailWindow::waitFor([&] { return pane->width() < window.root()->width(); }));

        // The reply reaches the server, and the keys come back to the list.
        press(Qt::Key_R, Qt::ControlModifier);
        QVERIFY(window.ready("newMailForm"));
        window.type("Thanks, Bob");
        press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(window.gone("newMailForm"));
        QByteArray raw;
        QVERIFY(MailWindow::waitFor([&] {
            for (const QByteArray &message : servers.messages())
                raw = message.contains("Re: Report") ? message : raw;
            return !raw.isEmpty();
        }, 30000));
        const QJsonObject sent = Fixtures::readByPython(raw);
        QCOMPARE(sent.value("subject").toString(), QStringLiteral("Re: Report"));
        QCOMPARE(sent.value("to").toArray().at(0).toArray().at(1).toString(), QStringLiteral("bob@example.org"));
        QVERIFY(sent.value("parts").toArray().at(0).toArray().at(1).toString().contains("Thanks, Bob"));
        QVERIFY(MailWindow::waitFor([&] { return list->hasActiveFocus(); }));

        // Archive, take it back, delete: the letter shown next keeps its mark.
        press(Qt::Key_E, Qt::ControlModifier);
        QVERIFY(waitRows(2));
        QVERIFY(window.shown("noticeActionButton"));
        press(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(waitRows(3));
        QVERIFY(shows(Qt::Key_Up, "Report")); // the selection stayed on the letter below
        press(Qt::Key_Delete);
        QVERIFY(waitRows(2) && window.letterShown("Lunch"));
        QVERIFY(unseen(1));
        QCOMPARE(window.object("trayIcon")->property("toolTip").toString(), QStringLiteral("Mail: unseen letters: 1"));

        // In Trash, Delete asks first; Escape keeps the letter. It goes back.
        press(Qt::Key_5, Qt::ControlModifier);
        QVERIFY(waitRows(1) && shows(Qt::Key_Down, "Report"));
        press(Qt::Key_Delete);
        QVERIFY(window.ready("messageForm"));
        press(Qt::Key_Escape);
        QVERIFY(window.gone("messageForm"));
        QCOMPARE(rows(), 1);
        press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(waitRows(0));
        press(Qt::Key_1, Qt::ControlModifier);
        QVERIFY(waitRows(3));

        // Found by a lower-case name without its accents.
        press(Qt::Key_F, Qt::ControlModifier);
        window.type("zoe arger");
        QVERIFY(waitRows(1));
        QCOMPARE(window.text("letterSubject", row(0)), QStringLiteral("Lunch"));
        press(Qt::Key_A, Qt::ControlModifier);
        window.type("DANA");
        QVERIFY(MailWindow::waitFor([&] { return window.text("letterSubject", row(0)) == "Report" && rows() == 1; }));
        press(Qt::Key_Escape);
        QVERIFY(MailWindow::waitFor([&] { return list->hasActiveFocus(); }));

        // A letter whose file has gone says so and where, and can still go.
        const QString path = window.profile()->cache()->messageFilePath(Letter::IncomingFolder, "bob@example.org");
        QVERIFY(QFile::remove(path));
        press(Qt::Key_Home);
        QVERIFY(MailWindow::waitFor([&] { return window.text("noticeText").contains(path); }));
        window.screenshot("unreadable");
        press(Qt::Key_Delete);
        QVERIFY(waitRows(0));
        QQuickItem *drawer = window.item("folderList");
        press(Qt::Key_F9);
        QVERIFY(MailWindow::waitFor([&] { return drawer->x() == 0; }));
        press(Qt::Key_Escape);
        QVERIFY(MailWindow::waitFor([&] { return !drawer->isVisible(); }));
        QCOMPARE(window.qmlWarnings(), QStringList());

        QSignalSpy quit(qmlEngine(window.root()), &QQmlEngine::quit);
        press(Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(quit.count() == 1 || quit.wait());
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
