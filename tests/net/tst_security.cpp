// What an attacker on the line could do to an account: block TLS to read the
// password.
#include "base/settings.h"
#include "connectionrecorder.h"
#include "mailservers.h"
#include "net/connection.h"
#include "servertestcase.h"
#include "testhome.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace SM = ServerKind;

class TestSecurity : public ServerTestCase
{
    Q_OBJECT

private slots:
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

        Connection connection;
        ConnectionRecorder log(&connection);
        connection.setAuthenticator(true, MailServers::user(), MailServers::password());
        connection.start();
        connection.setServer(true, ConnectionRecorder::incoming(SM::IMAP, port, SM::Ssl(ssl)));
        log.getMail(0);
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

MAIL_TEST_MAIN(TestSecurity)
#include "tst_security.moc"
