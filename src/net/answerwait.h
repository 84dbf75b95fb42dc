#pragma once

class QEventLoop;

// Worker thread that asks the user something.
// Waits for the answer with the thread's events running, so that the queued
// answer can arrive, and ends the moment it does: no polling. The thread's
// quit() (the account or the program going away) ends the wait as well, as
// an unanswered question.
class AnswerWait
{
public:
    AnswerWait() = default;
    AnswerWait(const AnswerWait &) = delete;
    AnswerWait &operator=(const AnswerWait &) = delete;

    // Runs the calling thread's events until answered() or the thread is
    // told to stop; true when the answer came.
    bool wait();
    // The answer is in: the wait ends now. An answer given while nobody
    // waits is dropped by the next wait().
    void answered();

private:
    QEventLoop *m_loop = nullptr;
    bool m_answered = false;
};
