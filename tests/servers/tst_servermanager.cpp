// Server records and the server manager: the settings they keep, the name
// lists, and the relay of certificate answers.
#include "base/settings.h"
#include "servers/incomingserver.h"
#include "servers/outgoingserver.h"
#include "servers/servermanager.h"
#include "testhome.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using SM = ServerManager;

namespace {
Server *serverAt(const ServerManager &manager, int index)
{
    return manager.servers().at(index).value<Server *>();
}
}

class TestServerManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("drel"));
        QCoreApplication::setApplicationName(QStringLiteral("mail"));
    }

    void init() { QSettings().clear(); }

    void freshManagerHasNamesAndNoServers()
    {
        ServerManager manager;
        QVERIFY(manager.servers().isEmpty());
        QCOMPARE(manager.typeNames(), (QStringList{"Incoming", "Outgoing"}));
        QCOMPARE(manager.protocolNames(), (QStringList{"POP3", "IMAP", "SMTP"}));
        QCOMPARE(manager.sslNames(), (QStringList{"Autodetection", "None", "SSL/TLS", "STARTTLS"}));
        QCOMPARE(manager.authNames(), (QStringList{"Autodetection", "None", "Simple password", "SASL"}));
    }

    void addedServersAreSavedAndLoaded()
    {
        {
            ServerManager manager;
            QSignalSpy changed(&manager, &ServerManager::serversChanged);
            manager.addServer(SM::INCOMING_TYPE, SM::IMAP, SM::TLS_SSL, SM::SASL_AUTH,
                              QStringLiteral("imap.example.org:993"));
            manager.addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::STARTTLS_SSL, SM::SIMPLE_AUTH,
                              QStringLiteral("smtp.example.org"));
            QCOMPARE(changed.count(), 2);
            QVERIFY(qobject_cast<IncomingServer *>(serverAt(manager, 0)));
            QVERIFY(qobject_cast<OutgoingServer *>(serverAt(manager, 1)));
        }
        QSettings settings;
        QCOMPARE(settings.value("servers/imap.example.org:993/type").toInt(), 0);
        QCOMPARE(settings.value("servers/imap.example.org:993/protocol").toInt(), 1);
        QCOMPARE(settings.value("servers/imap.example.org:993/ssl").toInt(), 2);
        QCOMPARE(settings.value("servers/imap.example.org:993/auth").toInt(), 3);
        QCOMPARE(settings.value("servers/smtp.example.org/type").toInt(), 1);
        settings.setValue("servers/strange.example.org/type", 5);
        settings.sync();

        ServerManager loaded;
        QCOMPARE(loaded.servers().size(), 2);
        Server *in = nullptr;
        Server *out = nullptr;
        for (const QVariant &v : loaded.servers()) {
            Server *s = v.value<Server *>();
            (s->type() == SM::INCOMING_TYPE ? in : out) = s;
        }
        QVERIFY(in && out);
        // A host, a colon and a port stay one address.
        QCOMPARE(in->address(), QStringLiteral("imap.example.org:993"));
        QCOMPARE(in->protocol(), SM::IMAP);
        QCOMPARE(in->ssl(), SM::TLS_SSL);
        QCOMPARE(in->auth(), SM::SASL_AUTH);
        QCOMPARE(out->ssl(), SM::STARTTLS_SSL);
        // An unknown kind is skipped and left in the file.
        QCOMPARE(QSettings().value("servers/strange.example.org/type").toInt(), 5);
    }

    void unknownTypeAddsNothing()
    {
        ServerManager manager;
        QSignalSpy changed(&manager, &ServerManager::serversChanged);
        manager.addServer(SM::Type(2), SM::IMAP, SM::NO_SSL, SM::NO_AUTH, QStringLiteral("x.example.org"));
        QVERIFY(manager.servers().isEmpty());
        QCOMPARE(changed.count(), 0);
        QVERIFY(QSettings().childGroups().isEmpty());
    }

    void changeMovesTheGroupAndKeepsTheKind()
    {
        ServerManager manager;
        manager.addServer(SM::INCOMING_TYPE, SM::POP3, SM::NO_SSL, SM::AUTO_AUTH, QStringLiteral("old.example.org"));
        {
            QSettings settings;
            settings.setValue("servers/old.example.org/certificateFingerprint", QVariantList{1, 2, 3});
        }
        Server *server = serverAt(manager, 0);
        QSignalSpy addressSpy(server, qOverload<QString>(&Server::addressChanged));
        manager.changeServer(0, SM::OUTGOING_TYPE, SM::IMAP, SM::TLS_SSL, SM::SIMPLE_AUTH,
                             QStringLiteral("new.example.org:993"));
        QCOMPARE(server->type(), SM::INCOMING_TYPE);
        QCOMPARE(server->protocol(), SM::IMAP);
        QCOMPARE(addressSpy.count(), 1);
        QCOMPARE(addressSpy.at(0).at(0).toString(), QStringLiteral("new.example.org:993"));
        QSettings settings;
        settings.beginGroup(Settings::serversGroup);
        QCOMPARE(settings.childGroups(), QStringList{QStringLiteral("new.example.org:993")});
        QCOMPARE(settings.value("new.example.org:993/type").toInt(), 0);
        QCOMPARE(settings.value("new.example.org:993/ssl").toInt(), 2);
        QVERIFY(!settings.contains("old.example.org/certificateFingerprint"));
    }

    void removeForgetsTheRecord()
    {
        ServerManager manager;
        manager.addServer(SM::INCOMING_TYPE, SM::POP3, SM::NO_SSL, SM::AUTO_AUTH, QStringLiteral("a.example.org"));
        manager.addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, SM::AUTO_AUTH, QStringLiteral("b.example.org"));
        QPointer<Server> removed = serverAt(manager, 0);
        QSignalSpy changed(&manager, &ServerManager::serversChanged);
        manager.removeServer(0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(manager.servers().size(), 1);
        QCOMPARE(serverAt(manager, 0)->address(), QStringLiteral("b.example.org"));
        QTRY_VERIFY(removed.isNull());
        QSettings settings;
        settings.beginGroup(Settings::serversGroup);
        QCOMPARE(settings.childGroups(), QStringList{QStringLiteral("b.example.org")});
        manager.removeServer(5); // no such item: nothing to touch
        QCOMPARE(manager.servers().size(), 1);
    }

    void setterComparesAndSignalsOnce()
    {
        IncomingServer server;
        QSignalSpy ssl(&server, &Server::sslChanged);
        QSignalSpy address(&server, qOverload<>(&Server::addressChanged));
        server.setSsl(SM::STARTTLS_SSL);
        server.setSsl(SM::STARTTLS_SSL);
        server.setAddress(QStringLiteral("h.example.org"));
        server.setAddress(QStringLiteral("h.example.org"));
        QCOMPARE(ssl.count(), 1);
        QCOMPARE(address.count(), 1);
        // The QML property "text" is the address.
        QCOMPARE(server.property("text").toString(), QStringLiteral("h.example.org"));
    }

    void cloneCopiesSettingsButNotLogin()
    {
        OutgoingServer server;
        server.setProtocol(SM::SMTP);
        server.setSsl(SM::TLS_SSL);
        server.setAuth(SM::SIMPLE_AUTH);
        server.setAddress(QStringLiteral("smtp.example.org:465"));
        server.setLogin(QStringLiteral("someone"));
        std::unique_ptr<Server> copy(server.clone());
        QVERIFY(qobject_cast<OutgoingServer *>(copy.get()));
        QCOMPARE(copy->type(), SM::OUTGOING_TYPE);
        QCOMPARE(copy->ssl(), SM::TLS_SSL);
        QCOMPARE(copy->auth(), SM::SIMPLE_AUTH);
        QCOMPARE(copy->address(), QStringLiteral("smtp.example.org:465"));
        QVERIFY(copy->login().isEmpty());
        QVERIFY(!copy->parent());
    }

    void serviceUrlFollowsProtocolAndSecurity()
    {
        IncomingServer server;
        server.setProtocol(SM::IMAP);
        server.setSsl(SM::TLS_SSL);
        server.setAddress(QStringLiteral("me:pw@imap.example.org:993"));
        QCOMPARE(server.serviceUrl(), QStringLiteral("imaps://imap.example.org:993"));
        QVERIFY(server.secureScheme());
        QCOMPARE(server.portText(), QStringLiteral("993"));
        server.setProtocol(SM::POP3);
        server.setSsl(SM::STARTTLS_SSL);
        server.setAddress(QStringLiteral("pop.example.org"));
        QCOMPARE(server.serviceUrl(), QStringLiteral("pop3://pop.example.org"));
        QVERIFY(!server.secureScheme());
        QVERIFY(server.portText().isEmpty());
    }

    void eachAnswerReachesOnlyTheRecordsThatAsked()
    {
        ServerManager manager;
        manager.addServer(SM::INCOMING_TYPE, SM::IMAP, SM::TLS_SSL, SM::AUTO_AUTH, QStringLiteral("one.example.org"));
        manager.addServer(SM::INCOMING_TYPE, SM::IMAP, SM::TLS_SSL, SM::AUTO_AUTH, QStringLiteral("two.example.org"));
        Server *one = serverAt(manager, 0);
        Server *two = serverAt(manager, 1);
        QSignalSpy questions(&manager, &ServerManager::queryCertificateQml);
        QSignalSpy oneAnswers(one, &Server::userAnswer);
        QSignalSpy twoAnswers(two, &Server::userAnswer);

        emit one->queryCertificate(QStringLiteral("first?"));
        QTRY_COMPARE(questions.count(), 1);
        QCOMPARE(questions.at(0).at(0).toString(), QStringLiteral("first?"));
        manager.certificateAnswerQml(true);
        QTRY_COMPARE(oneAnswers.count(), 1);
        QCOMPARE(oneAnswers.at(0).at(0).toString(), QStringLiteral("one.example.org"));
        QCOMPARE(oneAnswers.at(0).at(1).toBool(), true);

        emit two->queryCertificate(QStringLiteral("second?"));
        QTRY_COMPARE(questions.count(), 2);
        manager.certificateAnswerQml(false);
        QTRY_COMPARE(twoAnswers.count(), 1);
        QCOMPARE(twoAnswers.at(0).at(1).toBool(), false);
        QTest::qWait(50);
        QCOMPARE(oneAnswers.count(), 1);
    }
};

MAIL_TEST_MAIN(TestServerManager)
#include "tst_servermanager.moc"
