#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>

// The threads the program's background work runs on: searches, drawings, sorts, reading and
// writing saved scans, edits of the records. They run below the window's thread's priority, so
// the window answers first; there are enough of them that a job never waits in a queue behind
// another, so waiting for one job to stop never waits for an unrelated one.
namespace BackgroundPool {

QThreadPool &instance();

// Marks the calling thread as one that does background work: it yields the cores to the
// window's thread.
void lowerPriority();

// Starts `work` on the pool; its result comes in the future returned, which a QFutureWatcher
// hands to the window's thread.
template<typename Work> auto submit(Work work) -> QFuture<decltype(work())>
{
    using Result = decltype(work());
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    instance().start([promise, work = std::move(work)]() mutable {
        lowerPriority();
        promise->start();
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

// Runs `first` on the calling thread and `second` beside it on the pool; returns when both are
// done. If no thread of the pool has taken `second` by the time `first` ends, it runs here too:
// the wait never depends on a free thread.
void runBoth(const std::function<void()> &first, const std::function<void()> &second);

} // namespace BackgroundPool
