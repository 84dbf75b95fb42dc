#include "main/sessionguard.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// One pipe for the process; the handler only writes to it.
int terminatePipe[2] = {-1, -1};
int guards = 0;

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminatePipe[0], &byte, 1);
}
} // namespace

SessionGuard::SessionGuard(QObject *parent)
    : QObject(parent)
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (app) {
        connect(app, &QGuiApplication::commitDataRequest, this, &SessionGuard::ending);
        connect(app, &QCoreApplication::aboutToQuit, this, &SessionGuard::ending);
    }
    if (terminatePipe[0] < 0
            && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, terminatePipe) != 0) {
        qCritical() << "SessionGuard::SessionGuard(): no pipe for SIGTERM:" << strerror(errno);
        return;
    }
    m_notifier = new QSocketNotifier(terminatePipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SessionGuard::onTerminate);
    if (guards++ == 0) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
    }
}

SessionGuard::~SessionGuard()
{
    // Without a guard, SIGTERM ends the program at once again.
    if (m_notifier && --guards == 0)
        ::signal(SIGTERM, SIG_DFL);
}

void SessionGuard::onTerminate()
{
    char byte;
    while (::read(terminatePipe[1], &byte, 1) > 0) {
    }
    emit ending();
    QCoreApplication::quit();
}
