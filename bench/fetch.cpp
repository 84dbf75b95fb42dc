// First fetch of a seeded mailbox into a fresh store by this program over
// IMAPS and POP3S, compared in the same run with mbsync (Debian's isync)
// over IMAPS and with the server's raw stream (one FETCH 1:* BODY.PEEK[]
// read to its end), all against the same Dovecot on loopback. Three runs
// each; minimum and median. Also: the longest stall of the main thread
// during the client's check (and the processor time of the longest event
// it handled: the rest of a stall is the machine's load), its peak memory,
// a check that finds nothing new, and the time from a check's start to its
// first letter in the list (the slowest of all six runs). Every run writes
// into a directory of its own, and nothing is removed until the end: ext4
// without a journal skips inodes freed in the last minutes when it makes a
// file, and a run right after removing thousands of files would measure
// that.
//
// Each client run also prints its processor time, all threads and the main
// thread's: the part of the time that is this program's own work.
//
//   bench_fetch [count...]      (default: 1 1000 2000 10000)
//   BENCH_CLIENT_ONLY=1         only this program's IMAPS runs (for profiling)
#include "base/settings.h"
#include "connectionrecorder.h"
#include "mailaccount.h"
#include "mailservers.h"
#include "main/startup.h"
#include "model/letter.h"
#include "net/authenticator.h"
#include "net/certificateverifier.h"
#include "net/connection.h"
#include "net/rootcertificates.h"
#include "servers/incomingserver.h"
#include "store/cache.h"
#include "testhome.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

#include <vmime/platforms/posix/posixHandler.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {
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

struct ClientRun {
    double seconds = 0;
    qint64 worstStallMs = 0;
    double longestEventCpuMs = 0;
    double nothingNewSeconds = 0;
    double firstLetterSeconds = 0;   // from the check's start to the first letter listed
    double cpuSeconds = 0;           // processor time of all of the client's threads
    double mainCpuSeconds = 0;       // of its main thread alone
};

double processCpuSeconds()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Times every event that the main thread handles while watching.
class BenchApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!watching || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        const double before = threadCpuMs();
        const bool result = QApplication::notify(receiver, event);
        longestEventCpuMs = qMax(longestEventCpuMs, threadCpuMs() - before);
        return result;
    }

    bool watching = false;
    double longestEventCpuMs = 0;
};

int runNumber = 0;

// This program's first check into a fresh store, as an account runs it,
// with a 5 ms timer on the main thread recording its largest lateness; then
// a second check that finds nothing new.
ClientRun clientFetch(ServerKind::Protocol protocol, int port, int expected)
{
    MailAccount account(ConnectionRecorder::makeServer(ServerKind::INCOMING_TYPE, protocol,
                                                       ServerKind::TLS_SSL, port),
                        QStringLiteral("bench%1@example.org").arg(++runNumber));
    auto *application = static_cast<BenchApplication *>(qApp);
    ClientRun run;
    QElapsedTimer clock;
    qint64 last = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        run.worstStallMs = qMax(run.worstStallMs, clock.elapsed() - last);
        last = clock.elapsed();
    });
    bool listed = false;
    QObject::connect(account.cache.get(), &Cache::letterFiled, account.cache.get(), [&](int folder) {
        if (!listed && folder == Letter::IncomingFolder)
            run.firstLetterSeconds = clock.nsecsElapsed() / 1e9;
        listed = listed || folder == Letter::IncomingFolder;
    });
    application->longestEventCpuMs = 0;
    application->watching = true;
    const double cpuBefore = processCpuSeconds();
    const double mainCpuBefore = threadCpuMs();
    clock.start();
    tick.start();
    account.check(600000);
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.cpuSeconds = processCpuSeconds() - cpuBefore;
    run.mainCpuSeconds = (threadCpuMs() - mainCpuBefore) / 1e3;
    tick.stop();
    application->watching = false;
    run.longestEventCpuMs = application->longestEventCpuMs;
    if (account.stored.size() != expected || !account.log->errors.isEmpty())
        std::fprintf(stderr, "client stored %d of %d %s\n", int(account.stored.size()), expected,
                     qPrintable(account.log->errors.join(QLatin1Char(' '))));
    std::fprintf(stderr, "    %.2f s, processor %.2f s (main thread %.2f s)\n", run.seconds, run.cpuSeconds,
                 run.mainCpuSeconds);
    QElapsedTimer again;
    again.start();
    account.check(600000);
    run.nothingNewSeconds = again.nsecsElapsed() / 1e9;
    return run;
}

// The server's stream of every message, read to its end and thrown away.
double rawStream(const MailServers &servers)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    QElapsedTimer timer;
    timer.start();
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), quint16(servers.imapsPort()));
    if (!socket.waitForEncrypted(10000))
        return -1;
    auto command = [&socket](const QByteArray &tag, const QByteArray &text) {
        socket.write(tag + ' ' + text + "\r\n");
        QByteArray tail;
        const QByteArray done = "\r\n" + tag + " ";
        for (;;) {
            if (!socket.bytesAvailable() && !socket.waitForReadyRead(30000))
                return false;
            tail += socket.readAll();
            if (tail.contains(done) || tail.startsWith(tag + ' '))
                return true;
            tail = tail.right(256);
        }
    };
    socket.waitForReadyRead(10000);
    socket.readAll();
    command("a", "LOGIN " + MailServers::user().toUtf8() + ' ' + MailServers::password().toUtf8());
    command("b", "EXAMINE INBOX");
    command("c", "FETCH 1:* BODY.PEEK[]");
    const double seconds = timer.nsecsElapsed() / 1e9;
    command("d", "LOGOUT");
    return seconds;
}

double mbsync(const MailServers &servers)
{
    const QString dir = TestHome::path() + QStringLiteral("/mbsync%1").arg(++runNumber);
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

struct Figures {
    double min = 0;
    double median = 0;
};

template<typename Run> Figures threeRuns(const char *what, Run run)
{
    QList<double> times;
    for (int i = 0; i < 3; ++i) {
        // No run pays for the write-back of the run before it.
        ::sync();
        times.append(run());
    }
    std::sort(times.begin(), times.end());
    std::fprintf(stderr, "  %-12s %.2f %.2f %.2f s\n", what, times.at(0), times.at(1), times.at(2));
    return {times.at(0), times.at(1)};
}
} // namespace

int main(int argc, char *argv[])
{
    TestHome::prepare();
    BenchApplication app(argc, argv);
    TestHome::prepareProgram();
    // As the program does at its start.
    RootCertificates::readAhead();

    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (counts.isEmpty())
        counts = {1, 1000, 2000, 10000};

    MailServers servers;
    if (!servers.start()) {
        std::fprintf(stderr, "the mail servers did not start\n");
        return 1;
    }
    servers.trustCertificate(servers.imapsPort());
    servers.trustCertificate(servers.pop3sPort());

    std::printf("%8s %9s %9s %9s %9s %9s %9s %9s %9s %9s %7s %7s %7s %7s\n", "messages", "raw", "mbsync",
                "imaps", "imaps-med", "pop3s", "pop3s-med", "imaps/mb", "imaps/raw", "pop3s/mb",
                "stall", "evt-cpu", "nothing", "first");
    double imapsPerMessage1000 = 0;
    double pop3sPerMessage1000 = 0;
    for (int count : counts) {
        servers.clearMailbox();
        qint64 total = 0;
        for (int i = 0; i < count; ++i) {
            const QByteArray raw = makeMessage(i);
            total += raw.size();
            servers.seed(raw);
        }
        std::fprintf(stderr, "%d messages, %.1f KB on average\n", count, total / 1024.0 / count);
        mbsync(servers); // lets Dovecot build its indexes first
        const bool clientOnly = qEnvironmentVariableIsSet("BENCH_CLIENT_ONLY");
        const Figures raw = clientOnly ? Figures{1, 1} : threeRuns("raw", [&] { return rawStream(servers); });
        const Figures mb = clientOnly ? Figures{1, 1} : threeRuns("mbsync", [&] { return mbsync(servers); });
        qint64 stall = 0;
        double eventCpu = 0;
        double nothing = 0;
        double first = 0;   // the slowest first letter of either protocol
        const Figures imaps = threeRuns("imaps", [&] {
            const ClientRun run = clientFetch(ServerKind::IMAP, servers.imapsPort(), count);
            stall = qMax(stall, run.worstStallMs);
            eventCpu = qMax(eventCpu, run.longestEventCpuMs);
            nothing = qMax(nothing, run.nothingNewSeconds);
            first = qMax(first, run.firstLetterSeconds);
            return run.seconds;
        });
        const Figures pop3s = clientOnly ? Figures{1, 1} : threeRuns("pop3s", [&] {
            const ClientRun run = clientFetch(ServerKind::POP3, servers.pop3sPort(), count);
            first = qMax(first, run.firstLetterSeconds);
            return run.seconds;
        });
        std::printf("%8d %8.2fs %8.2fs %8.2fs %8.2fs %8.2fs %8.2fs %9.2f %9.2f %9.2f %5lldms %5.1fms %6.2fs %5.0fms\n",
                    count, raw.min, mb.min, imaps.min, imaps.median, pop3s.min, pop3s.median,
                    imaps.min / mb.min, imaps.min / raw.min, pop3s.min / mb.min, stall, eventCpu,
                    nothing, first * 1000);
        if (count == 1000) {
            imapsPerMessage1000 = imaps.min / count;
            pop3sPerMessage1000 = pop3s.min / count;
        } else if (imapsPerMessage1000 > 0) {
            std::printf("per-message cost at %d against 1000: imaps %.2fx, pop3s %.2fx\n", count,
                        imaps.min / count / imapsPerMessage1000, pop3s.min / count / pop3sPerMessage1000);
        }
        std::fflush(stdout);
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory of this process: %ld MB\n", usage.ru_maxrss / 1024);
    servers.stop();
    return 0;
}
