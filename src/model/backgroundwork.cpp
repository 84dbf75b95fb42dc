#include "model/backgroundwork.h"

#include <QCoreApplication>
#include <QPointer>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

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
