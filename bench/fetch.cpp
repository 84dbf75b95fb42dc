// First fetch of a seeded mailbox into a fresh store, by this program over
// IMAPS and POP3S, compared in the same run with mbsync (Debian's isync) and
// with the mail library's own sequential loop (envelope and Message-ID, then
// the whole message, newest first), all against the same Dovecot on loopback.
//
//   bench_fetch [count...]      (default: 1000 10000)
#include "base/settings.h"
#include "mailservers.h"
#include "main/startup.h"
#include "model/letter.h"
#include "net/authenticator.h"
#include "net/certificateverifier.h"
#include "net/connection.h"
#include "servers/incomingserver.h"
#include "store/cache.h"
#include "testhome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTimer>

#include <vmime/platforms/posix/posixHandler.hpp>

#include <cstdio>
#include <memory>

namespace {
const QString account = QStringLiteral("bench@example.org");

// Mixed mail: mostly plain text of a few kilobytes, some HTML with a plain
// alternative, some with a base64 attachment.
QByteArray makeMessage(int i)
{
    QByteArray body;
    const int kind = i % 10;
    const int paragraphs = 4 + (i * 7) % 20;
    QByteArray text;
    for (int p = 0; p < paragraphs; ++p)
        text += "Paragraph " + QByteArray::number(p) + " of message " + QByteArray::number(i)
                + ": the quick brown fox jumps over the lazy dog, again and again, "
                  "until the line is long enough to wrap twice in a reader.\r\n\r\n";
    QByteArray raw = "From: Sender " + QByteArray::number(i % 37) + " <sender" + QByteArray::number(i % 37)
                     + "@example.org>\r\nTo: bench@example.org\r\nSubject: Benchmark message "
                     + QByteArray::number(i) + "\r\nDate: Mon, 6 Jan 2025 10:00:00 +0000\r\nMessage-ID: <bench"
                     + QByteArray::number(i) + "@example.org>\r\nMIME-Version: 1.0\r\n";
    if (kind < 6) {
        raw += "Content-Type: text/plain; charset=utf-8\r\n\r\n" + text;
    } else if (kind < 8) {
        raw += "Content-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n--alt\r\n"
               "Content-Type: text/plain; charset=utf-8\r\n\r\n" + text + "--alt\r\n"
               "Content-Type: text/html; charset=utf-8\r\n\r\n<html><body><p>" + text + "</p></body></html>\r\n--alt--\r\n";
    } else {
        QByteArray data;
        for (int b = 0; b < 12000 + (i % 5) * 2000; ++b)
            data.append(char((b * 131 + i) % 256));
        raw += "Content-Type: multipart/mixed; boundary=\"mix\"\r\n\r\n--mix\r\n"
               "Content-Type: text/plain; charset=utf-8\r\n\r\n" + text + "--mix\r\n"
               "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
               "Content-Transfer-Encoding: base64\r\n"
               "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n";
        const QByteArray b64 = data.toBase64();
        for (int p = 0; p < b64.size(); p += 76)
            raw += b64.mid(p, 76) + "\r\n";
        raw += "--mix--\r\n";
    }
    return raw;
}

void trust(const MailServers &servers, int port)
{
    QVariantList bytes;
    for (char b : servers.certificateFingerprint(false))
        bytes.append(int(static_cast<unsigned char>(b)));
    QSettings().setValue(Settings::serversGroup + QLatin1Char('/') + MailServers::address(port)
                             + QLatin1Char('/') + Settings::certificateFingerprintKey,
                         bytes);
}

// This program's first fetch into a fresh store, as an account runs it.
double clientFetch(ServerManager::Protocol protocol, int port, int expected)
{
    QDir(TestHome::path() + QStringLiteral("/.drel-mail")).removeRecursively();
    Connection connection;
    Cache cache(account, QString());
    int stored = 0;
    QEventLoop loop;
    QObject::connect(&cache, &Cache::getNewMail, &connection, qOverload<int>(&Connection::onQueryGetMail));
    QObject::connect(&cache, &Cache::fetchMessages, &connection, &Connection::onFetchMessages);
    QObject::connect(&connection, &Connection::newMessageIds_chain, &cache, &Cache::onNewMessageIds);
    QObject::connect(&connection, &Connection::messagesStored_chain, &cache, &Cache::onMessagesStored);
    QObject::connect(&cache, &Cache::newIncomingLetter, &cache, [&stored](Letter *l) {
        ++stored;
        l->deleteLater();
    });
    QObject::connect(&cache, &Cache::lettersRecieved, &loop, &QEventLoop::quit);
    QObject::connect(&connection, &Connection::connectionClosed, &loop, &QEventLoop::quit);
    QObject::connect(&connection, &Connection::error, &loop, [&loop](const QString &e) {
        std::fprintf(stderr, "error: %s\n", qPrintable(e));
        loop.quit();
    });
    connection.setAuthenticator(true, MailServers::user(), MailServers::password());
    connection.start();
    auto *server = new IncomingServer; // handed to the connection below
    server->setProtocol(protocol);
    server->setSsl(ServerManager::TLS_SSL);
    server->setAddress(MailServers::address(port));
    connection.setServer(true, server);

    QElapsedTimer timer;
    timer.start();
    QMetaObject::invokeMethod(&connection, [&connection] { connection.onQueryGetMail(0); }, Qt::QueuedConnection);
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (stored != expected)
        std::fprintf(stderr, "client stored %d of %d\n", stored, expected);
    return seconds;
}

// The library's own loop: envelope and Message-ID, then the whole message.
double libraryFloor(const char *scheme, int port, int expected)
{
    auto session = vmime::net::session::create();
    auto authenticator = std::make_shared<Authenticator>(MailServers::user(), MailServers::password());
    const std::string url = std::string(scheme) + "://127.0.0.1:" + std::to_string(port);
    QElapsedTimer timer;
    timer.start();
    auto store = session->getStore(vmime::utility::url(url), authenticator);
    store->setCertificateVerifier(vmime::make_shared<CertificateVerifier>(MailServers::address(port)));
    store->connect();
    auto folder = store->getDefaultFolder();
    folder->open(vmime::net::folder::MODE_READ_ONLY, false);
    const vmime::size_t count = folder->getMessageCount();
    size_t bytes = 0;
    for (vmime::size_t n = count; n >= 1; --n) {
        auto message = folder->getMessage(n);
        vmime::net::fetchAttributes attributes(vmime::net::fetchAttributes::ENVELOPE);
        attributes.add("Message-ID");
        folder->fetchMessage(message, attributes);
        message->getHeader()->findField(vmime::fields::MESSAGE_ID);
        std::string content;
        vmime::utility::outputStreamStringAdapter out(content);
        message->extract(out);
        bytes += content.size();
    }
    folder->close(false);
    store->disconnect();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (int(count) != expected)
        std::fprintf(stderr, "library loop saw %d of %d\n", int(count), expected);
    return seconds;
}

double mbsync(const MailServers &servers)
{
    const QString dir = TestHome::path() + QStringLiteral("/mbsync");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir + QStringLiteral("/mail"));
    QFile config(dir + QStringLiteral("/mbsyncrc"));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral(
                     "IMAPAccount bench\nHost localhost\nPort %1\nUser %2\nPass %3\nSSLType IMAPS\n"
                     "CertificateFile %4/cert-a.pem\n\n"
                     "IMAPStore remote\nAccount bench\n\n"
                     "MaildirStore local\nPath %5/mail/\nInbox %5/mail/INBOX\n\n"
                     "Channel bench\nFar :remote:\nNear :local:\nPatterns INBOX\nCreate Near\n"
                     "Sync Pull\nSyncState *\n")
                     .arg(servers.imapsPort())
                     .arg(MailServers::user(), MailServers::password(), servers.directory(), dir)
                     .toUtf8());
    config.close();
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("mbsync"), {QStringLiteral("-q"), QStringLiteral("-c"), config.fileName(),
                                             QStringLiteral("-a")});
    process.waitForFinished(600000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (process.exitCode() != 0)
        std::fprintf(stderr, "mbsync failed: %s\n", process.readAllStandardError().constData());
    return seconds;
}
}

int main(int argc, char *argv[])
{
    TestHome::prepare();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("drel"));
    QCoreApplication::setApplicationName(QStringLiteral("mail"));
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    Startup::registerTypes();

    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (counts.isEmpty())
        counts = {1000, 10000};

    MailServers servers;
    if (!servers.start()) {
        std::fprintf(stderr, "the mail servers did not start\n");
        return 1;
    }
    trust(servers, servers.imapsPort());
    trust(servers, servers.pop3sPort());

    std::printf("%8s %10s %10s %10s %10s %10s %8s %8s %8s %8s\n", "messages", "mbsync", "lib-imaps",
                "imaps", "lib-pop3s", "pop3s", "imaps/mb", "imaps/lib", "pop3s/mb", "pop3s/lib");
    for (int count : counts) {
        servers.clearMailbox();
        qint64 total = 0;
        for (int i = 0; i < count; ++i) {
            const QByteArray raw = makeMessage(i);
            total += raw.size();
            servers.seed(raw);
        }
        std::fprintf(stderr, "%d messages, %.1f KB on average\n", count, total / 1024.0 / count);
        auto note = [](const char *what, double seconds) {
            std::fprintf(stderr, "  %-10s %8.2fs\n", what, seconds);
            return seconds;
        };
        note("warm-up", mbsync(servers)); // lets Dovecot build its indexes first
        const double mb = note("mbsync", mbsync(servers));
        const double libImaps = note("lib-imaps", libraryFloor("imaps", servers.imapsPort(), count));
        const double imaps = note("imaps", clientFetch(ServerManager::IMAP, servers.imapsPort(), count));
        const double libPop3s = note("lib-pop3s", libraryFloor("pop3s", servers.pop3sPort(), count));
        const double pop3s = note("pop3s", clientFetch(ServerManager::POP3, servers.pop3sPort(), count));
        std::printf("%8d %9.2fs %9.2fs %9.2fs %9.2fs %9.2fs %8.2f %8.2f %8.2f %8.2f\n", count, mb, libImaps,
                    imaps, libPop3s, pop3s, imaps / mb, imaps / libImaps, pop3s / mb, pop3s / libPop3s);
        std::fflush(stdout);
    }
    servers.stop();
    return 0;
}
