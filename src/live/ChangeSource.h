#pragma once

#include <QByteArray>
#include <QSet>

#include <memory>

// What tells a live view which folders of its volume changed after the walk. Paths are absolute
// and end with "/"; the root is taken as already canonical. Events are read without blocking,
// when the caller's poll says the descriptor is readable.
class ChangeSource
{
public:
    struct Changes
    {
        QSet<QByteArray> folders; // to read again: at or below the root, each ending with "/"
        // Subfolders made or moved in: read whole again, even when one is the very folder
        // recorded there (moved out, changed, and back between two listings of its parent).
        QSet<QByteArray> arrived;
        bool overflow = false; // events were lost: which folders changed is unknown
    };

    virtual ~ChangeSource() = default;

    // Readable (poll) when events wait.
    virtual int fd() const = 0;
    // Drains what waits, without blocking, and adds it to `into`.
    virtual void readEvents(Changes &into) = 0;
    // True when each folder must be watched on its own; false when one mark covers the volume.
    virtual bool watchesEachFolder() const = 0;
    // Starts or stops following one folder (absolute, ending with "/"). False with errno set when
    // refused (ENOSPC: the user's limit of watches). A source that covers the volume takes every
    // folder already, and says true.
    virtual bool watch(const QByteArray &folder) = 0;
    virtual void unwatch(const QByteArray &folder) = 0;
    // The folder and every folder below it, gone from the volume or moved elsewhere.
    virtual void unwatchBelow(const QByteArray &folder) = 0;

    // Null with `error` (an errno) when this kind of source cannot follow `root`: fanotify wants
    // CAP_SYS_ADMIN (EPERM), a kernel of 5.9 or later and a file system that gives file handles.
    static std::unique_ptr<ChangeSource> Fanotify(const QByteArray &root, int &error);
    static std::unique_ptr<ChangeSource> Inotify(const QByteArray &root, int &error);
};
