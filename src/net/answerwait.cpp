#include "net/answerwait.h"

#include <QAtomicInt>
#include <QEventLoop>
#include <QThread>

namespace {
// Unique within the program, so that an answer can never reach another
// question, of this worker or another.
QAtomicInt lastQuestion;
}

bool AnswerWait::ask(ServerQuestion question, const std::function<void(const ServerQuestion &)> &put)
{
    question.number = lastQuestion.fetchAndAddRelaxed(1) + 1;
    // A job run by the events of an outer wait can ask too: the inner wait
    // ends first, and the outer one waits on for its own answer.
    QEventLoop *const outerLoop = m_loop;
    const int outerQuestion = m_open;
    const bool outerAnswered = m_answered;
    QEventLoop loop;
    m_loop = &loop;
    m_open = question.number;
    m_answered = false;
    put(question);
    // QThread::quit() ends every event loop of the thread, this one too, and
    // one started after it returns at once.
    if (!m_answered && !QThread::currentThread()->isInterruptionRequested())
        loop.exec();
    const bool answered = m_answered;
    m_loop = outerLoop;
    m_open = outerQuestion;
    m_answered = outerAnswered;
    return answered;
}

bool AnswerWait::answered(int number)
{
    if (m_open == 0 || (number != 0 && number != m_open))
        return false;
    m_answered = true;
    m_loop->quit();
    return true;
}
