// Receiving, the security probe, logins, certificates, time-outs, sending and
// an attacker on the line, against real servers on loopback.
#include "answers.h"
#include "base/settings.h"
#include "connectionrecorder.h"
#include "fixtures.h"
#include "mailservers.h"
#include "main/startup.h"
#include "model/attachment.h"
#include "model/letter.h"
#include "net/authenticator.h"
#include "net/connection.h"
#include "servers/servermanager.h"
#include "servertestcase.h"
#include "testhome.h"

#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

#include <atomic>
#include <memory>

namespace {
namespace SM = ServerKind;

QByteArray storedFingerprint(int port)
{
    QByteArray bytes;
    for (const QVariant &v : QSettings().value(Settings::serversGroup + QLatin1Char('/') + MailServers::address(port)
                                               + QLatin1Char('/') + Settings::certificateFingerprintKey).toList())
        bytes.append(static_cast<char>(v.toInt()));
    return bytes;
}

void address(Letter &letter, const QString &to, const QString &subject = QString())
{
    letter.setFrom(QStringLiteral("test@example.org"));
    letter.setToList({to});
    letter.setSubject(subject);
    letter.setBodyList({QStringLiteral("Body")});
}
}

class TestTransport : public ServerTestCase
{
    Q_OBJECT

    using Worker = RecordedConnection;

    // An incoming server whose certificate questions go to the manager.
    Server *asking(ServerManager &manager, SM::Protocol protocol, SM::Ssl ssl, int port)
    {
        Server *server = ConnectionRecorder::incoming(protocol, port, ssl);
        connect(server, &Server::queryCertificate, &manager, &ServerManager::onQueryCertificate, Qt::QueuedConnection);
        return server;
    }

private slots:
    void fetchesInEachSecurityMode_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("ssl");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("loginInAddress"); // "user:password@host:port", no login of the account
        QTest::newRow("pop3 starttls") << int(SM::POP3) << int(SM::STARTTLS_SSL) << servers.pop3Port() << false;
        QTest::newRow("pop3s") << int(SM::POP3) << int(SM::TLS_SSL) << servers.pop3sPort() << false;
        QTest::newRow("imap starttls") << int(SM::IMAP) << int(SM::STARTTLS_SSL) << servers.imapPort() << false;
        QTest::newRow("imaps") << int(SM::IMAP) << int(SM::TLS_SSL) << servers.imapsPort() << false;
        QTest::newRow("pop3, login in the address") << int(SM::POP3) << int(SM::NO_SSL) << servers.pop3Port() << true;
    }

    void fetchesInEachSecurityMode()
    {
        QFETCH(int, protocol);
        QFETCH(int, ssl);
        QFETCH(int, port);
        QFETCH(bool, loginInAddress);
        const QByteArray older = MailServers::makeMessage("older@example.org", "Older");
        // POP3 byte-stuffs lines that begin with a dot; none may stay stuffed.
        const QByteArray newer = MailServers::makeMessage("newer@example.org", "Newer",
                                                          ".one dot\r\n..two dots\r\n.\r\n...\r\nlast line");
        servers.seed(older);
        servers.seed(newer);
        // The certificate is taken as known, so no question comes up here.
        servers.trustCertificate(port);

        Server *server = ConnectionRecorder::incoming(protocol, port, SM::Ssl(ssl));
        if (loginInAddress)
            server->setAddress(QStringLiteral("test:secret@") + server->address());
        Worker w(server, nullptr, loginInAddress ? QString() : MailServers::user(),
                 loginInAddress ? QString() : MailServers::password());
        w.log->getMail(0);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->announced.size(), 2, 15000);
        QCOMPARE(w.log->announced.at(0), qMakePair(2, QStringLiteral("newer@example.org")));
        QCOMPARE(w.log->announced.at(1), qMakePair(1, QStringLiteral("older@example.org")));
        const QString dir = TestHome::path();
        w.log->fetch({2}, {QStringLiteral("newer.eml")}, dir);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->stored.size(), 1, 15000);
        QFile file(dir + QStringLiteral("/newer.eml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), newer);
        QCOMPARE(w.log->stored.at(0).fields.subject, QStringLiteral("Newer"));
        QVERIFY(w.log->errors.isEmpty());
        QCOMPARE(server->ssl(), SM::Ssl(ssl));
        QCOMPARE(w.log->usernameQueries + w.log->passwordQueries, 0);
        QCOMPARE(server->portText(), QString::number(port));
    }

    void emptyMailboxClosesTheConnection()
    {
        Worker w(ConnectionRecorder::incoming(SM::IMAP, servers.imapPort()), nullptr);
        w.log->getMail(0);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->closed, 1, 15000);
        QVERIFY(w.log->announced.isEmpty());
        QVERIFY(w.log->errors.isEmpty());
    }

    void certificateQuestions_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("acceptedBefore");
        QTest::addColumn<QStringList>("reasons");
        const QString selfSigned = QStringLiteral("it is self-signed");
        const QString otherHost = QStringLiteral("it was issued for another host name");
        QTest::newRow("signed by the authority: no question") << "signed" << QString() << QStringList();
        QTest::newRow("self-signed") << "a" << QString() << QStringList{selfSigned};
        QTest::newRow("wrong host name") << "wronghost" << QString() << QStringList{otherHost};
        QTest::newRow("expired") << "expired" << QString() << QStringList{QStringLiteral("it has expired")};
        QTest::newRow("changed after acceptance") << "b" << "a" << QStringList{selfSigned, otherHost};
    }

    // Each certificate that the authority does not vouch for is one question
    // naming the server, every problem and the SHA-256 fingerprint; a no
    // ends the check before any login and trusts nothing, a yes is kept.
    void certificateQuestions()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, acceptedBefore);
        QFETCH(QStringList, reasons);
        servers.seed(MailServers::makeMessage(QStringLiteral("cert@example.org"), QStringLiteral("Cert")));
        QVERIFY(servers.useCertificate(certificate));
        const int port = servers.imapsPort();
        if (!acceptedBefore.isEmpty())
            servers.trustCertificate(port, acceptedBefore);
        const QByteArray before = storedFingerprint(port);
        ServerManager manager;
        Answers answers(&manager, QString(), {false, true});
        QStringList &questions = answers.certificates;
        auto worker = [&] { return std::make_unique<Worker>(asking(manager, SM::IMAP, SM::TLS_SSL, port), nullptr); };

        // No, then yes at the next check on the same worker.
        auto w = worker();
        if (!reasons.isEmpty()) {
            w->log->getMail(0);
            QTRY_COMPARE_WITH_TIMEOUT(w->log->closed, 1, 20000);
            QVERIFY(w->log->announced.isEmpty());
            QVERIFY(w->log->errors.isEmpty());
            QCOMPARE(storedFingerprint(port), before);
        }
        w->log->getMail(0);
        QTRY_COMPARE_WITH_TIMEOUT(w->log->announced.size(), 1, 20000);
        QCOMPARE(questions.size(), reasons.isEmpty() ? 0 : 2);
        QCOMPARE(storedFingerprint(port), reasons.isEmpty() ? before : servers.certificateFingerprint(certificate));
        for (const QString &text : questions) {
            QVERIFY2(text.contains(MailServers::address(port)), qPrintable(text));
            QVERIFY2(text.contains(servers.certificateFingerprint(certificate, QCryptographicHash::Sha256)
                                           .toHex(':').toUpper()), qPrintable(text));
            QCOMPARE(text.contains(QStringLiteral("CHANGED")), !acceptedBefore.isEmpty());
            QVERIFY2(text.count(QStringLiteral("\u2022 ")) == reasons.size(), qPrintable(text));
            for (const QString &reason : reasons)
                QVERIFY2(text.contains(reason), qPrintable(text));
        }

        // Accepted: a new connection asks nothing.
        questions.clear();
        w = worker();
        w->log->getMail(0);
        QTRY_COMPARE_WITH_TIMEOUT(w->log->announced.size(), 1, 20000);
        QVERIFY(questions.isEmpty());
        QVERIFY(servers.useCertificate(QStringLiteral("a")));
    }

    // Two accounts ask at once: each question waits for its own answer, and
    // each answer reaches only the account that asked.
    void questionsOfTwoAccountsAtOnce()
    {
        servers.seed(MailServers::makeMessage(QStringLiteral("two@example.org"), QStringLiteral("Two")));
        ServerManager manager;
        QList<QPair<int, QString>> questions;
        connect(&manager, &ServerManager::queryCertificateQml, this,
                [&](int question, const QString &text) { questions.append({question, text}); });
        auto checking = [&](SM::Protocol protocol, int port) {
            auto w = std::make_unique<Worker>(asking(manager, protocol, SM::TLS_SSL, port), nullptr);
            w->log->getMail(0);
            return w;
        };
        const auto imap = checking(SM::IMAP, servers.imapsPort());
        const auto pop3 = checking(SM::POP3, servers.pop3sPort());
        QTRY_COMPARE_WITH_TIMEOUT(questions.size(), 2, 20000);
        const bool imapFirst = questions.at(0).second.contains(MailServers::address(servers.imapsPort()));
        // The later question answered first: yes to IMAP, no to POP3.
        manager.certificateAnswerQml(questions.at(1).first, !imapFirst);
        manager.certificateAnswerQml(questions.at(0).first, imapFirst);
        QTRY_COMPARE_WITH_TIMEOUT(imap->log->announced.size(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(pop3->log->closed, 1, 20000);
        QVERIFY(pop3->log->announced.isEmpty());
        QCOMPARE(storedFingerprint(servers.imapsPort()), servers.certificateFingerprint());
        QVERIFY(storedFingerprint(servers.pop3sPort()).isEmpty());
    }

    void refusedCertificateNeverFallsBackToClearText()
    {
        servers.seed(MailServers::makeMessage(QStringLiteral("clear@example.org"), QStringLiteral("Clear")));
        ServerManager manager;
        Answers answers(&manager, QString(), {false});
        Server *server = asking(manager, SM::IMAP, SM::AUTO_SSL, servers.imapPort());
        Worker w(server, nullptr);
        w.log->getMail(0);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->closed, 1, 30000);
        QCOMPARE(answers.certificates.size(), 1);
        QVERIFY(w.log->announced.isEmpty());
        QVERIFY(w.log->errors.isEmpty());
        QCOMPARE(server->ssl(), SM::AUTO_SSL);
    }

    // A question answered at once costs no time: the waiting worker wakes
    // on the answer, long before a timer of its own would fire; the
    // account's end wakes it too.
    void answerEndsTheWaitAtOnce_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("answer given") << true;
        QTest::newRow("account closed while asking") << false;
    }

    void answerEndsTheWaitAtOnce()
    {
        QFETCH(bool, answered);
        Authenticator login(MailServers::user(), QString(), false);
        std::atomic<bool> late{false};
        std::string password("unset");
        std::unique_ptr<QThread> worker(QThread::create([&] {
            QTimer lateness;
            lateness.setSingleShot(true);
            connect(&lateness, &QTimer::timeout, [&late] { late = true; });
            lateness.start(900);
            password = login.getPassword();
        }));
        login.moveToThread(worker.get());
        connect(&login, &Authenticator::queryPassword, this, [&](const ServerQuestion &question) {
            // The outgoing login asked: the account looks there for the password.
            QVERIFY(!question.incoming && question.number > 0);
            if (answered)
                QMetaObject::invokeMethod(&login, [&login] { login.setPassword(MailServers::password()); });
            else
                worker->quit();
        }, Qt::QueuedConnection);
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        QVERIFY(!late);
        QCOMPARE(QString::fromStdString(password), answered ? MailServers::password() : QString());
    }

    void silentServerTimesOut()
    {
        FaultServer silent;
        QVERIFY(silent.startSilent());
        Worker w(ConnectionRecorder::incoming(SM::IMAP, silent.port()), nullptr);
        QElapsedTimer timer;
        timer.start();
        w.log->getMail(0);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->errors.size(), 1, 30000);
        QVERIFY2(timer.elapsed() >= 9000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(w.log->errors.at(0).startsWith(QStringLiteral("Get mail error: ")),
                 qPrintable(w.log->errors.at(0)));
    }

    void sendsWithAttachments_data()
    {
        QTest::addColumn<int>("ssl");
        QTest::addColumn<int>("port");
        QTest::newRow("smtps") << int(SM::TLS_SSL) << servers.smtpsPort();
        QTest::newRow("starttls") << int(SM::STARTTLS_SSL) << servers.smtpPort();
        QTest::newRow("automatic") << int(SM::AUTO_SSL) << servers.smtpPort();
    }

    void sendsWithAttachments()
    {
        QFETCH(int, ssl);
        QFETCH(int, port);
        servers.trustCertificate(port);
        Letter letter;
        letter.setFrom(QStringLiteral("Test User <test@example.org>"));
        letter.setToList({{QStringLiteral("other@example.org"), QStringLiteral("Other Person")}});
        letter.setSubject(QStringLiteral("Report with two files"));
        // Only the first body is sent.
        letter.setBodyList({QStringLiteral("<p>First line \u00e9\u2029second line</p>"), QStringLiteral("not sent")});
        QByteArray binary;
        for (int i = 0; i < 70000; ++i)
            binary.append(char((i * 7919) % 256));
        const QByteArray text("plain text attachment\r\nwith two lines\r\n");
        auto attachment = [&letter](const QByteArray &data, const char *type, const char *name) {
            return QVariant::fromValue(new Attachment(Fixtures::attachment(data.toStdString(), name, type), &letter));
        };
        // An empty entry is skipped.
        letter.setAttachList({attachment(binary, "application/octet-stream", "data.bin"), QVariant(),
                              attachment(text, "text/plain", "notes.txt")});

        Worker w(nullptr, ConnectionRecorder::makeServer(SM::OUTGOING_TYPE, SM::SMTP, SM::Ssl(ssl), port));
        w.log->send(&letter);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->closed, 1, 30000);
        QVERIFY2(w.log->errors.isEmpty(), qPrintable(w.log->errors.join(QLatin1Char('\n'))));
        QTRY_COMPARE_WITH_TIMEOUT(servers.messages(QStringLiteral("other")).size(), 1, 10000);

        // Text-only readers get the plain alternative; the HTML carries none
        // of the editor's own markup.
        const QJsonObject read = Fixtures::readByPython(servers.messages(QStringLiteral("other")).at(0));
        QCOMPARE(read.value("type").toString(), QStringLiteral("multipart/mixed"));
        const QJsonArray parts = read.value("parts").toArray();
        QCOMPARE(parts.size(), 4);
        QCOMPARE(parts.at(0).toArray().at(0).toString(), QStringLiteral("text/plain"));
        QCOMPARE(parts.at(0).toArray().at(1).toString(), QStringLiteral("First line \u00e9\nsecond line\n"));
        QCOMPARE(parts.at(1).toArray().at(0).toString(), QStringLiteral("text/html"));
        const QString html = parts.at(1).toArray().at(1).toString();
        QVERIFY2(html.contains(QStringLiteral("<p>First line \u00e9<br>second line</p>")), qPrintable(html));
        const QByteArray expected[] = {binary, text};
        const char *names[] = {"data.bin", "notes.txt"};
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(parts.at(2 + i).toArray().at(2).toString(), QString::fromLatin1(names[i]));
            QCOMPARE(parts.at(2 + i).toArray().at(3).toString(),
                     QString::fromLatin1(QCryptographicHash::hash(expected[i], QCryptographicHash::Sha256).toHex()));
        }
    }

    // What the user typed as a subject and as display names, sent to a server
    // with and without SMTPUTF8, arrives as typed (blanks at the ends go) in
    // a 7-bit header folded within 78 characters; the bytes that reached the
    // server are the bytes handed back for filing in Sent. A name longer than
    // one encoded word is left out of the name check: Python 3.11 reads a
    // blank between two encoded words of a display name, which RFC 2047
    // (6.2) says is not there.
    void headersArriveAsWritten_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("asName");
        const QList<QPair<const char *, QString>> texts{
            {"adjacent encoded and plain words",
             QStringLiteral("Gr\u00FC\u00DFe aus K\u00F6ln \u2603 \u2014 test <b>x</b> 42")},
            {"word longer than one encoded word",
             QStringLiteral("Donaudampfschifffahrtsgesellschaftskapit\u00E4nsm\u00FCtzenabzeichenhersteller"
                            "vereinigungsvorsitzendenstellvertreterin")},
            {"200 characters", QStringLiteral("\u00C4pfel und Birnen ").repeated(10).left(200)},
            {"emoji", QStringLiteral("Party \U0001F389\U0001F382 tonight \U0001F44D")},
            {"CJK", QStringLiteral("\u65E5\u672C\u8A9E\u306E\u4EF6\u540D and English \u6DF7\u5728")},
            {"right to left", QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u0645\u0631\u062D\u0628\u0627 hello")},
            {"blanks at both ends", QStringLiteral("  padded \u00E9 both ends  ")},
            {"literal encoded-word text", QStringLiteral("=?utf-8?B?SGVsbG8=?= is not encoded")},
            {"quotes", QStringLiteral("Anna \"the boss\" Berg")},
            {"comma and angle brackets", QStringLiteral("Berg, Anna <admin>")},
            {"separators of lists", QStringLiteral("a:::b; \"c\\\" d\\")},
        };
        for (const auto &text : texts) {
            const bool asName = text.second.toUtf8().size() < 39;
            QTest::addRow("%s, SMTPUTF8", text.first) << text.second << servers.smtpPort() << asName;
            QTest::addRow("%s, 7-bit server", text.first) << text.second << servers.smtpAsciiPort() << asName;
        }
    }

    void headersArriveAsWritten()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(bool, asName);
        servers.clearMailbox(QStringLiteral("other"));
        const QString name = asName ? text : QStringLiteral("Short \u00E9");
        Letter letter;
        letter.setFrom(name + QStringLiteral(" <test@example.org>"));
        const Recipient other(QStringLiteral("other@example.org"), name);
        // Shown as a header writes it, read back whole.
        QCOMPARE(Recipient::fromString(other.toString()), other);
        letter.setToList({other});
        letter.setCopyList({{QStringLiteral("test@example.org"), name}});
        letter.setSubject(text);
        letter.setBodyList({QStringLiteral("Body")});
        Worker w(nullptr, ConnectionRecorder::makeServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, port));
        w.log->send(&letter);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->closed, 1, 30000);
        QVERIFY2(w.log->errors.isEmpty(), qPrintable(w.log->errors.join(QLatin1Char('\n'))));
        QTRY_COMPARE_WITH_TIMEOUT(servers.messages(QStringLiteral("other")).size(), 1, 10000);
        const QByteArray delivered = servers.messages(QStringLiteral("other")).at(0);
        QCOMPARE(w.log->sentContents, QList<QByteArray>{delivered});

        const QJsonObject read = Fixtures::readByPython(delivered);
        QVERIFY2(read.value("asciiHeader").toBool(), delivered.left(delivered.indexOf("\r\n\r\n")).constData());
        QVERIFY2(read.value("longestHeaderLine").toInt() <= 78, delivered.constData());
        QCOMPARE(read.value("subject").toString(), text.trimmed());
        for (const char *field : {"from", "to", "cc"})
            QCOMPARE(read.value(field).toArray().at(0).toArray().at(0).toString(), name.trimmed());
        QCOMPARE(read.value("to").toArray().at(0).toArray().at(1).toString(), QStringLiteral("other@example.org"));
    }

    // A send that fails says why, in the server's own words where it has
    // them, and holds up no later letter; without an outgoing server the
    // worker says nothing (the account tells the user).
    void sendFailures_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<QString>("password"); // of the SMTP login; empty: no outgoing server
        QTest::addColumn<QStringList>("error"); // what the error names; empty: no error
        const QString other = QStringLiteral("other@example.org");
        QTest::newRow("wrong password") << other << "wrong" << QStringList{"Authentication error", "535"};
        QTest::newRow("refused recipient, then one accepted")
                << "reject@example.org" << MailServers::password() << QStringList{"Send mail error: "};
        QTest::newRow("no outgoing server") << other << QString() << QStringList();
    }

    void sendFailures()
    {
        QFETCH(QString, recipient);
        QFETCH(QString, password);
        QFETCH(QStringList, error);
        Letter letter;
        address(letter, recipient, QStringLiteral("Never sent"));
        Server *server = password.isEmpty() ? nullptr
                : ConnectionRecorder::makeServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, servers.smtpPort());
        Worker w(nullptr, server, MailServers::user(), password);
        w.log->send(&letter);
        if (error.isEmpty()) {
            w.log->getMail(0); // a job queued after the send, to know it has run
            QTRY_COMPARE_WITH_TIMEOUT(w.log->closed, 1, 10000);
            QVERIFY(w.log->errors.isEmpty());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(w.log->errors.size(), 1, 30000);
        const QString said = w.log->errors.at(0);
        QVERIFY2(said.startsWith(QStringLiteral("Send mail error: ")), qPrintable(said));
        for (const QString &part : error)
            QVERIFY2(said.contains(part), qPrintable(said));
        QCOMPARE(w.log->closed, 0);
        QVERIFY(w.log->authFailures.isEmpty());
        QVERIFY(servers.messages(QStringLiteral("other")).isEmpty());
        if (password != MailServers::password())
            return;
        Letter accepted;
        address(accepted, QStringLiteral("other@example.org"), QStringLiteral("Accepted"));
        w.log->send(&accepted);
        QTRY_COMPARE_WITH_TIMEOUT(w.log->closed, 1, 30000);
        QCOMPARE(w.log->errors.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(servers.messages(QStringLiteral("other")).size(), 1, 10000);
    }

    // An attacker on the line blocks TLS to read the password.
    void automaticSecurityNeverSendsThePasswordInClearText_data()
    {
        QTest::addColumn<bool>("tlsBlocked");
        QTest::addColumn<int>("ssl");
        QTest::addColumn<bool>("fetched");
        QTest::addColumn<bool>("loginInClearText");
        QTest::newRow("blocked, automatic: refused") << true << int(SM::AUTO_SSL) << false << false;
        // The control row: the recorder does see a login in clear text when
        // the user chose it.
        QTest::newRow("blocked, None chosen: clear text") << true << int(SM::NO_SSL) << true << true;
        QTest::newRow("open, automatic: STARTTLS") << false << int(SM::AUTO_SSL) << true << false;
    }

    void automaticSecurityNeverSendsThePasswordInClearText()
    {
        QFETCH(bool, tlsBlocked);
        QFETCH(int, ssl);
        QFETCH(bool, fetched);
        QFETCH(bool, loginInClearText);
        servers.seed(MailServers::makeMessage(QStringLiteral("probe@example.org"), QStringLiteral("Probe")));
        // Someone on the line who drops every STARTTLS, and writes down what
        // the client says.
        QTemporaryDir dir;
        const QString said = dir.filePath(QStringLiteral("said"));
        FaultServer line;
        QVERIFY(line.startProxy(servers.imapPort(), {QStringLiteral("--cut-on"), QStringLiteral("STARTTLS"),
                                                     QStringLiteral("--record"), said}));
        // The proxy forwards whole lines only, so TLS passes it not at all.
        const int port = tlsBlocked ? line.port() : servers.imapPort();
        const QString address = MailServers::address(port);
        servers.trustCertificate(port);
        Settings::saveServer(address, {int(SM::INCOMING_TYPE), int(SM::IMAP), ssl, 0, QString()});

        Worker worker(ConnectionRecorder::incoming(SM::IMAP, port, SM::Ssl(ssl)));
        const ConnectionRecorder &log = *worker.log;
        worker.log->getMail(0);
        QTRY_VERIFY_WITH_TIMEOUT(!log.announced.isEmpty() || !log.errors.isEmpty(), 30000);
        QCOMPARE(!log.announced.isEmpty(), fetched);
        if (!fetched)
            QVERIFY2(log.errors.at(0).contains(QStringLiteral("not sent without security")), qPrintable(log.errors.at(0)));
        if (!tlsBlocked)
            return;
        QFile file(said);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray lines = file.readAll();
        QVERIFY(!lines.isEmpty());
        const QRegularExpression login(QStringLiteral("^(\\S+ )?(LOGIN|AUTHENTICATE|USER|PASS)\\b"),
                                       QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
        QCOMPARE(login.match(QString::fromLatin1(lines)).hasMatch(), loginInClearText);
    }
};

MAIL_TEST_MAIN(TestTransport)
#include "tst_transport.moc"
