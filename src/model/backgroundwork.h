#pragma once

#include <QFuture>
#include <QtConcurrent>

// Thread: any.
// Work that must not hold up the window, such as listing a folder of a
// hundred thousand message files at start: it runs on a pool of its own, one
// thread below the window's priority, so that the window's first frame gets
// the processor first. Work on the path to that frame (reading a folder's
// index) runs on the global pool instead.
namespace BackgroundWork {

QThreadPool *pool();
// Lowers the calling thread's priority; every task of the pool does so first.
void yieldToWindow();

// The window's start goes first: from holdForWindow() until the window
// has shown its first frame (releaseForWindow()), tasks wait before they
// begin, also those of other background threads that ask (waitForWindow()).
// A window that is never shown holds them up for HoldMilliseconds at most.
// Whoever blocks on a task releases them first.
constexpr int HoldMilliseconds = 2000;
void holdForWindow();
void releaseForWindow();
void waitForWindow();
// Gives the memory that the task's temporaries left free back to the
// system; every task of the pool does so last, while the window goes on.
void returnFreedMemory();

template<typename Function>
auto run(Function function) -> QFuture<decltype(function())>
{
    return QtConcurrent::run(pool(), [function] {
        yieldToWindow();
        waitForWindow();
        auto result = function();
        returnFreedMemory();
        return result;
    });
}

} // namespace BackgroundWork
