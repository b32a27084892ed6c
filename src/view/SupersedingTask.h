#pragma once

#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include <sys/resource.h>
#include <unistd.h>

// Work for a view that only its newest request matters to: a drawing, a search. A job runs on a
// pool's thread; a newer one cancels it, waits for it to stop, then runs; only a job nobody
// superseded or cancelled hands its result over, on the thread that owns this object. A job reads
// its cancel flag and returns early when it is set.
template<typename Result> class SupersedingTask
{
public:
    static constexpr int BackgroundNiceness = 10;
    using Job = std::function<Result(const std::atomic<bool> &cancelled)>;

    SupersedingTask(QThreadPool *pool, std::function<void(Result)> done)
        : m_pool(pool)
        , m_done(std::move(done))
    {
        QObject::connect(&m_watcher, &QFutureWatcherBase::finished, [this] { finished(); });
    }
    // Waits for the job under way, which may read what its owner is about to free.
    ~SupersedingTask() { stop(); }

    SupersedingTask(const SupersedingTask &) = delete;
    SupersedingTask &operator=(const SupersedingTask &) = delete;

    void run(Job job)
    {
        // Started but not yet taken by a pool's thread counts as running: two jobs at once
        // would leave one that no stop() waits for.
        if (m_started) {
            m_cancel->store(true);
            m_next = std::move(job);
            return;
        }
        start(std::move(job));
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
    void start(Job job)
    {
        m_started = true;
        m_cancel = std::make_shared<std::atomic<bool>>(false);
        auto promise = std::make_shared<QPromise<Result>>();
        m_watcher.setFuture(promise->future());
        m_pool->start([promise, job = std::move(job), cancel = m_cancel] {
            // A view's background work yields the cores to the window's thread and to the
            // threads the window paints with; the pools' threads only ever run such work.
            ::setpriority(PRIO_PROCESS, pid_t(::gettid()), BackgroundNiceness);
            promise->start();
            promise->addResult(job(*cancel));
            promise->finish();
        });
    }

    void finished()
    {
        m_started = false;
        if (m_next) {
            Job next = std::move(*m_next);
            m_next.reset();
            start(std::move(next));
        } else if (!m_cancel->load() && m_watcher.future().resultCount() > 0) {
            m_done(m_watcher.result());
        }
    }

    QThreadPool *m_pool;
    std::function<void(Result)> m_done;
    QFutureWatcher<Result> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::optional<Job> m_next;
    bool m_started = false; // until its result is handed over or dropped
};
