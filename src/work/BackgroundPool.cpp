#include "BackgroundPool.h"

#include "ThisProcess.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

// Ten steps below the window's thread: enough for the scheduler to prefer the window, not so much
// that background work starves behind other programs.
constexpr int BackgroundNiceness = 10;

class PairedWork : public QRunnable
{
public:
    explicit PairedWork(const std::function<void()> &work)
        : m_work(work)
    {
        setAutoDelete(false);
    }
    void run() override
    {
        BackgroundPool::lowerPriority();
        runHere();
    }
    void runHere()
    {
        m_work();
        // Told under the lock, so the waiter cannot return and free this before it is told.
        const std::lock_guard lock(m_mutex);
        m_done = true;
        m_doneChanged.notify_one();
    }
    void waitDone()
    {
        std::unique_lock lock(m_mutex);
        m_doneChanged.wait(lock, [this] { return m_done; });
    }

private:
    const std::function<void()> &m_work;
    std::mutex m_mutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
};

} // namespace

QThreadPool &BackgroundPool::instance()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(std::max(16, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

void BackgroundPool::lowerPriority()
{
    ThisProcess::LowerThreadPriority(BackgroundNiceness);
}

void BackgroundPool::runBoth(const std::function<void()> &first,
                             const std::function<void()> &second)
{
    PairedWork paired(second);
    instance().start(&paired);
    first();
    // Not taken yet: ours again, and done here rather than waited for.
    if (instance().tryTake(&paired))
        paired.runHere();
    paired.waitDone();
}
