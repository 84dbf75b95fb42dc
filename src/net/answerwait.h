#pragma once

#include "net/serverquestion.h"

#include <functional>

class QEventLoop;

// Worker thread that asks the user something.
// The one way a worker asks: the question gets a number, goes out, and the
// thread waits for the answer with its events running, so that the queued
// answer can arrive, and ends the moment it does: no polling. The thread's
// quit() (the account or the program going away) ends the wait as well, as
// an unanswered question.
class AnswerWait
{
public:
    AnswerWait() = default;
    AnswerWait(const AnswerWait &) = delete;
    AnswerWait &operator=(const AnswerWait &) = delete;

    // Numbers the question, hands it to put (which sends it to the user) and
    // waits; true when its answer came.
    bool ask(ServerQuestion question, const std::function<void(const ServerQuestion &)> &put);
    // An answer is in: the wait for that question number (0: whichever is
    // open) ends now. False, and nothing happens, for a question that is not
    // open: an answer given while nobody waits is dropped.
    bool answered(int number = 0);
    bool isOpen(int number) const { return m_open != 0 && number == m_open; }

private:
    QEventLoop *m_loop = nullptr;
    int m_open = 0;          // the number of the question waited for
    bool m_answered = false;
};
