#include "main/sessionguard.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int terminatePipe[2] = {-1, -1};

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
    if (terminatePipe[0] >= 0)
        return; // one process, one handler
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, terminatePipe) != 0) {
        qCritical() << "SessionGuard::SessionGuard(): no pipe for SIGTERM:" << strerror(errno);
        return;
    }
    m_notifier = new QSocketNotifier(terminatePipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SessionGuard::onTerminate);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

SessionGuard::~SessionGuard()
{
    if (m_notifier)
        ::signal(SIGTERM, SIG_DFL);
}

void SessionGuard::onTerminate()
{
    char byte;
    [[maybe_unused]] const ssize_t read = ::read(terminatePipe[1], &byte, 1);
    emit ending();
    QCoreApplication::quit();
}
