// What an attacker on the line could do to an account: strip TLS to read the
// password.
#include "base/settings.h"
#include "connectionrecorder.h"
#include "mailservers.h"
#include "net/connection.h"
#include "servertestcase.h"
#include "testhome.h"

#include <QtTest>

using SM = ServerManager;

class TestSecurity : public ServerTestCase
{
    Q_OBJECT

private slots:
    void automaticSecurityNeverDowngradesASecuredServer_data()
    {
        QTest::addColumn<bool>("tlsBlocked");
        QTest::addColumn<int>("securedBefore");
        QTest::addColumn<bool>("fetched");
        QTest::addColumn<int>("keptMode");
        // The control row: without a secure past the blocked line still
        // connects, so the next row fails only because of the rule.
        QTest::newRow("blocked, never secured: clear text") << true << int(SM::AUTO_SSL) << true << int(SM::NO_SSL);
        QTest::newRow("blocked, secured before: refused") << true << int(SM::STARTTLS_SSL) << false << int(SM::STARTTLS_SSL);
        QTest::newRow("open: the probed mode is kept") << false << int(SM::AUTO_SSL) << true << int(SM::STARTTLS_SSL);
    }

    void automaticSecurityNeverDowngradesASecuredServer()
    {
        QFETCH(bool, tlsBlocked);
        QFETCH(int, securedBefore);
        QFETCH(bool, fetched);
        QFETCH(int, keptMode);
        servers.seed(MailServers::makeMessage(QStringLiteral("probe@example.org"), QStringLiteral("Probe")));
        // Someone on the line who drops every STARTTLS.
        FaultServer stripper;
        QVERIFY(stripper.startProxy(servers.imapPort(), {QStringLiteral("--cut-on"), QStringLiteral("STARTTLS")}));
        const int port = tlsBlocked ? stripper.port() : servers.imapPort();
        const QString address = MailServers::address(port);

        servers.trustCertificate(port);
        Settings::saveServer(address, {int(SM::INCOMING_TYPE), int(SM::IMAP), int(SM::AUTO_SSL), 0, QString()});
        if (securedBefore != SM::AUTO_SSL)
            Settings::setProbedSsl(address, securedBefore);

        Server *server = ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::IMAP, SM::AUTO_SSL, port);
        Connection connection;
        ConnectionRecorder log(&connection);
        connection.setAuthenticator(true, MailServers::user(), MailServers::password());
        connection.start();
        connection.setServer(true, server);
        log.getMail(0);
        QTRY_VERIFY_WITH_TIMEOUT(!log.announced.isEmpty() || !log.errors.isEmpty(), 30000);
        QCOMPARE(!log.announced.isEmpty(), fetched);
        if (!fetched)
            QVERIFY2(log.errors.at(0).startsWith(QStringLiteral("Get mail error: ")), qPrintable(log.errors.at(0)));
        QCOMPARE(Settings::probedSsl(address, -1), keptMode);
    }
};

MAIL_TEST_MAIN(TestSecurity)
#include "tst_security.moc"
