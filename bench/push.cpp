// New mail pushed by the server: one account over IMAPS against the
// harness's Dovecot waits in IDLE with its timer stopped; each round
// delivers one message into the Maildir, as a delivery agent does, and takes
// the time until its letter is a row of the Incoming folder. Minimum,
// median and maximum of the rounds; also the processor time that the whole
// process takes while it waits (it should be none).
//
//   bench_push [rounds]      (default: 20)
#include "accounts/profile.h"
#include "accounts/profilemanager.h"
#include "mailservers.h"
#include "model/proxymodel.h"
#include "net/connection.h"
#include "net/idlewatcher.h"
#include "servers/server.h"
#include "servers/servermanager.h"
#include "testhome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
}

int main(int argc, char *argv[])
{
    TestHome::prepare();
    QApplication app(argc, argv);
    TestHome::prepareProgram();
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    MailServers servers;
    if (!servers.start()) {
        std::fprintf(stderr, "the mail servers did not start\n");
        return 1;
    }
    servers.trustCertificate(servers.imapsPort());
    ServerManager serverManager;
    ProfileManager profileManager;
    const QString in = MailServers::address(servers.imapsPort());
    const QString out = MailServers::address(servers.smtpPort());
    serverManager.addServer(ServerKind::INCOMING_TYPE, ServerKind::IMAP, ServerKind::TLS_SSL,
                            ServerKind::AUTO_AUTH, in);
    serverManager.addServer(ServerKind::OUTGOING_TYPE, ServerKind::SMTP, ServerKind::NO_SSL,
                            ServerKind::AUTO_AUTH, out);
    profileManager.addProfile(QStringLiteral("Bench"), QStringLiteral("test@example.org"), nullptr, nullptr,
                              MailServers::user(), MailServers::password());
    Profile *profile = profileManager.profileAt(0);
    for (const QVariant &record : serverManager.servers()) {
        auto *server = record.value<Server *>();
        if (server->address() == in)
            profile->setIncomingServer(server);
        else
            profile->setOutgoingServer(server);
    }
    profile->mailTimer()->stop();
    QSignalSpy idling(profile->connection()->idleWatcher(), &IdleWatcher::idling);
    servers.seed(MailServers::makeMessage(QStringLiteral("start@example.org"), QStringLiteral("Start")));
    profile->queryIncomingMail();
    ProxyModel *incoming = profile->folder(Letter::IncomingFolder);
    if (!QTest::qWaitFor([&] { return incoming->count() == 1 && idling.count() > 0; }, 30000)) {
        std::fprintf(stderr, "the account did not start waiting in IDLE\n");
        return 1;
    }

    // The window's thread sleeps in its event loop meanwhile, as in the
    // program.
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer idle;
    idle.start();
    QEventLoop sleep;
    QTimer::singleShot(10000, &sleep, &QEventLoop::quit);
    sleep.exec();
    const double idleCpu = (processCpuSeconds() - cpuBefore) / (idle.elapsed() / 1000.0);

    // When the server's news reached the window's thread: the rest is the
    // check.
    QElapsedTimer clock;
    double newsMs = 0;
    QObject::connect(profile->connection(), &Connection::mailArrived, &app,
                     [&] { newsMs = clock.nsecsElapsed() / 1e6; });
    std::vector<double> latencies;
    std::vector<double> news;
    for (int round = 1; round <= rounds; ++round) {
        // Between rounds the account settles back into IDLE.
        QTest::qWait(300);
        const int before = incoming->count();
        servers.seed(MailServers::makeMessage(QStringLiteral("push%1@example.org").arg(round),
                                              QStringLiteral("Pushed %1").arg(round)));
        clock.start();
        if (!QTest::qWaitFor([&] { return incoming->count() > before; }, 60000)) {
            std::fprintf(stderr, "round %d: the letter did not come\n", round);
            return 1;
        }
        latencies.push_back(clock.nsecsElapsed() / 1e6);
        news.push_back(newsMs);
        std::fprintf(stderr, "round %d: %.0f ms (news after %.0f ms)\n", round, latencies.back(), newsMs);
    }
    std::sort(latencies.begin(), latencies.end());
    std::sort(news.begin(), news.end());
    std::printf("delivery to listed row over IMAPS, %d deliveries: min %.0f ms, median %.0f ms, max %.0f ms\n",
                rounds, latencies.front(), latencies[latencies.size() / 2], latencies.back());
    std::printf("of which until the server's news: min %.0f ms, median %.0f ms, max %.0f ms\n", news.front(),
                news[news.size() / 2], news.back());
    std::printf("processor time while waiting in IDLE: %.3f %% of one core\n", idleCpu * 100);
    return 0;
}
