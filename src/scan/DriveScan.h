#pragma once

#include "ByteArena.h"
#include "ExcludePatterns.h"
#include "FileRecordCodec.h"
#include "FolderNote.h"
#include "SavedOrigin.h"
#include "WalkSink.h"

#include <QByteArray>
#include <QByteArrayList>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <vector>

class FolderRecord;

// The records of one scan of one volume: a folder record for every folder the walk could open,
// each with its running total and its packed file records. The walk's threads add to it while
// other threads read it: records and totals can be read at any time, a folder's files appear all
// at once, and a record never moves once made. Owns every record, name and file record.
class DriveScan : public WalkSink
{
public:
    // rootPath ends with "/"; it is the key of the root record and the prefix of every other.
    explicit DriveScan(QByteArray rootPath);
    ~DriveScan() override;
    DriveScan(const DriveScan &) = delete;
    DriveScan &operator=(const DriveScan &) = delete;

    const QByteArray &rootPath() const { return m_rootPath; }
    // The second the records began to be made. Dates are whole seconds: a folder dated from then
    // on may have changed again, within the second it was read in, without its date showing it.
    qint64 begun() const { return m_begun; }
    // The device the walk found the volume on; 0 for records read from a file, which describe no
    // folder of this machine.
    quint64 device() const { return m_device.load(std::memory_order_acquire); }

    // Folder records made so far, in the order they were made: a folder before everything below it.
    qsizetype count() const { return qsizetype(m_count.load(std::memory_order_acquire)); }
    // Records removed after the walk, among count().
    qsizetype removedCount() const { return qsizetype(m_removed.load(std::memory_order_relaxed)); }
    FolderRecord folder(qsizetype index) const;
    // The record whose path is exactly `path` (ending with "/"), or -1.
    qsizetype indexOf(QByteArrayView path) const;

    // The root record's total: the volume's total once the walk is complete.
    quint64 totalSize() const;
    // Memory held by the records, names and file records.
    size_t memoryUsed() const;
    // Where records read from a saved scan were made; null for a walk's. Set by the reader
    // before anyone else sees the records.
    const SavedOrigin *origin() const { return m_origin ? &*m_origin : nullptr; }
    void setOrigin(SavedOrigin origin) { m_origin = std::move(origin); }
    // The patterns the walk left out by, for what lists a folder of it again; none for a walk
    // that left nothing out. Set before the walk starts.
    const std::shared_ptr<const ExcludePatterns> &excludePatterns() const { return m_exclude; }
    void setExcludePatterns(std::shared_ptr<const ExcludePatterns> patterns)
    {
        m_exclude = std::move(patterns);
    }
    // The entries left out by a pattern.
    quint32 excludedCount() const { return m_excluded.load(std::memory_order_relaxed); }

    // Folders (their listing) and files the walk could not read, those that went while it ran
    // included.
    quint32 unreadFolders() const { return m_unreadFolders.load(std::memory_order_relaxed); }
    quint32 unreadFiles() const { return m_unreadFiles.load(std::memory_order_relaxed); }
    // Of those, the entries that vanished or moved between their listing and their reading.
    quint32 vanishedCount() const { return m_vanished.load(std::memory_order_relaxed); }
    // The first few of them, with why: enough to tell a user where to look.
    static constexpr qsizetype UnreadSampleSize = 10;
    QByteArrayList unreadSample() const;

    // Reading one record; `folder` must be below count().
    quint64 sizeOf(FolderId folder) const;
    // As sizeOf, in bytes taken on the disk.
    quint64 allocatedOf(FolderId folder) const;
    qint64 dateOf(FolderId folder) const;
    QByteArrayView nameOf(FolderId folder) const;
    quint32 fileCountOf(FolderId folder) const;
    quint32 subfolderEntriesOf(FolderId folder) const;
    FileRecordReader filesOf(FolderId folder) const;

    // The folder's subfolders that have records, in listing order. Goes through every record,
    // or, once the records are sealed, through the index made then.
    std::vector<FolderId> subfoldersOf(FolderId folder) const;
    // The folder and every folder below it whose records are not removed, in record order.
    std::vector<FolderId> foldersBelow(FolderId folder) const;
    // No record will be added or edited any more (a saved scan's): lookups may index them. The
    // index is made here, on the thread that read the records, so that no window waits for it.
    void seal();
    // Whether the folder's records were removed after the walk: it then has no files and no
    // bytes, and its path finds it no more.
    bool isRemoved(FolderId folder) const;
    // The links of the files with more than one, as kept at the end of the walk and after edits.
    // filesOf marks from then on the links that do not count.
    std::vector<HardLink> hardLinks() const;
    // What a saved scan tells besides the records: folders not (fully) listed, other volumes'
    // mount points, what the walk's patterns left out. In the order the walk met them.
    std::vector<FolderNote> folderNotes() const;
    // The notes after an edit; the unread counts and their sample follow them.
    void keepNotes(std::vector<FolderNote> notes);

    // Editing the records after the walk (see RecordsEdit), by one thread at a time while
    // others read: a reader sees each change whole or not at all.
    void replaceFiles(FolderId folder, const FileRecordWriter &files);
    void setSubfolderEntries(FolderId folder, quint32 entries);
    void setDate(FolderId folder, qint64 date);
    void setOrdinal(FolderId folder, quint32 ordinal);
    // The folder's own totals, its ancestors' untouched.
    void setTotals(FolderId folder, CountedBytes bytes);
    // To the folder's totals and its ancestors'.
    void addToTotals(FolderId folder, CountedBytes bytes);
    void subtractFromTotals(FolderId folder, CountedBytes bytes);
    // Marks the folder's record removed; its ancestors' totals are the caller's.
    void forget(FolderId folder);
    // Held by each edit for as long as it runs: a command's and the live view's never interleave.
    std::mutex &editLock() { return m_editLock; }

    // WalkSink
    void walkedDevice(quint64 device) override
    {
        m_device.store(device, std::memory_order_release);
    }
    FolderId openedFolder(FolderId parent, QByteArrayView name, qint64 date, quint32 ordinal,
                          quint64 inode) override;
    void listedFolder(FolderId folder, const FileRecordWriter &files, CountedBytes counted,
                      quint32 subfolderEntries) override;
    void skippedFolder(FolderId parent, QByteArrayView name, int error) override;
    void unreadEntry(FolderId folder, QByteArrayView name, int error) override;
    void cycleFolder(FolderId, QByteArrayView) override {}
    void otherVolume(FolderId parent, QByteArrayView name) override;
    void excludedEntry(FolderId folder, QByteArrayView name, bool isFolder) override;
    void moveBytes(FolderId from, FolderId to, CountedBytes bytes) override;
    void keepHardLinks(std::vector<HardLink> links) override;
    FolderId parentOf(FolderId folder) const override;
    quint32 ordinalOf(FolderId folder) const override;
    quint64 inodeOf(FolderId folder) const override;
    QByteArray pathOf(FolderId folder) const override;

private:
    struct Node;
    // Records live in blocks, blocks are found through pages, pages through a small directory:
    // nothing but the directory is allocated before it is needed, and nothing ever moves.
    static constexpr int BlockBits = 10;
    static constexpr quint32 BlockSize = 1u << BlockBits;
    static constexpr int PageBits = 11;
    static constexpr quint32 PageSize = 1u << PageBits;
    static constexpr quint32 PageCount = 1u << (32 - BlockBits - PageBits);
    using Page = std::atomic<Node *>[PageSize];

    Node &node(FolderId folder) const;
    void addToIndex(FolderId folder);
    void removeFromIndex(FolderId folder);
    bool pathEquals(FolderId folder, QByteArrayView path) const;
    void noteUnread(FolderNote note);
    QByteArray unreadLine(const FolderNote &note) const;

    QByteArray m_rootPath;
    qint64 m_begun;
    std::atomic<quint64> m_device{0};
    // A reader finds a record without a lock; the lock guards making records, the arena and the
    // path index.
    std::array<std::atomic<std::atomic<Node *> *>, PageCount> m_pages{};
    std::atomic<quint32> m_count{0};
    std::atomic<quint32> m_removed{0};
    mutable std::shared_mutex m_lock;
    std::mutex m_editLock;
    ByteArena m_arena;
    // Folders by their path's hash: open addressing, NoFolder in a free slot, the hashes in the
    // records. A quarter of the memory a node-based map takes.
    std::vector<FolderId> m_index;
    quint32 m_indexed = 0;
    std::atomic<quint32> m_unreadFolders{0};
    std::atomic<quint32> m_unreadFiles{0};
    std::atomic<quint32> m_vanished{0};
    mutable std::mutex m_unreadLock;
    QByteArrayList m_unreadSample;
    std::vector<HardLink> m_hardLinks; // guarded by m_lock
    // The names of hard-linked files that do not count, by folder, for filesOf to mark. Swapped
    // whole, and held by the readers made before, so that an edit never pulls it from under one.
    struct Uncounted
    {
        std::vector<FolderId> folders; // ascending
        std::vector<quint32> starts;   // folders' first position in `positions`, and the end
        std::vector<quint32> positions;
    };
    std::atomic<std::shared_ptr<const Uncounted>> m_uncounted;
    std::vector<FolderNote> m_folderNotes; // guarded by m_unreadLock
    std::optional<SavedOrigin> m_origin;
    std::shared_ptr<const ExcludePatterns> m_exclude;
    std::atomic<quint32> m_excluded{0};
    bool m_sealed = false;
    // Once sealed: each folder's subfolders, in listing order, from m_childStart[f] on.
    std::vector<FolderId> m_childStart;
    std::vector<FolderId> m_children;
};
