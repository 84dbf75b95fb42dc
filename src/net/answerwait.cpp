#include "net/answerwait.h"

#include <QEventLoop>
#include <QThread>

bool AnswerWait::wait()
{
    m_answered = false;
    QEventLoop loop;
    // A job run by the events of an outer wait can wait too: the inner
    // wait ends first, and the outer one waits on for its own answer.
    QEventLoop *const outer = m_loop;
    m_loop = &loop;
    // QThread::quit() ends every event loop of the thread, this one too, and
    // one started after it returns at once.
    if (!QThread::currentThread()->isInterruptionRequested())
        loop.exec();
    m_loop = outer;
    const bool answered = m_answered;
    m_answered = false;
    return answered;
}

void AnswerWait::answered()
{
    m_answered = true;
    if (m_loop)
        m_loop->quit();
}
