#pragma once

#include "WalkSink.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

// Walks one volume from a root folder and reports every folder and file to a sink. The walk
// stays on the root's volume, never follows a symbolic link, counts a hard-linked file once,
// opens folders relative to their parent (so no depth or path length stops it), and keeps a
// bounded number of descriptors open. It runs on worker threads; each folder is listed by one
// thread, so its files keep their listing order, and the totals come out as a one-thread walk's
// would. The sink must outlive the walker.
class Walker
{
public:
    struct Options
    {
        int threads = 0; // 0: four per core, at least 4 and at most 16
        // Added to the walk threads' nice value, so that a window's thread, which shares the
        // cores with them, answers promptly; 0 for a walk nothing waits on.
        int niceness = 0;
    };

    Walker(QByteArray rootPath, WalkSink &sink, Options options);
    Walker(QByteArray rootPath, WalkSink &sink) : Walker(std::move(rootPath), sink, Options()) {}
    ~Walker(); // stops a running walk and waits for it
    Walker(const Walker &) = delete;
    Walker &operator=(const Walker &) = delete;

    // Called once, on a walk thread, when the walk has ended (completed or stopped).
    void setFinishedHandler(std::function<void()> handler) { m_finished = std::move(handler); }

    // Opens the root and starts the walk; returns at once. False when the root cannot be opened,
    // with the reason in error().
    bool start();
    // Asks the walk to stop; the threads notice within one directory entry.
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }
    void wait();

    bool isFinished() const { return m_done.load(std::memory_order_acquire); }
    bool wasStopped() const { return m_stop.load(std::memory_order_relaxed); }
    int error() const { return m_error; }
    int threadCount() const { return m_threadCount; }

    // Progress, readable from any thread while the walk runs.
    quint64 foldersListed() const { return m_listed.load(std::memory_order_relaxed); }
    // A folder one of the threads is listing now, or NoFolder.
    WalkSink::FolderId currentFolder() const;

private:
    struct Task;
    struct LinkSeen;
    class Worker;

    bool pop(Task &task);
    void push(std::vector<Task> &tasks);
    void taskDone();
    void workerExited();
    void settleHardLinks();
    bool claimInode(quint64 inode);
    bool walksBefore(WalkSink::FolderId a, quint32 positionA, WalkSink::FolderId b,
                     quint32 positionB) const;

    QByteArray m_rootPath;
    WalkSink &m_sink;
    int m_threadCount = 1;
    int m_niceness = 0;
    int m_rootFd = -1;
    quint64 m_rootDevice = 0;
    WalkSink::FolderId m_rootFolder = WalkSink::NoFolder;
    int m_error = 0;

    std::mutex m_queueLock;
    std::condition_variable m_queueChanged;
    std::vector<Task> m_queue; // a stack: depth first keeps the pending work small
    int m_active = 0;          // tasks taken and not yet done

    std::mutex m_inodeLock;
    std::unordered_set<quint64> m_claimedInodes; // hard-linked files whose size already counts

    std::mutex m_linksLock;
    std::vector<LinkSeen> m_links;

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<quint64> m_listed{0};
    std::atomic<int> m_running{0};
    std::unique_ptr<std::atomic<WalkSink::FolderId>[]> m_current; // per thread
    std::vector<std::thread> m_threads;
    std::function<void()> m_finished;
};

// Walks a root to its end on the calling thread's behalf (the walk still uses worker threads).
// False when the root cannot be opened, with errno set.
bool Walk(const QByteArray &rootPath, WalkSink &sink, Walker::Options options = {});
