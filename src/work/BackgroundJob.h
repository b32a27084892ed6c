#pragma once

#include "BackgroundPool.h"

#include <QFutureWatcher>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// Work off the window's thread, the program's one way of doing it. A job runs on the background
// pool; its result is handed over on the thread that owns this object, in the callback given at
// construction, so the caller continues in a slot rather than waiting. A newer run() cancels the
// job under way, waits for it to stop, then starts: only the newest request is answered. A job
// reads its cancel flag and returns early when it is set. stop() and the destructor wait for the
// job under way, which may read what its owner is about to free.
template<typename Result> class BackgroundJob
{
public:
    using Work = std::function<Result(const std::atomic<bool> &cancelled)>;

    explicit BackgroundJob(std::function<void(Result)> done)
        : m_done(std::move(done))
    {
        QObject::connect(&m_watcher, &QFutureWatcherBase::finished, [this] { finished(); });
    }
    ~BackgroundJob() { stop(); }

    BackgroundJob(const BackgroundJob &) = delete;
    BackgroundJob &operator=(const BackgroundJob &) = delete;

    void run(Work work)
    {
        // Started but not yet taken by a pool's thread counts as running: two jobs at once
        // would leave one that no stop() waits for.
        if (m_started) {
            m_cancel->store(true);
            m_next = std::move(work);
            return;
        }
        start(std::move(work));
    }
    // Drops the job waiting and cancels the one under way, without waiting for it.
    void cancel()
    {
        m_next.reset();
        if (m_cancel)
            m_cancel->store(true);
    }
    // As cancel(), then waits for the job under way to stop.
    void stop()
    {
        cancel();
        m_watcher.waitForFinished();
    }
    // A job runs or waits, from run() on: a pool's thread may not have started it yet.
    bool isBusy() const { return m_started || m_next.has_value(); }

private:
    void start(Work work)
    {
        m_started = true;
        m_cancel = std::make_shared<std::atomic<bool>>(false);
        m_watcher.setFuture(BackgroundPool::submit(
            [work = std::move(work), cancel = m_cancel] { return work(*cancel); }));
    }

    void finished()
    {
        m_started = false;
        if (m_next) {
            Work next = std::move(*m_next);
            m_next.reset();
            start(std::move(next));
        } else if (!m_cancel->load() && m_watcher.future().resultCount() > 0) {
            m_done(m_watcher.result());
        }
    }

    std::function<void(Result)> m_done;
    QFutureWatcher<Result> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::optional<Work> m_next;
    bool m_started = false; // until its result is handed over or dropped
};
