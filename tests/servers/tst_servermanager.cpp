// Server records and the server manager: the settings they keep and the
// address a record is kept under.
#include "base/settings.h"
#include "fixtures.h"
#include "servers/incomingserver.h"
#include "servers/outgoingserver.h"
#include "servers/servermanager.h"
#include "testhome.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace SM = ServerKind;

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
    void initTestCase() { TestHome::prepareProgram(); }
    void init() { QSettings().clear(); }

    // Records as earlier versions store them; unknown kinds stay untouched.
    void savedAndLoaded()
    {
        ServerManager().addServer(SM::INCOMING_TYPE, SM::IMAP, SM::TLS_SSL, SM::SASL_AUTH,
                                   QStringLiteral("imap.example.org:993"));
        ServerManager().addServer(SM::Type(2), SM::IMAP, SM::NO_SSL, SM::NO_AUTH, QStringLiteral("x.example.org"));
        QSettings settings;
        for (const char *key : {"type=0", "protocol=1", "ssl=2", "auth=3"}) {
            const QStringList pair = QString::fromLatin1(key).split(QLatin1Char('='));
            QCOMPARE(settings.value("servers/imap.example.org:993/" + pair.at(0)).toString(), pair.at(1));
        }
        settings.setValue("servers/strange.example.org/type", 5);
        settings.sync();
        ServerManager loaded;
        QCOMPARE(loaded.servers().size(), 1);
        auto *in = qobject_cast<IncomingServer *>(serverAt(loaded, 0));
        QVERIFY(in);
        QCOMPARE(in->address(), QStringLiteral("imap.example.org:993"));
        QCOMPARE(in->ssl(), SM::TLS_SSL);
        QCOMPARE(in->auth(), SM::SASL_AUTH);
        QCOMPARE(QSettings().value("servers/strange.example.org/type").toInt(), 5);
    }

    // A changed address must not keep the certificate accepted for the old
    // one; a removed record is forgotten.
    void changeAndRemove()
    {
        ServerManager manager;
        manager.addServer(SM::INCOMING_TYPE, SM::POP3, SM::NO_SSL, SM::AUTO_AUTH, QStringLiteral("old.example.org"));
        manager.addServer(SM::OUTGOING_TYPE, SM::SMTP, SM::NO_SSL, SM::AUTO_AUTH, QStringLiteral("b.example.org"));
        QSettings().setValue("servers/old.example.org/certificateFingerprint", QVariantList{1, 2, 3});
        QPointer<Server> server = serverAt(manager, 0);
        manager.changeServer(0, SM::OUTGOING_TYPE, SM::IMAP, SM::TLS_SSL, SM::SIMPLE_AUTH,
                             QStringLiteral("new.example.org:993"));
        QCOMPARE(server->type(), SM::INCOMING_TYPE);
        QCOMPARE(Fixtures::settingsGroups("servers"), QStringList({"b.example.org", "new.example.org:993"}));
        QCOMPARE(QSettings().value("servers/new.example.org:993/ssl").toInt(), 2);
        QVERIFY(!QSettings().contains("servers/new.example.org:993/certificateFingerprint"));
        QCOMPARE(QSettings().value("servers/b.example.org/type").toInt(), 1);
        manager.removeServer(0);
        manager.removeServer(5); // no such item
        QCOMPARE(manager.servers().size(), 1);
        QTRY_VERIFY(server.isNull());
        QCOMPARE(Fixtures::settingsGroups("servers"), QStringList{"b.example.org"});
    }

    // Credentials typed into the address never reach the service URL.
    void serviceUrlWithoutCredentials()
    {
        IncomingServer server;
        server.setProtocol(SM::IMAP);
        server.setSsl(SM::TLS_SSL);
        server.setAddress(QStringLiteral("me:pw@imap.example.org:993"));
        QCOMPARE(server.serviceUrl(), QStringLiteral("imaps://imap.example.org:993"));
    }
};

MAIL_TEST_MAIN(TestServerManager)
#include "tst_servermanager.moc"
