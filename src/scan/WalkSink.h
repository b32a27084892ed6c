#pragma once

#include "CountedBytes.h"
#include "HardLink.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cerrno>
#include <vector>

class FileRecordWriter;

// What the walk reports to. Every call may come from any of the walk's threads at once, so an
// implementation guards what it shares. Folder ids are the sink's own.
class WalkSink
{
public:
    using FolderId = quint32;
    static constexpr FolderId NoFolder = ~FolderId(0);

    // An entry that went between its listing and its reading: deleted, or moved, maybe to a
    // place the walk has passed already, so that its bytes are nowhere in the totals. It is
    // reported and counted as unread like any other.
    // ELOOP: a folder became a symbolic link, which the walk never follows.
    static bool Vanished(int error)
    {
        return error == ENOENT || error == ENOTDIR || error == ELOOP;
    }

    virtual ~WalkSink() = default;

    // The walk's root was opened on this device: every folder recorded is on it.
    virtual void walkedDevice(quint64 device) { (void)device; }

    // A folder's listing was opened: record it. The root has no parent and its name is the root
    // path. ordinal numbers the folder among its parent's subfolders, in listing order; inode is
    // the folder's on its volume.
    virtual FolderId openedFolder(FolderId parent, QByteArrayView name, qint64 date,
                                  quint32 ordinal, quint64 inode) = 0;

    // The folder's listing is complete: its files in listing order, the bytes of them that count
    // in the totals (hard links count once), and how many directory entries it holds.
    virtual void listedFolder(FolderId folder, const FileRecordWriter &files, CountedBytes counted,
                              quint32 subfolderEntries) = 0;

    // A subfolder that could not be opened, with the errno that said why; it gets no record.
    virtual void skippedFolder(FolderId parent, QByteArrayView name, int error) = 0;

    // Something in a listed folder could not be read: the details of the entry `name` (a file
    // is recorded with size 0 and FileRecord::UnknownDate), or, with an empty name, the folder's
    // own listing, which then holds only what was read before the error. A folder that can be
    // listed but not searched is reported once this way, with EACCES.
    virtual void unreadEntry(FolderId folder, QByteArrayView name, int error) = 0;

    // A subfolder that is one of its own ancestors met again through a bind mount; entering it
    // would count the same files twice and never end. It gets no record.
    virtual void cycleFolder(FolderId parent, QByteArrayView name) = 0;

    // A subfolder where another volume is mounted: it has its own drive, so it is counted among
    // the entries but gets no record. Sinks that only total need not hear of it.
    virtual void otherVolume(FolderId parent, QByteArrayView name)
    {
        (void)parent;
        (void)name;
    }

    // An entry a pattern of the walk leaves out: a subfolder not entered, or a file not read;
    // isFolder as the listing tells it. It gets no record and counts nothing. Sinks that only
    // total need not hear of it.
    virtual void excludedEntry(FolderId folder, QByteArrayView name, bool isFolder)
    {
        (void)folder;
        (void)name;
        (void)isFolder;
    }

    // Moves bytes of the totals from one folder (and its ancestors) to another (and its
    // ancestors); the walk uses it to settle which link of a hard-linked file counts.
    virtual void moveBytes(FolderId from, FolderId to, CountedBytes bytes) = 0;

    // The walk is complete: every link met of the files with more than one, grouped by file,
    // each group's counted link marked. A sink that changes its records later keeps them, so
    // that a file's bytes can move to its next link when the counted one goes.
    virtual void keepHardLinks(std::vector<HardLink> links) { (void)links; }

    virtual FolderId parentOf(FolderId folder) const = 0;
    virtual quint32 ordinalOf(FolderId folder) const = 0;
    virtual quint64 inodeOf(FolderId folder) const = 0;
    // The folder's full path, ending with "/".
    virtual QByteArray pathOf(FolderId folder) const = 0;
};
