#pragma once

#include "DriveScan.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QSet>

#include <QHash>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class ChangeSource;

// Keeps a walked volume's records current as the volume changes, without walking it again: one
// fanotify mark on the whole file system where the process may, else an inotify watch on each
// folder while the user's limit allows. A folder in which something changed is listed again once
// per interval, on the follower's own thread, however many changes it saw; when the kernel's
// queue overflowed, every folder is. What is listed goes through the same checks as a refresh.
class LiveFollower
{
public:
    enum class Backend { None, Fanotify, Inotify };
    struct FolderChange
    {
        QByteArray path;
        quint64 oldSize = 0;
        quint64 newSize = 0;
        quint64 oldAllocated = 0;
        quint64 newAllocated = 0;
    };
    struct Batch
    {
        std::vector<FolderChange> totals; // folders whose totals changed, by path
        std::vector<FolderChange> files;  // files of the folders listed whose size changed
        QByteArrayList listed;            // folders listed again
        QByteArrayList reshaped;          // those of them whose subfolders came or went
        bool overflow = false;
    };
    struct Options
    {
        int intervalMs = 250;
        // Backend::None: the first that can follow the volume.
        Backend only = Backend::None;
        // The source given was listening before the walk began (ListenBeforeWalk): what changed
        // since waits in its queue, and no folder's date is looked at again, unless that queue
        // overflowed.
        bool heardSinceWalk = false;
    };

    explicit LiveFollower(std::shared_ptr<DriveScan> scan, Options options);
    explicit LiveFollower(std::shared_ptr<DriveScan> scan)
        : LiveFollower(std::move(scan), Options())
    {}
    // Follows what `source` reports, whatever it is; given none, opens one as start() chooses.
    LiveFollower(std::shared_ptr<DriveScan> scan, std::unique_ptr<ChangeSource> source,
                 Options options);
    ~LiveFollower(); // stops and waits
    // One mark on the file system of `root`, set before it is walked, for a follower given it
    // with heardSinceWalk. Null where fanotify cannot follow it: the follower then opens its own
    // source after the walk and looks at every folder's date.
    static std::unique_ptr<ChangeSource> ListenBeforeWalk(const QByteArray &root);
    LiveFollower(const LiveFollower &) = delete;
    LiveFollower &operator=(const LiveFollower &) = delete;

    // Called on the follower's thread after each batch of listings; set before start().
    void setBatchHandler(std::function<void(const Batch &)> handler);
    // Called on the follower's thread when following ended on its own (the watch limit reached
    // as folders came), with why.
    void setEndHandler(std::function<void(int error)> handler);
    // Chooses how to follow the volume and starts; may take a while (a watch per folder), so not
    // on a window's thread. False when the volume cannot be followed, with error(): EPERM and
    // ENOSPC (no fanotify, and more folders than inotify watches left), EREMOTE (a file system
    // whose changes made elsewhere raise no event), or what the system said.
    bool start();
    void stop();
    // While following: nothing heard is left out of the records, neither a change unread nor a
    // folder waiting for its listing. Whoever stopped changing the volume may then trust them.
    bool isCurrent() const;
    Backend backend() const { return m_backend; }
    int error() const { return m_error; }
    const std::shared_ptr<DriveScan> &scan() const { return m_scan; }

private:
    bool open(Backend backend);
    // Watches the folder and those below it; `watched` gets their paths.
    bool watchBelow(const QByteArray &path, QByteArrayList *watched = nullptr);
    // The folders whose date moved since they were recorded: changed while the walk ran, before
    // anything listened.
    QSet<QByteArray> changedSinceWalk() const;
    void run();
    // `arrived`: subfolders made or moved in, walked whole as their parents are listed.
    void process(QByteArrayList folders, const QSet<QByteArray> &arrived, bool overflow);

    std::shared_ptr<DriveScan> m_scan;
    // The root as the system names it, all links resolved: fanotify names folders so.
    QByteArray m_resolvedRoot;
    Options m_options;
    std::unique_ptr<ChangeSource> m_source;
    Backend m_backend = Backend::None;
    int m_error = 0;
    int m_wake = -1;      // an eventfd that stop() writes to
    std::mutex m_control; // start() and stop() from two threads: a stop waits for the start
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_settled{false}; // waiting for the source with nothing left to list
    std::thread m_thread;
    // Folders whose listing took long, and until when their next one waits.
    QHash<QByteArray, std::chrono::steady_clock::time_point> m_heldUntil;
    std::function<void(const Batch &)> m_batch;
    std::function<void(int)> m_ended;
};
