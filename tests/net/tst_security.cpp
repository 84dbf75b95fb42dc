// What an attacker on the line or a hostile locale could do to an account:
// strip TLS to read the password, or garble the headers of sent letters.
#include "connection.h"
#include "connectionrecorder.h"
#include "letter.h"
#include "mailservers.h"
#include "settings.h"
#include "testhome.h"

#include <QSettings>
#include <QtTest>

#include <clocale>


namespace {
using SM = ServerManager;

QString serverKey(const QString &address, const QString &key)
{
    return Settings::serversGroup + QLatin1Char('/') + address + QLatin1Char('/') + key;
}
}

class TestSecurity : public QObject
{
    Q_OBJECT

    MailServers servers;

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
    }

    void cleanupTestCase() { servers.stop(); }

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
        servers.clearMailbox();
        servers.seed(MailServers::makeMessage(QStringLiteral("probe@example.org"), QStringLiteral("Probe")));
        // Someone on the line who drops every STARTTLS.
        FaultServer stripper;
        QVERIFY(stripper.startProxy(servers.imapPort(), {QStringLiteral("--cut-on"), QStringLiteral("STARTTLS")}));
        const int port = tlsBlocked ? stripper.port() : servers.imapPort();
        const QString address = MailServers::address(port);

        QSettings settings;
        settings.clear();
        settings.setValue(serverKey(address, Settings::typeKey), int(SM::INCOMING_TYPE));
        if (securedBefore != SM::AUTO_SSL)
            settings.setValue(serverKey(address, Settings::probedSslKey), securedBefore);
        QVariantList fingerprint;
        for (char b : servers.certificateFingerprint(false))
            fingerprint.append(int(static_cast<unsigned char>(b)));
        settings.setValue(serverKey(address, Settings::certificateFingerprintKey), fingerprint);
        settings.sync();

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
        settings.sync();
        QCOMPARE(settings.value(serverKey(address, Settings::probedSslKey)).toInt(), keptMode);
    }

    void headersAreUtf8UnderAnyLocale_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("subject");
        const QString word = QStringLiteral("Gr\u00FC\u00DFe \u65E5\u672C");
        QTest::newRow("subject") << QStringLiteral("a@example.org") << QStringLiteral("b@example.org") << word;
        QTest::newRow("sender name") << (word + QStringLiteral(" <a@example.org>")) << QStringLiteral("b@example.org") << QStringLiteral("Hi");
        QTest::newRow("recipient name") << QStringLiteral("a@example.org") << (QStringLiteral("b@example.org:::") + word) << QStringLiteral("Hi");
    }

    void headersAreUtf8UnderAnyLocale()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, subject);
        // As started under LC_ALL=C: the library's default charset is ASCII.
        const QByteArray saved = ::setlocale(LC_ALL, nullptr);
        ::setlocale(LC_ALL, "C");
        Letter letter;
        letter.setFrom(from);
        letter.setToList({to});
        letter.setSubject(subject);
        letter.setBodyList({QStringLiteral("Body")});
        const vmime::shared_ptr<vmime::message> built = Connection::toVmimeMessage(&letter);
        ::setlocale(LC_ALL, saved.constData());
        QVERIFY(built);

        auto message = vmime::make_shared<vmime::message>();
        message->parse(built->generate());
        const vmime::charset utf8(vmime::charsets::UTF_8);
        auto text = [&](const vmime::text &t) { return QString::fromStdString(t.getConvertedText(utf8)); };
        auto header = message->getHeader();
        QCOMPARE(text(*header->Subject()->getValue<vmime::text>()), subject);
        QCOMPARE(text(header->From()->getValue<vmime::mailbox>()->getName()),
                 from.section(QStringLiteral(" <"), 0, 0).remove(QStringLiteral("a@example.org")));
        auto recipient = vmime::dynamicCast<vmime::mailbox>(header->To()->getValue<vmime::addressList>()->getAddressAt(0));
        QCOMPARE(text(recipient->getName()), to.section(QStringLiteral(":::"), 1));
    }
};

MAIL_TEST_MAIN(TestSecurity)
#include "tst_security.moc"
