#include "model/backgroundwork.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QPointer>
#include <QWaitCondition>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Hold {
    QMutex mutex;
    QWaitCondition released;
    QDeadlineTimer until{0};
};

Hold &hold()
{
    static Hold hold;
    return hold;
}

} // namespace

QThreadPool *BackgroundWork::pool()
{
    // The application owns it: going, it waits for the task that runs.
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(1);
    }
    return pool;
}

void BackgroundWork::yieldToWindow()
{
    // A lower priority is always allowed, and stays with the pool's thread.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
}

void BackgroundWork::returnFreedMemory()
{
    ::malloc_trim(0);
}

void BackgroundWork::holdForWindow()
{
    QMutexLocker locker(&hold().mutex);
    hold().until = QDeadlineTimer(HoldMilliseconds);
}

void BackgroundWork::releaseForWindow()
{
    QMutexLocker locker(&hold().mutex);
    hold().until = QDeadlineTimer(0);
    hold().released.wakeAll();
}

void BackgroundWork::waitForWindow()
{
    QMutexLocker locker(&hold().mutex);
    while (!hold().until.hasExpired())
        hold().released.wait(&hold().mutex, hold().until);
}
