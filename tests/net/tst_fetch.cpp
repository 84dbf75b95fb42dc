// The whole mail check between the connection thread and the real mail
// store, against Dovecot: order, the stop at the first held message,
// deletion on the server, interrupted checks and messages without an id.
#include "base/settings.h"
#include "connectionrecorder.h"
#include "mailservers.h"
#include "main/startup.h"
#include "model/letter.h"
#include "net/connection.h"
#include "store/cache.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <vmime/platforms/posix/posixHandler.hpp>

#include <memory>

namespace {
using SM = ServerManager;
const QString account = QStringLiteral("test@example.org");

QString idOf(int i)
{
    return QStringLiteral("m%1@example.org").arg(i);
}
}

// A Connection and a Cache wired as an account wires them.
struct Account
{
    std::unique_ptr<Connection> connection = std::make_unique<Connection>();
    std::unique_ptr<ConnectionRecorder> log = std::make_unique<ConnectionRecorder>(connection.get());
    std::unique_ptr<Cache> cache = std::make_unique<Cache>(account, QString());
    QStringList stored;   // ids of the letters the store announced, in order
    int finished = 0;     // lettersRecieved

    Account(Server *incoming)
    {
        Connection *c = connection.get();
        QObject::connect(cache.get(), &Cache::getNewMail, c, qOverload<int>(&Connection::onQueryGetMail));
        QObject::connect(cache.get(), &Cache::deleteMessageFromServer, c, &Connection::onDeleteMessageFromServer);
        QObject::connect(cache.get(), &Cache::writeFailed, c, &Connection::onStoreWriteFailed);
        QObject::connect(c, &Connection::newMessageId_chain, cache.get(), &Cache::onNewMessageId);
        QObject::connect(c, &Connection::newMessage_chain, cache.get(), &Cache::onNewMessage);
        QObject::connect(cache.get(), &Cache::newIncomingLetter, cache.get(),
                         [this](Letter *l) { stored.append(l->id()); });
        QObject::connect(cache.get(), &Cache::lettersRecieved, cache.get(), [this] { ++finished; });
        connection->setAuthenticator(true, MailServers::user(), MailServers::password());
        connection->start();
        connection->setServer(true, incoming);
    }

    // One mail check; true when it ended by itself (held message, empty
    // mailbox or error) within the time.
    bool check(int timeoutMs = 30000)
    {
        const int before = finished + log->closed + log->errors.size() + log->authFailures.size();
        log->getMail(0);
        return QTest::qWaitFor([&] {
            return finished + log->closed + log->errors.size() + log->authFailures.size() > before;
        }, timeoutMs);
    }
};

class TestFetch : public QObject
{
    Q_OBJECT

    MailServers servers;

    QStringList incomingFiles() const
    {
        return QDir(TestHome::path() + QStringLiteral("/.drel-mail/") + account + QStringLiteral("/Incoming"))
            .entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    }

private slots:
    void initTestCase()
    {
        TestHome::prepareProgram();
        QVERIFY(servers.start());
    }

    void cleanupTestCase() { servers.stop(); }

    void init()
    {
        servers.clearMailbox();
        QSettings().clear();
        QDir(TestHome::path() + QStringLiteral("/.drel-mail")).removeRecursively();
    }

    void newestFirstAndStopAtTheFirstHeld_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("port");
        QTest::newRow("pop3") << int(SM::POP3) << servers.pop3Port();
        QTest::newRow("imap") << int(SM::IMAP) << servers.imapPort();
    }

    void newestFirstAndStopAtTheFirstHeld()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        for (int i = 1; i <= 3; ++i)
            servers.seed(MailServers::makeMessage(idOf(i), QStringLiteral("Message %1").arg(i)));
        Account a(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::Protocol(protocol), SM::NO_SSL, port));
        QVERIFY(a.check());
        QCOMPARE(a.stored, (QStringList{idOf(3), idOf(2), idOf(1)}));
        QCOMPARE(a.finished, 1);
        QVERIFY(a.log->errors.isEmpty());

        for (int i = 4; i <= 5; ++i)
            servers.seed(MailServers::makeMessage(idOf(i), QStringLiteral("Message %1").arg(i)));
        a.stored.clear();
        a.log->announced.clear();
        QVERIFY(a.check());
        QCOMPARE(a.stored, (QStringList{idOf(5), idOf(4)}));
        // Message 3 is held: announced, not fetched, and the check ends.
        QCOMPARE(a.log->announced.size(), 3);
        QCOMPARE(a.log->announced.last(), qMakePair(3, idOf(3)));
        QCOMPARE(a.finished, 2);
        QCOMPARE(incomingFiles().size(), 5);
        QVERIFY(!QFile::exists(a.cache->accountPath() + QStringLiteral("/interrupted-check")));
    }

    void deleteFromServerRemovesExactlyTheStoredMessages_data()
    {
        newestFirstAndStopAtTheFirstHeld_data();
    }

    void deleteFromServerRemovesExactlyTheStoredMessages()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        servers.seed(MailServers::makeMessage(idOf(1), QStringLiteral("Kept")));
        Account a(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::Protocol(protocol), SM::NO_SSL, port));
        QVERIFY(a.check());
        QCOMPARE(a.stored, QStringList{idOf(1)});

        Settings::setDeleteFromServer(true);
        for (int i = 2; i <= 4; ++i)
            servers.seed(MailServers::makeMessage(idOf(i), QStringLiteral("Deleted %1").arg(i)));
        QVERIFY(a.check());
        QCOMPARE(a.stored, (QStringList{idOf(1), idOf(4), idOf(3), idOf(2)}));
        // The last deletion is carried out at the next check's restart.
        QVERIFY(a.check());
        QVERIFY(a.log->errors.isEmpty());
        QCOMPARE(a.finished, 3);
        const QList<QByteArray> left = servers.messages();
        QCOMPARE(left.size(), 1);
        QVERIFY(left.at(0).contains("Message-ID: <" + idOf(1).toUtf8() + ">"));
        QCOMPARE(incomingFiles().size(), 4);
    }

    void interruptedCheckFetchesTheRestNextTime_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("wholeMessageCommand");
        QTest::newRow("pop3") << int(SM::POP3) << servers.pop3Port() << QStringLiteral("^RETR ");
        QTest::newRow("imap") << int(SM::IMAP) << servers.imapPort() << QStringLiteral("BODY(\\.PEEK)?\\[\\]");
    }

    void interruptedCheckFetchesTheRestNextTime()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        QFETCH(QString, wholeMessageCommand);
        // (IMAP opens the folder on a second connection of its own.)
        for (int i = 1; i <= 6; ++i)
            servers.seed(MailServers::makeMessage(idOf(i), QStringLiteral("Message %1").arg(i)));

        // The first check loses its connection while fetching the third message.
        FaultServer proxy;
        QVERIFY(proxy.startProxy(port, {QStringLiteral("--cut-on"), wholeMessageCommand,
                                        QStringLiteral("--count"), QStringLiteral("3")}));
        {
            Account a(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::Protocol(protocol), SM::NO_SSL,
                                                     proxy.port()));
            QVERIFY(a.check());
            QCOMPARE(a.stored, (QStringList{idOf(6), idOf(5)}));
            QCOMPARE(a.log->errors.size(), 1);
            QVERIFY2(a.log->errors.at(0).startsWith(QStringLiteral("Get mail error: ")),
                     qPrintable(a.log->errors.at(0)));
        }

        // New mail arrives meanwhile; the program starts again with a fresh
        // store and a direct connection. (The same connection recovering from
        // the cut is checked below.)
        servers.seed(MailServers::makeMessage(idOf(7), QStringLiteral("Message 7")));
        Account b(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::Protocol(protocol), SM::NO_SSL, port));
        QVERIFY(b.check());
        QCOMPARE(b.stored, (QStringList{idOf(7), idOf(4), idOf(3), idOf(2), idOf(1)}));
        QVERIFY(b.log->errors.isEmpty());
        QCOMPARE(b.finished, 1);
        QCOMPARE(incomingFiles().size(), 7);
        QVERIFY(!QFile::exists(b.cache->accountPath() + QStringLiteral("/interrupted-check")));

        // And the next check stops at the newest held message again.
        b.log->announced.clear();
        QVERIFY(b.check());
        QCOMPARE(b.log->announced.size(), 1);
        QCOMPARE(b.stored.size(), 5);
    }

    void connectionRecoversAfterACut()
    {
        // The first check's two IMAP connections (store and folder) are cut
        // at the second message; later ones pass.
        for (int i = 1; i <= 3; ++i)
            servers.seed(MailServers::makeMessage(idOf(i), QStringLiteral("Message %1").arg(i)));
        FaultServer proxy;
        QVERIFY(proxy.startProxy(servers.imapPort(), {QStringLiteral("--cut-on"), QStringLiteral("BODY(\\.PEEK)?\\[\\]"),
                                                      QStringLiteral("--count"), QStringLiteral("2"),
                                                      QStringLiteral("--connections"), QStringLiteral("2")}));
        Account a(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::IMAP, SM::NO_SSL, proxy.port()));
        QVERIFY(a.check());
        QCOMPARE(a.log->errors.size(), 1);
        QCOMPARE(a.stored, QStringList{idOf(3)});
        // The next check on the same connection object starts afresh.
        QVERIFY(a.check());
        QCOMPARE(a.log->errors.size(), 1);
        QCOMPARE(a.stored, (QStringList{idOf(3), idOf(2), idOf(1)}));
        QCOMPARE(a.finished, 1);
    }

    void messageWithoutIdGetsAStableOne_data()
    {
        newestFirstAndStopAtTheFirstHeld_data();
    }

    void messageWithoutIdGetsAStableOne()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        servers.seed(MailServers::makeMessage(idOf(1), QStringLiteral("With id")));
        const QByteArray noId = MailServers::makeMessage(QString(), QStringLiteral("Without id"));
        servers.seed(noId);
        Account a(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::Protocol(protocol), SM::NO_SSL, port));
        QVERIFY(a.check());
        QVERIFY(a.log->errors.isEmpty());
        QCOMPARE(a.stored.size(), 2);
        QVERIFY(a.stored.at(0).endsWith(QStringLiteral("@derived.drel-mail")));
        QCOMPARE(a.stored.at(1), idOf(1));
        QVERIFY(incomingFiles().contains(a.stored.at(0) + QStringLiteral(".eml")));

        // The next check meets it first and knows it.
        QVERIFY(a.check());
        QCOMPARE(a.stored.size(), 2);
        QCOMPARE(a.finished, 2);
        QVERIFY(a.log->errors.isEmpty());
    }

    void storeWriteFailureEndsTheCheckWithAnError()
    {
        Account a(ConnectionRecorder::makeServer(SM::INCOMING_TYPE, SM::IMAP, SM::NO_SSL, servers.imapPort()));
        emit a.cache->writeFailed(QStringLiteral("Cannot store the message x: No space left on device"));
        QTRY_COMPARE(a.log->errors.size(), 1);
        QCOMPARE(a.log->errors.at(0),
                 QStringLiteral("Get mail error: Cannot store the message x: No space left on device"));
    }
};

MAIL_TEST_MAIN(TestFetch)
#include "tst_fetch.moc"
