#pragma once

#include "ExcludePatterns.h"
#include "HardLinkSettling.h"
#include "WalkSink.h"
#include "WalkThread.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Walks one volume from a root folder and reports every folder and file to a sink. The walk
// stays on the root's volume, never follows a symbolic link below the root, counts a hard-linked
// file once, never enters a folder that is one of its own ancestors (a bind mount), opens folders
// relative to their parent (so no depth or path length stops it), and keeps within the process's
// descriptor limit. It runs on the worker threads it can start, down to none, when the calling
// thread walks alone, and on fewer under a tight limit on address space; each folder is listed
// by one thread, so its files keep their listing order, and the totals come out as a one-thread
// walk's would. What vanished or moved between its listing and its reading is told to the sink
// as unread, never dropped quietly. The sink must outlive the walker.
class Walker
{
public:
    struct Options
    {
        // 0: four per core, at least 4 and at most 16; 2 on a spinning disk, where requests
        // that come at once make its head seek back and forth.
        int threads = 0;
        // Added to the walk threads' nice value, so that a window's thread, which shares the
        // cores with them, answers promptly; 0 for a walk nothing waits on.
        int niceness = 0;
        // While it holds a value other than 0, the walk's threads pause between entries: a
        // window sets it while it paints, as Qt's painting may wait on threads of its own that
        // must then find a core at once. Must outlive the walk.
        const std::atomic<int> *holdBack = nullptr;
        // The root, already opened for listing by the caller, who keeps it: the walk takes a
        // copy rather than finding the root again by its path. -1: the walk opens the path.
        int rootFd = -1;
        // Lists the root alone: its subfolders are recorded as the listing finds them, unlisted
        // and not entered, so that a caller can tell what changed in one folder cheaply. The
        // calling thread lists it, before start() returns.
        bool shallow = false;
        // What the walk leaves out, told to the sink as excluded: not entered, not counted.
        // None: nothing is, and no entry pays for the test.
        std::shared_ptr<const ExcludePatterns> exclude = nullptr;
    };

    Walker(QByteArray rootPath, WalkSink &sink, Options options);
    Walker(QByteArray rootPath, WalkSink &sink)
        : Walker(std::move(rootPath), sink, Options())
    {}
    ~Walker(); // stops a running walk and waits for it
    Walker(const Walker &) = delete;
    Walker &operator=(const Walker &) = delete;

    // Called once when the walk has ended (completed, stopped or failed): on a walk thread, or on
    // the thread of start() when the walk ended before start() returned.
    void setFinishedHandler(std::function<void()> handler) { m_finished = std::move(handler); }

    // Opens the root and starts the walk; returns at once, unless no thread could be started and
    // the calling thread walked. False when the root cannot be opened or memory ran out, with the
    // reason in error().
    bool start();
    // Asks the walk to stop; the threads notice within one directory entry.
    void requestStop();
    void wait();

    bool isFinished() const { return m_done.load(std::memory_order_acquire); }
    // Stopped on request, or failed.
    bool wasStopped() const { return m_stop.load(std::memory_order_relaxed); }
    // Why start() failed or the walk stopped short on its own (ENOMEM); 0 otherwise.
    int error() const { return m_error.load(std::memory_order_acquire); }
    // Threads walking: those started, or 1 when the calling thread walked alone.
    int threadCount() const { return m_started; }

    // Progress, readable from any thread while the walk runs.
    quint64 foldersListed() const { return m_listed.load(std::memory_order_relaxed); }
    // A folder one of the threads is listing now, or NoFolder.
    WalkSink::FolderId currentFolder() const;

private:
    class ListedFolder;
    struct Task;
    class Worker;

    void startWorkers(int threads);
    // Returns once the window no longer asks the walk to hold back.
    void waitWhileHeld() const;
    void runWorker(int index);
    void fail(int error);
    bool pop(Task &task);
    void push(std::vector<Task> &tasks);
    void taskDone();
    // One descriptor for a listed folder to hold for its subfolders; false when all are held.
    bool takeFromBudget();
    void workerExited();
    bool isAncestor(quint64 inode, WalkSink::FolderId folder) const;

    QByteArray m_rootPath;
    WalkSink &m_sink;
    int m_threadCount = 1; // asked for
    bool m_threadsByDefault = true;
    int m_started = 0;
    int m_keptDescriptors = 0; // per thread, within the process's limit
    // What listed folders may hold for their subfolders, over the threads' own.
    std::atomic<int> m_heldBudget{0};
    int m_niceness = 0;
    const std::atomic<int> *m_holdBack = nullptr;
    int m_givenRoot = -1;
    bool m_shallow = false;
    std::shared_ptr<const ExcludePatterns> m_exclude;
    // The root's path as patterns see it: absolute, with no link in it, as ncdu matches.
    QByteArray m_matchRoot;
    int m_rootFd = -1;
    quint64 m_rootDevice = 0;
    WalkSink::FolderId m_rootFolder = WalkSink::NoFolder;
    std::atomic<int> m_error{0};

    std::mutex m_queueLock;
    std::condition_variable m_queueChanged;
    std::vector<Task> m_queue; // a stack: depth first keeps the pending work small
    int m_active = 0;          // tasks taken and not yet done

    // Which thread meets a hard-linked file first is a race; the totals must not be.
    HardLinkSettling m_hardLinks;

    std::atomic<bool> m_stop{false};
    // Set once a thread has waited for a descriptor in vain, until one is had again: while the
    // shortage lasts, each folder fails at once rather than after a wait of its own.
    std::atomic<bool> m_outOfDescriptors{false};
    std::atomic<bool> m_done{false};
    std::atomic<quint64> m_listed{0};
    std::atomic<int> m_running{0};
    std::unique_ptr<std::atomic<WalkSink::FolderId>[]> m_current; // per thread
    std::vector<WalkThread> m_threads;
    WalkThread m_launcher; // starts the threads of a walk that yields
    std::function<void()> m_finished;
};

// Walks a root to its end on the calling thread's behalf (the walk still uses worker threads).
// False when the root cannot be opened or the walk ran out of memory, with errno set.
bool Walk(const QByteArray &rootPath, WalkSink &sink, Walker::Options options = {});
