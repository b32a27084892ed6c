#include "DriveScan.h"

#include "FolderRecord.h"
#include "SaturatingMath.h"
#include "Varint.h"

#include <QDateTime>

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

struct DriveScan::Node
{
    std::atomic<quint64> size{0};
    std::atomic<quint64> allocated{0};
    // The packed file records behind a FileBlock header; set once the listing is complete, and
    // swapped whole when the records are edited, so a reader sees the old block or the new one.
    std::atomic<const std::uint8_t *> files{nullptr};
    std::atomic<qint64> date{0};
    quint64 inode = 0;
    quint64 pathHash = 0;
    const std::uint8_t *name = nullptr; // in the arena, after its length; the root's is its path
    FolderId parent = NoFolder;
    std::atomic<quint32> ordinal{0};
    std::atomic<quint32> subfolderEntries{0};
    std::atomic<bool> removed{false};
};

namespace {

// The walk's threads take the lock for a moment at each folder. One that went to sleep each time
// it found the lock taken would leave its core idle for longer than the holder keeps it: it tries
// again for a few microseconds first.
std::unique_lock<std::shared_mutex> LockBriefly(std::shared_mutex &mutex)
{
    for (int tries = 0; tries < 512; ++tries) {
        if (mutex.try_lock())
            return std::unique_lock(mutex, std::adopt_lock);
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    return std::unique_lock(mutex);
}

// A folder's packed file records in the arena follow their count and their length in bytes.
struct FileBlock
{
    quint32 fileCount;
    quint32 byteCount;
    const std::uint8_t *records;
};

// Every folder listed with no files shares it.
const std::uint8_t EmptyBlock[2] = {};

FileBlock HeaderOf(const std::uint8_t *block)
{
    const std::uint8_t *end = block + 2 * MaxVarintBytes; // read no further than the integers
    const auto fileCount = quint32(GetVarint(block, end));
    const auto byteCount = quint32(GetVarint(block, end));
    return {fileCount, byteCount, block};
}

// Spreads a hash's bits over an index's slot number (Fibonacci hashing).
size_t SlotOf(quint64 hash, size_t slotCount)
{
    return size_t((hash * 11400714819323198485ull) >> (64 - std::countr_zero(slotCount)));
}

// FNV-1a, continued from a parent's hash over the child's "name/", so a path's hash never needs
// the whole path in one piece.
constexpr quint64 HashSeed = 14695981039346656037ull;

quint64 ContinueHash(quint64 hash, QByteArrayView bytes)
{
    for (const char c : bytes) {
        hash ^= std::uint8_t(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

DriveScan::DriveScan(QByteArray rootPath)
    : m_rootPath(std::move(rootPath))
    , m_begun(QDateTime::currentSecsSinceEpoch())
{
    // With the names' lengths kept before the names, in the arena.
    static_assert(sizeof(Node) <= 72);
}

DriveScan::~DriveScan()
{
    const quint32 made = m_count.load(std::memory_order_acquire);
    for (quint32 first = 0; first < made; first += BlockSize) {
        Node *nodes = &node(first);
        const quint32 inBlock = std::min(BlockSize, made - first);
        for (quint32 i = 0; i < inBlock; ++i)
            nodes[i].~Node();
        ::operator delete(nodes);
    }
    for (auto &page : m_pages)
        delete[] page.load(std::memory_order_relaxed);
}

DriveScan::Node &DriveScan::node(FolderId folder) const
{
    const std::atomic<Node *> *page =
        m_pages[folder >> (BlockBits + PageBits)].load(std::memory_order_acquire);
    Node *block = page[(folder >> BlockBits) & (PageSize - 1)].load(std::memory_order_acquire);
    return block[folder & (BlockSize - 1)];
}

FolderRecord DriveScan::folder(qsizetype index) const
{
    if (index < 0 || index >= count())
        return {};
    return FolderRecord(this, FolderId(index));
}

qsizetype DriveScan::indexOf(QByteArrayView path) const
{
    // The root is the first record: found without the lock, which a window asks for its totals
    // a few times a second while the walk's threads take it for every folder.
    if (path == QByteArrayView(m_rootPath))
        return count() > 0 ? 0 : -1;
    const quint64 hash = ContinueHash(HashSeed, path);
    std::shared_lock lock(m_lock);
    if (m_index.empty())
        return -1;
    const size_t mask = m_index.size() - 1;
    for (size_t slot = SlotOf(hash, m_index.size()); m_index[slot] != NoFolder;
         slot = (slot + 1) & mask) {
        const FolderId folder = m_index[slot];
        if (node(folder).pathHash == hash && pathEquals(folder, path))
            return qsizetype(folder);
    }
    return -1;
}

void DriveScan::addToIndex(FolderId folder)
{
    // Kept at most three quarters full, so that a search soon meets a free slot.
    if (4 * (size_t(m_indexed) + 1) > 3 * m_index.size()) {
        std::vector<FolderId> old(std::max<size_t>(64, 2 * m_index.size()), NoFolder);
        old.swap(m_index);
        m_indexed = 0;
        for (const FolderId kept : old)
            if (kept != NoFolder)
                addToIndex(kept);
    }
    const size_t mask = m_index.size() - 1;
    size_t slot = SlotOf(node(folder).pathHash, m_index.size());
    while (m_index[slot] != NoFolder)
        slot = (slot + 1) & mask;
    m_index[slot] = folder;
    ++m_indexed;
}

void DriveScan::removeFromIndex(FolderId folder)
{
    if (m_index.empty())
        return;
    const size_t mask = m_index.size() - 1;
    size_t slot = SlotOf(node(folder).pathHash, m_index.size());
    while (m_index[slot] != folder) {
        if (m_index[slot] == NoFolder)
            return;
        slot = (slot + 1) & mask;
    }
    // Close the gap: a folder further on moves back into it unless its own slot lies after
    // the gap (cyclically), where a search for it starts past the gap anyway.
    for (size_t next = (slot + 1) & mask; m_index[next] != NoFolder; next = (next + 1) & mask) {
        const size_t home = SlotOf(node(m_index[next]).pathHash, m_index.size());
        if (((next - home) & mask) >= ((next - slot) & mask)) {
            m_index[slot] = m_index[next];
            slot = next;
        }
    }
    m_index[slot] = NoFolder;
    --m_indexed;
}

bool DriveScan::pathEquals(FolderId folder, QByteArrayView path) const
{
    // Compare name by name from the end, without building the record's path.
    for (FolderId at = folder; at != NoFolder; at = node(at).parent) {
        const Node &n = node(at);
        const QByteArrayView name = nameOf(at);
        if (n.parent == NoFolder)
            return path == name;
        if (!path.endsWith('/') || !path.chopped(1).endsWith(name))
            return false;
        path = path.chopped(1 + name.size());
    }
    return false;
}

quint64 DriveScan::totalSize() const
{
    return count() > 0 ? sizeOf(0) : 0;
}

size_t DriveScan::memoryUsed() const
{
    std::shared_lock lock(m_lock);
    const size_t blocks = (m_count.load() + BlockSize - 1) / BlockSize;
    const size_t pages = (blocks + PageSize - 1) / PageSize;
    return m_arena.reservedBytes() + blocks * BlockSize * sizeof(Node) + pages * sizeof(Page) +
           sizeof(m_pages) + m_index.capacity() * sizeof(FolderId);
}

quint64 DriveScan::sizeOf(FolderId folder) const
{
    return node(folder).size.load(std::memory_order_relaxed);
}

quint64 DriveScan::allocatedOf(FolderId folder) const
{
    return node(folder).allocated.load(std::memory_order_relaxed);
}

qint64 DriveScan::dateOf(FolderId folder) const
{
    return node(folder).date.load(std::memory_order_relaxed);
}

QByteArrayView DriveScan::nameOf(FolderId folder) const
{
    const std::uint8_t *at = node(folder).name;
    const quint64 length = GetVarint(at, at + MaxVarintBytes);
    return {reinterpret_cast<const char *>(at), qsizetype(length)};
}

quint32 DriveScan::fileCountOf(FolderId folder) const
{
    const std::uint8_t *files = node(folder).files.load(std::memory_order_acquire);
    return files ? HeaderOf(files).fileCount : 0;
}

quint32 DriveScan::subfolderEntriesOf(FolderId folder) const
{
    const Node &n = node(folder);
    return n.files.load(std::memory_order_acquire)
               ? n.subfolderEntries.load(std::memory_order_relaxed)
               : 0;
}

FileRecordReader DriveScan::filesOf(FolderId folder) const
{
    const std::uint8_t *files = node(folder).files.load(std::memory_order_acquire);
    if (!files)
        return {};
    const FileBlock block = HeaderOf(files);
    FileRecordReader reader(block.records, block.byteCount);
    std::shared_ptr<const Uncounted> uncounted = m_uncounted.load(std::memory_order_acquire);
    if (uncounted) {
        const auto at =
            std::lower_bound(uncounted->folders.begin(), uncounted->folders.end(), folder);
        if (at != uncounted->folders.end() && *at == folder) {
            const auto index = size_t(at - uncounted->folders.begin());
            const quint32 *begin = uncounted->positions.data() + uncounted->starts[index];
            const quint32 *end = uncounted->positions.data() + uncounted->starts[index + 1];
            reader.setUncounted(std::move(uncounted), begin, end);
        }
    }
    return reader;
}

void DriveScan::seal()
{
    const auto made = FolderId(count());
    m_childStart.assign(size_t(made) + 1, 0);
    for (FolderId at = 1; at < made; ++at)
        ++m_childStart[node(at).parent + 1];
    for (FolderId at = 0; at < made; ++at)
        m_childStart[at + 1] += m_childStart[at];
    m_children.resize(m_childStart[made]);
    std::vector<FolderId> fill(m_childStart.begin(), m_childStart.end() - 1);
    for (FolderId at = 1; at < made; ++at)
        m_children[fill[node(at).parent]++] = at;
    for (FolderId at = 0; at < made; ++at)
        std::sort(m_children.begin() + m_childStart[at], m_children.begin() + m_childStart[at + 1],
                  [this](FolderId a, FolderId b) { return ordinalOf(a) < ordinalOf(b); });
    m_sealed = true;
}

std::vector<WalkSink::FolderId> DriveScan::subfoldersOf(FolderId folder) const
{
    if (m_sealed)
        return {m_children.begin() + m_childStart[folder],
                m_children.begin() + m_childStart[folder + 1]};
    std::vector<FolderId> children;
    const auto made = FolderId(count());
    // A child's record is made after its parent's.
    for (FolderId at = folder + 1; at < made; ++at)
        if (node(at).parent == folder && !isRemoved(at))
            children.push_back(at);
    std::sort(children.begin(), children.end(),
              [this](FolderId a, FolderId b) { return ordinalOf(a) < ordinalOf(b); });
    return children;
}

std::vector<WalkSink::FolderId> DriveScan::foldersBelow(FolderId folder) const
{
    // A folder's record is made after its parent's, so one pass in record order finds them all.
    const auto made = FolderId(count());
    std::vector<bool> inside(made - folder);
    std::vector<FolderId> folders;
    for (FolderId at = folder; at < made; ++at) {
        const FolderId parent = node(at).parent;
        if (isRemoved(at))
            continue;
        if (at == folder || (parent != NoFolder && parent >= folder && inside[parent - folder])) {
            inside[at - folder] = true;
            folders.push_back(at);
        }
    }
    return folders;
}

bool DriveScan::isRemoved(FolderId folder) const
{
    return node(folder).removed.load(std::memory_order_acquire);
}

WalkSink::FolderId DriveScan::openedFolder(FolderId parent, QByteArrayView name, qint64 date,
                                           quint32 ordinal, quint64 inode)
{
    const auto lock = LockBriefly(m_lock);
    const quint32 id = m_count.load(std::memory_order_relaxed);
    if (id == NoFolder)
        throw std::bad_alloc(); // every id is taken
    if ((id & (BlockSize - 1)) == 0) {
        std::atomic<std::atomic<Node *> *> &page = m_pages[id >> (BlockBits + PageBits)];
        if (!page.load(std::memory_order_relaxed))
            page.store(new Page{}, std::memory_order_release);
        page.load(std::memory_order_relaxed)[(id >> BlockBits) & (PageSize - 1)].store(
            static_cast<Node *>(::operator new(sizeof(Node) * BlockSize)),
            std::memory_order_release);
    }
    Node *n = new (&node(id)) Node;
    n->date.store(date, std::memory_order_relaxed);
    n->inode = inode;
    n->parent = parent;
    n->ordinal.store(ordinal, std::memory_order_relaxed);
    std::uint8_t length[MaxVarintBytes];
    const auto lengthBytes = size_t(PutVarint(length, quint64(name.size())) - length);
    std::uint8_t *stored = m_arena.allocate(lengthBytes + size_t(name.size()));
    std::memcpy(stored, length, lengthBytes);
    if (!name.isEmpty())
        std::memcpy(stored + lengthBytes, name.data(), size_t(name.size()));
    n->name = stored;
    n->pathHash = parent == NoFolder ? ContinueHash(HashSeed, name)
                                     : ContinueHash(ContinueHash(node(parent).pathHash, name), "/");
    addToIndex(id);
    m_count.store(id + 1, std::memory_order_release);
    return id;
}

void DriveScan::listedFolder(FolderId folder, const FileRecordWriter &files, CountedBytes counted,
                             quint32 subfolderEntries)
{
    node(folder).subfolderEntries.store(subfolderEntries, std::memory_order_relaxed);
    replaceFiles(folder, files);
    addToTotals(folder, counted);
}

void DriveScan::replaceFiles(FolderId folder, const FileRecordWriter &files)
{
    if (files.count() == 0) {
        node(folder).files.store(EmptyBlock, std::memory_order_release);
        return;
    }
    std::uint8_t header[2 * MaxVarintBytes];
    const auto headerBytes =
        size_t(PutVarint(PutVarint(header, files.count()), files.byteCount()) - header);
    std::uint8_t *block = nullptr;
    {
        const auto lock = LockBriefly(m_lock);
        block = m_arena.allocate(headerBytes + files.byteCount());
    }
    // Filled with the lock let go: the first touch of each fresh page of the arena is slow, and
    // no one else is given this piece or reads it before it is published below.
    std::memcpy(block, header, headerBytes);
    std::memcpy(block + headerBytes, files.data(), files.byteCount());
    node(folder).files.store(block, std::memory_order_release);
}

void DriveScan::setSubfolderEntries(FolderId folder, quint32 entries)
{
    node(folder).subfolderEntries.store(entries, std::memory_order_relaxed);
}

void DriveScan::setDate(FolderId folder, qint64 date)
{
    node(folder).date.store(date, std::memory_order_relaxed);
}

void DriveScan::setOrdinal(FolderId folder, quint32 ordinal)
{
    node(folder).ordinal.store(ordinal, std::memory_order_relaxed);
}

void DriveScan::setTotals(FolderId folder, CountedBytes bytes)
{
    node(folder).size.store(bytes.size, std::memory_order_relaxed);
    node(folder).allocated.store(bytes.allocated, std::memory_order_relaxed);
}

void DriveScan::subtractFromTotals(FolderId folder, CountedBytes bytes)
{
    for (FolderId at = folder; at != NoFolder; at = node(at).parent) {
        SaturatingSubtract(node(at).size, bytes.size);
        SaturatingSubtract(node(at).allocated, bytes.allocated);
    }
}

void DriveScan::forget(FolderId folder)
{
    Node &n = node(folder);
    if (!n.removed.exchange(true, std::memory_order_acq_rel))
        m_removed.fetch_add(1, std::memory_order_relaxed);
    n.files.store(EmptyBlock, std::memory_order_release);
    n.subfolderEntries.store(0, std::memory_order_relaxed);
    setTotals(folder, {});
    std::unique_lock lock(m_lock);
    removeFromIndex(folder);
}

void DriveScan::keepHardLinks(std::vector<HardLink> links)
{
    auto uncounted = std::make_shared<Uncounted>();
    std::vector<std::pair<FolderId, quint32>> names;
    for (const HardLink &link : links)
        if (!link.counted)
            names.emplace_back(link.folder, link.position);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const auto &[folder, position] : names) {
        if (uncounted->folders.empty() || uncounted->folders.back() != folder) {
            uncounted->folders.push_back(folder);
            uncounted->starts.push_back(quint32(uncounted->positions.size()));
        }
        uncounted->positions.push_back(position);
    }
    uncounted->starts.push_back(quint32(uncounted->positions.size()));
    std::unique_lock lock(m_lock);
    m_hardLinks = std::move(links);
    m_uncounted.store(names.empty() ? nullptr : std::move(uncounted), std::memory_order_release);
}

std::vector<HardLink> DriveScan::hardLinks() const
{
    std::shared_lock lock(m_lock);
    return m_hardLinks;
}

void DriveScan::addToTotals(FolderId folder, CountedBytes bytes)
{
    if (bytes.size == 0 && bytes.allocated == 0)
        return;
    for (FolderId at = folder; at != NoFolder; at = node(at).parent) {
        SaturatingAdd(node(at).size, bytes.size);
        SaturatingAdd(node(at).allocated, bytes.allocated);
    }
}

// Folders the two share above them keep their totals: only the two branches below the deepest
// shared folder change, so no total shown meanwhile dips.
void DriveScan::moveBytes(FolderId from, FolderId to, CountedBytes bytes)
{
    std::vector<FolderId> fromChain, toChain; // each from the folder up to the root
    for (FolderId at = from; at != NoFolder; at = node(at).parent)
        fromChain.push_back(at);
    for (FolderId at = to; at != NoFolder; at = node(at).parent)
        toChain.push_back(at);
    while (!fromChain.empty() && !toChain.empty() && fromChain.back() == toChain.back()) {
        fromChain.pop_back();
        toChain.pop_back();
    }
    for (FolderId at : toChain) {
        SaturatingAdd(node(at).size, bytes.size);
        SaturatingAdd(node(at).allocated, bytes.allocated);
    }
    for (FolderId at : fromChain) {
        SaturatingSubtract(node(at).size, bytes.size);
        SaturatingSubtract(node(at).allocated, bytes.allocated);
    }
}

WalkSink::FolderId DriveScan::parentOf(FolderId folder) const
{
    return node(folder).parent;
}

quint32 DriveScan::ordinalOf(FolderId folder) const
{
    return node(folder).ordinal.load(std::memory_order_relaxed);
}

quint64 DriveScan::inodeOf(FolderId folder) const
{
    return node(folder).inode;
}

void DriveScan::skippedFolder(FolderId parent, QByteArrayView name, int error)
{
    noteUnread({parent, name.toByteArray(), FolderNote::Unread, error});
}

void DriveScan::unreadEntry(FolderId folder, QByteArrayView name, int error)
{
    noteUnread({folder, name.toByteArray(),
                name.isEmpty() ? FolderNote::Unread : FolderNote::UnreadFile, error});
}

void DriveScan::otherVolume(FolderId parent, QByteArrayView name)
{
    std::lock_guard lock(m_unreadLock);
    m_folderNotes.push_back({parent, name.toByteArray(), FolderNote::OtherVolume});
}

void DriveScan::excludedEntry(FolderId folder, QByteArrayView name, bool isFolder)
{
    m_excluded.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(m_unreadLock);
    m_folderNotes.push_back({folder, name.toByteArray(), FolderNote::Excluded, 0, isFolder});
}

std::vector<FolderNote> DriveScan::folderNotes() const
{
    std::lock_guard lock(m_unreadLock);
    return m_folderNotes;
}

void DriveScan::keepNotes(std::vector<FolderNote> notes)
{
    quint32 folders = 0, files = 0, vanished = 0, excluded = 0;
    QByteArrayList sample;
    for (const FolderNote &note : notes) {
        excluded += note.kind == FolderNote::Excluded;
        if (!note.isUnread())
            continue;
        ++(note.kind == FolderNote::Unread ? folders : files);
        vanished += Vanished(note.error);
        if (sample.size() < UnreadSampleSize)
            sample.append(unreadLine(note));
    }
    std::lock_guard lock(m_unreadLock);
    m_folderNotes = std::move(notes);
    m_unreadSample = std::move(sample);
    m_unreadFolders.store(folders, std::memory_order_relaxed);
    m_unreadFiles.store(files, std::memory_order_relaxed);
    m_vanished.store(vanished, std::memory_order_relaxed);
    m_excluded.store(excluded, std::memory_order_relaxed);
}

void DriveScan::noteUnread(FolderNote note)
{
    if (Vanished(note.error))
        m_vanished.fetch_add(1, std::memory_order_relaxed);
    (note.kind == FolderNote::Unread ? m_unreadFolders : m_unreadFiles)
        .fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(m_unreadLock);
    if (m_unreadSample.size() < UnreadSampleSize)
        m_unreadSample.append(unreadLine(note));
    m_folderNotes.push_back(std::move(note));
}

QByteArray DriveScan::unreadLine(const FolderNote &note) const
{
    return pathOf(note.folder).append(note.name) + ": " + std::strerror(note.error);
}

QByteArrayList DriveScan::unreadSample() const
{
    std::lock_guard lock(m_unreadLock);
    return m_unreadSample;
}

QByteArray DriveScan::pathOf(FolderId folder) const
{
    std::vector<QByteArrayView> names;
    qsizetype length = 0;
    for (FolderId at = folder; at != NoFolder; at = node(at).parent) {
        names.push_back(nameOf(at));
        length += names.back().size() + 1;
    }
    QByteArray path;
    path.reserve(length);
    path += names.back(); // the root path, already ending with "/"
    for (auto it = names.rbegin() + 1; it != names.rend(); ++it) {
        path += *it;
        path += '/';
    }
    return path;
}
