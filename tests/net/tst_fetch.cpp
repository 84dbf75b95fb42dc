// Whole mail checks between the connection thread and the real store,
// against Dovecot: order, the stop at the first held message across window
// boundaries, messages without an id, deletion on the server, a cut
// connection, and a window that never waits on the network.
#include "base/settings.h"
#include "mailaccount.h"
#include "mailservers.h"
#include "main/startup.h"
#include "model/letter.h"
#include "model/messagebounds.h"
#include "servertestcase.h"
#include "testhome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>
#include <QtTest>

namespace {
namespace SM = ServerKind;

QString idOf(int i)
{
    return QStringLiteral("m%1@example.org").arg(i);
}

QStringList ids(int from, int downTo)
{
    QStringList result;
    for (int i = from; i >= downTo; --i)
        result.append(idOf(i));
    return result;
}
}

class TestFetch : public ServerTestCase
{
    Q_OBJECT

    void seed(int from, int to)
    {
        for (int i = from; i <= to; ++i)
            servers.seed(MailServers::makeMessage(idOf(i), QStringLiteral("Message %1").arg(i)));
    }

    void protocols()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("port");
        QTest::newRow("pop3") << int(SM::POP3) << servers.pop3Port();
        QTest::newRow("imap") << int(SM::IMAP) << servers.imapPort();
    }

private slots:
    void newestFirstAndStopAtTheFirstHeld_data() { protocols(); }
    void newestFirstAndStopAtTheFirstHeld()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        seed(1, 3);
        MailAccount a(ConnectionRecorder::incoming(protocol, port));
        QVERIFY(a.check());
        QCOMPARE(a.stored, ids(3, 1));

        // More than one window of new mail; the held messages sit inside
        // the second window, and the walk stops at the newest of them.
        seed(4, 58);
        a.stored.clear();
        a.log->announced.clear();
        QVERIFY(a.check());
        QCOMPARE(a.stored, ids(58, 4));
        QCOMPARE(a.log->announced.last().second, idOf(1));
        QCOMPARE(a.finished, 2);
        QVERIFY(a.log->errors.isEmpty());
        QCOMPARE(a.differenceFrom(servers), QString());
        QVERIFY(!QFile::exists(a.cache->accountPath() + QStringLiteral("/interrupted-check")));

        // Nothing new: one window read, nothing fetched.
        a.log->announced.clear();
        QVERIFY(a.check());
        QCOMPARE(a.stored.size(), 55);
        QCOMPARE(a.log->announced.size(), 50);
        QCOMPARE(a.log->stored.size(), 58);
    }

    void messageWithoutIdGetsAStableOne_data() { protocols(); }
    void messageWithoutIdGetsAStableOne()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        seed(1, 1);
        servers.seed(MailServers::makeMessage(QString(), QStringLiteral("Without id")));
        seed(2, 2);
        MailAccount a(ConnectionRecorder::incoming(protocol, port));
        QVERIFY(a.check());
        QVERIFY(a.log->errors.isEmpty());
        QCOMPARE(a.stored.size(), 3);
        QVERIFY(a.stored.at(1).endsWith(QStringLiteral("@derived.drel-mail")));
        QCOMPARE(a.differenceFrom(servers), QString());
        // The next check meets the held messages and knows them.
        QVERIFY(a.check());
        QCOMPARE(a.stored.size(), 3);
        QCOMPARE(a.finished, 2);
    }

    void deleteFromServerRemovesExactlyTheStoredMessages_data() { protocols(); }
    void deleteFromServerRemovesExactlyTheStoredMessages()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        seed(1, 1);
        MailAccount a(ConnectionRecorder::incoming(protocol, port));
        QVERIFY(a.check());
        Settings::setDeleteFromServer(true);
        seed(2, 4);
        QVERIFY(a.check());
        QCOMPARE(a.stored, (QStringList{idOf(1), idOf(4), idOf(3), idOf(2)}));
        // Carried out when the check ends.
        QVERIFY(a.log->errors.isEmpty());
        const QList<QByteArray> left = servers.messages();
        QCOMPARE(left.size(), 1);
        QVERIFY(left.at(0).contains("Message-ID: <" + idOf(1).toUtf8() + ">"));
        QCOMPARE(a.incomingFiles().size(), 4);
    }

    void cutConnectionResumesAtTheNextCheck_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("count");
        // The window after the first 50 messages (the newest alone, then the
        // other 49) is cut off.
        QTest::newRow("pop3") << int(SM::POP3) << servers.pop3Port() << "^RETR " << "51";
        QTest::newRow("imap") << int(SM::IMAP) << servers.imapPort() << "BODY\\.PEEK\\[\\]" << "3";
    }

    void cutConnectionResumesAtTheNextCheck()
    {
        QFETCH(int, protocol);
        QFETCH(int, port);
        QFETCH(QString, command);
        QFETCH(QString, count);
        seed(1, 60);
        FaultServer proxy;
        QVERIFY(proxy.startProxy(port, {QStringLiteral("--cut-on"), command, QStringLiteral("--count"),
                                        count, QStringLiteral("--connections"), QStringLiteral("1")}));
        MailAccount a(ConnectionRecorder::incoming(protocol, proxy.port()));
        QVERIFY(a.check());
        QCOMPARE(a.stored, ids(60, 11));
        QCOMPARE(a.log->errors.size(), 1);
        QVERIFY2(a.log->errors.at(0).startsWith(QStringLiteral("Get mail error: ")),
                 qPrintable(a.log->errors.at(0)));

        // New mail meanwhile; the next check on the same objects fetches it
        // and walks past the held newest messages to the rest.
        seed(61, 61);
        a.stored.clear();
        QVERIFY(a.check());
        QCOMPARE(a.stored, QStringList{idOf(61)} + ids(10, 1));
        QCOMPARE(a.log->errors.size(), 1);
        QCOMPARE(a.differenceFrom(servers), QString());
        QVERIFY(!QFile::exists(a.cache->accountPath() + QStringLiteral("/interrupted-check")));
    }

    // A server's answers are a stranger's input. A message larger than the
    // store takes is kept up to that size and the check goes on past it; an
    // answer that never ends, breaks off or fails is an error of that check
    // only; whatever else an answer carries is passed over.
    void hostileAnswersCostOnlyTheirCheck_data()
    {
        QTest::addColumn<QString>("source");   // Dovecot, or a fault server's shape
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("errors");
        QTest::newRow("pop3: 60 MB message among others") << "dovecot" << ids(3, 1) << 0;
        QTest::newRow("pop3: endless lines") << "lines" << QStringList{} << 1;
        QTest::newRow("pop3: one endless line") << "line" << QStringList{} << 1;
        QTest::newRow("imap: literal past the bound") << "oversized" << ids(3, 1) << 0;
        QTest::newRow("imap: literal past twice the bound") << "endless" << ids(3, 3) << 1;
        QTest::newRow("imap: cut inside a literal") << "cut" << ids(3, 3) << 1;
        QTest::newRow("imap: NO after the data") << "no" << ids(3, 3) << 1;
        QTest::newRow("imap: items around the body") << "reordered" << ids(3, 1) << 0;
        QTest::newRow("imap: other answers between") << "interleaved" << ids(3, 1) << 0;
    }

    void hostileAnswersCostOnlyTheirCheck()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, stored);
        QFETCH(int, errors);
        FaultServer fault;
        int protocol = SM::POP3;
        int port = servers.pop3Port();
        if (source == QLatin1String("dovecot")) {
            seed(1, 1);
            QByteArray line(78, 'b');
            servers.seed(MailServers::makeMessage(idOf(2), QStringLiteral("big"),
                                                  QString::fromLatin1(line.append("\r\n").repeated(
                                                          60 * 1024 * 1024 / 80))));
            seed(3, 3);
        } else if (source.startsWith(QLatin1String("line"))) {
            QVERIFY(fault.startEndlessPop3(source == QLatin1String("line")));
            port = fault.port();
        } else {
            QVERIFY(fault.startImap(source));
            protocol = SM::IMAP;
            port = fault.port();
        }
        MailAccount a(ConnectionRecorder::incoming(protocol, port));
        QVERIFY(a.check(120000));
        QCOMPARE(a.stored, stored);
        QCOMPARE(a.log->errors.size(), errors);
        const bool oversized = source == QLatin1String("dovecot") || source == QLatin1String("oversized");
        for (int i = 1; i <= 3; ++i) {
            if (!stored.contains(idOf(i)))
                continue;
            QFile file(a.cache->messageFilePath(Letter::IncomingFolder, idOf(i)));
            QVERIFY(file.open(QIODevice::ReadOnly));
            if (oversized && i == 2)
                QVERIFY2(file.size() <= MessageBounds::MaxSize && file.size() > MessageBounds::MaxSize - 100,
                         qPrintable(QString::number(file.size())));
            else if (protocol == SM::IMAP)   // as the fault server holds it
                QCOMPARE(file.readAll(), QStringLiteral("Message-ID: <%1>\r\nSubject: Message %2\r\n\r\n"
                                                        "Body of %2\r\n").arg(idOf(i)).arg(i).toUtf8());
        }
    }

    void theWindowNeverWaitsOnTheNetwork()
    {
        // Over TLS, so that every byte costs work on the worker thread.
        seed(1, 400);
        MailAccount a(ConnectionRecorder::incoming(SM::IMAP, servers.imapsPort(), SM::TLS_SSL));
        servers.trustCertificate(servers.imapsPort());
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 worst = 0;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worst = qMax(worst, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        tick.start();
        QVERIFY(a.check());
        tick.stop();
        QCOMPARE(a.stored.size(), 400);
        // Generous for a loaded machine and a sanitizer build; a main thread
        // that read the contents itself stalls for whole windows.
        QVERIFY2(worst < 250, qPrintable(QStringLiteral("longest stall %1 ms").arg(worst)));
    }
};

MAIL_TEST_MAIN(TestFetch)
#include "tst_fetch.moc"
