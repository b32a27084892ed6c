#pragma once

#include <QByteArray>

#include <atomic>
#include <vector>

// A file that was deleted while a process held it open: its name is gone, its blocks are not,
// and no walk can find it. They come back only when the last process closes it.
struct OpenDeletedFile
{
    qint64 pid = 0;
    QByteArray process; // the process's short name, as /proc/<pid>/comm gives it
    QByteArray link;    // the path it had, as the kernel writes it: "/tmp/x (deleted)"
    quint64 allocated = 0;
};

struct OpenDeletedFiles
{
    quint64 allocated = 0; // every such file of the volume once, however many hold it
    qsizetype count = 0;
    std::vector<OpenDeletedFile> biggest; // the biggest first, at most the number asked for
    // Processes whose open files could not be listed (another user's, mostly): what they hold
    // is not counted. Processes that ended meanwhile are not among them.
    qsizetype unreadProcesses = 0;
    bool complete = false; // false when cancelled
};

// Looks through every process under procRoot ("/proc", or a fixture laid out like it) for open
// files on the device `device` that have no name left. Anything that vanishes or cannot be read
// is skipped. Stops early when *cancelled becomes true.
OpenDeletedFiles FindOpenDeletedFiles(const QByteArray &procRoot, quint64 device, size_t keep,
                                      const std::atomic<bool> *cancelled = nullptr);
