#include "filedialog.h"
#include "letter.h"
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
                       {text("html", "<p><a href=\"LINK\">LINKLINKLINKLINK</a></p><img src=\"" + web
                                         + "/pixel.png\"><table background=\"" + web + "/bg.png\"><tr><td>"
                                         "cell</td></tr></table><div style=\"background-image:url(" + web
                                         + "/css.png)\">styled</div>"),
                        text("plain", "Plain line one\nPlain line two"),
                        file("notes.txt", "attached notes\n")});
    }

    // A user whose settings hold one account on the harness's IMAP server;
    // the window starts and fetches.
    void startWith(const QList<QByteArray> &messages, const QString &password = MailServers::password(),
                   SM::Ssl ssl = SM::NO_SSL, int port = 0)
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
        if (!window.click(QStringLiteral("menuBackButton")) || !window.waitForShown(QStringLiteral("folderList")))
            return false;
        QTest::qWait(400); // the drawer slides in
        return window.click(QStringLiteral("folderRow%1").arg(folder))
            && MailWindow::waitFor([&] { return window.value("root", "currentFolder").toInt() == folder; });
    }
    QString folderCount(int folder)
    {
        window.click(QStringLiteral("menuBackButton"));
        QTest::qWait(400);
        const QString count = window.item(QStringLiteral("folderCount"), window.item(QStringLiteral("folderRow%1").arg(folder)))
                                  ->property("text").toString();
        window.click(QStringLiteral("menuBackButton"));
        QTest::qWait(400);
        return count;
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
