#include "DuplicateSearch.h"

#include "BackgroundPool.h"
#include "BlockDevice.h"
#include "DriveScan.h"
#include "FileContent.h"
#include "FileStatus.h"
#include "FolderMatches.h"
#include "UniqueFd.h"

#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace {

// The first and last bytes read of a file too big to read whole at once.
constexpr qint64 EdgeBytes = 4096;
// Files this small are read whole in the first step: two reads would cost as much.
constexpr quint64 WholeAtOnce = 64 * 1024;
constexpr qint64 BlockBytes = 256 * 1024;
// A name longer than any file system allows cannot be opened; refused before it is copied.
constexpr qsizetype LongestName = 255;

enum class Step : quint8 {
    Sized, // only its size is known
    Edges, // its hash is of its first and last bytes
    Whole, // its hash is of every byte
    Link,  // another name of a file met before: not a copy of its own
    Unread,
};

// A file compared, as small as it can be kept: a search over millions of files holds one each.
struct Candidate
{
    const char *name; // in the records, which outlive the search and never move
    quint64 size = 0;
    quint64 inode = 0;
    quint64 place = 0; // where its bytes begin on the device, else its inode: the reading order
    std::array<quint64, 2> hash{};
    WalkSink::FolderId folder = WalkSink::NoFolder;
    quint16 nameLength = 0;
    Step step : 4 = Step::Sized;
    bool sharedStorage : 1 = false; // the file system says its first bytes are shared
    bool wasCached : 1 = false;
    bool kept : 1 = false; // its edges match another file's: read on
};
static_assert(sizeof(Candidate) <= 56);
static_assert(std::is_trivially_copyable_v<Candidate>);

Candidate &Item(Candidate &file)
{
    return file;
}
Candidate &Item(Candidate *file)
{
    return *file;
}

// The candidates, in one block that shrinks where it lies: most are let go after the first
// reading, and a second block beside the first would double the search's peak.
class CandidateArray
{
public:
    explicit CandidateArray(size_t capacity)
        : m_data(static_cast<Candidate *>(
              std::malloc(std::max<size_t>(capacity, 1) * sizeof(Candidate))))
        , m_capacity(capacity)
    {
        if (!m_data)
            throw std::bad_alloc();
    }
    ~CandidateArray() { std::free(m_data); }
    CandidateArray(const CandidateArray &) = delete;
    CandidateArray &operator=(const CandidateArray &) = delete;

    void push_back(const Candidate &file)
    {
        Q_ASSERT(m_size < m_capacity);
        m_data[m_size++] = file;
    }
    size_t size() const { return m_size; }
    Candidate &operator[](size_t at) { return m_data[at]; }
    Candidate *begin() { return m_data; }
    Candidate *end() { return m_data + m_size; }
    // Keeps the first `count`; with `giveBack`, the memory of the others goes too.
    void resize(size_t count, bool giveBack = false)
    {
        m_size = std::min(count, m_size);
        if (!giveBack)
            return;
        if (void *smaller = std::realloc(m_data, std::max<size_t>(m_size, 1) * sizeof(Candidate)))
            m_data = static_cast<Candidate *>(smaller);
        m_capacity = m_size;
    }

private:
    Candidate *m_data;
    size_t m_size = 0;
    size_t m_capacity;
};

struct Failure
{
    const Candidate *file;
    int error;
};

std::array<quint64, 2> HashOf(const void *data, size_t size)
{
    const XXH128_hash_t hash = XXH3_128bits(data, size);
    return {hash.low64, hash.high64};
}

// Opens the candidates' files one after the other, in the order given, on a few threads that
// each keep the folder they last opened.
class Readers
{
public:
    using Work =
        std::function<int(Candidate &file, int fd, std::vector<char> &buffer, XXH3_state_t *state)>;

    // `oneAtATime`: the disk is read by one reader at a time (a spinning one), while the others
    // go on with what the page cache holds.
    Readers(const DriveScan &scan, int count, bool oneAtATime, const std::atomic<bool> *cancelled)
        : m_scan(scan)
        , m_count(std::max(1, count))
        , m_cancelled(cancelled)
        , m_oneAtATime(oneAtATime)
    {}

    // Held while reading from the disk itself; null when readers may read it together.
    std::mutex *diskTurn() { return m_oneAtATime ? &m_diskTurn : nullptr; }

    // Runs `work` on each file with it open; a file that cannot be opened, or for which `work`
    // returns an errno, is marked unread and kept in `failures`.
    template<class Items> void run(Items &files, const Work &work)
    {
        std::atomic<size_t> next{0};
        const auto read = [&] {
            std::vector<char> buffer(static_cast<size_t>(BlockBytes));
            std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(),
                                                                           &XXH3_freeState);
            WalkSink::FolderId openFolder = WalkSink::NoFolder;
            UniqueFd folderFd;
            char name[LongestName + 1];
            for (size_t at; (at = next.fetch_add(1)) < files.size();) {
                if (stopped())
                    return;
                Candidate &file = Item(files[at]);
                if (file.folder != openFolder) {
                    openFolder = file.folder;
                    const QByteArray path = m_scan.pathOf(file.folder);
                    folderFd.reset(FileSystem::OpenBelowWorkingFolder(path));
                    // A folder one may pass through but not list still lets its files be read.
                    if (!folderFd.isOpen() && errno == EACCES)
                        folderFd.reset(
                            FileSystem::OpenFolder(path, FileSystem::FolderAccess::Hold));
                }
                int error = folderFd.isOpen() ? 0 : errno;
                if (!error && file.nameLength > LongestName)
                    error = ENAMETOOLONG;
                if (!error) {
                    std::memcpy(name, file.name, file.nameLength);
                    name[file.nameLength] = '\0';
                    UniqueFd fd(FileContent::OpenForReadingAt(folderFd.get(), name));
                    error = fd.isOpen() ? work(file, fd.get(), buffer, state.get()) : errno;
                }
                if (error) {
                    file.step = Step::Unread;
                    const std::lock_guard lock(m_failuresLock);
                    m_failures.push_back({&file, error});
                }
            }
        };
        std::vector<std::thread> others;
        for (int i = 1; i < m_count; ++i)
            others.emplace_back([&] {
                BackgroundPool::lowerPriority();
                read();
            });
        read();
        for (std::thread &other : others)
            other.join();
    }

    bool stopped() const { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }
    std::vector<Failure> &failures() { return m_failures; }

private:
    const DriveScan &m_scan;
    int m_count;
    const std::atomic<bool> *m_cancelled;
    std::mutex m_failuresLock;
    std::vector<Failure> m_failures;
    bool m_oneAtATime = false;
    std::mutex m_diskTurn;
};

// The file as the records have it, checked against what is open now: a file that changed
// since the walk is not compared (0 as its errno).
constexpr int ChangedSinceWalk = -1;

int Identify(Candidate &file, int fd, quint64 device)
{
    FileStatus status;
    if (!FileSystem::StatusOf(fd, status))
        return errno;
    // Another volume mounted over the way since the walk holds other files.
    if (status.size != file.size || status.device != device)
        return ChangedSinceWalk;
    file.inode = status.inode;
    file.wasCached = FileContent::IsCached(fd, 0);
    quint64 physical = 0;
    bool shared = false;
    if (FileContent::FirstExtent(fd, physical, shared)) {
        file.place = physical;
        file.sharedStorage = shared;
    } else {
        file.place = status.inode;
    }
    return 0;
}

// Hashes the file's first and last bytes, or all of it when it is small.
int HashEdges(Candidate &file, int fd, quint64 device, std::vector<char> &buffer,
              DuplicateProgress *progress, std::mutex *diskTurn)
{
    if (const int error = Identify(file, fd, device))
        return error;
    std::unique_lock turn(diskTurn ? std::unique_lock(*diskTurn, std::defer_lock)
                                   : std::unique_lock<std::mutex>());
    if (diskTurn && !file.wasCached)
        turn.lock();
    const bool whole = file.size <= WholeAtOnce;
    const qint64 head = whole ? qint64(file.size) : EdgeBytes;
    qint64 got = FileContent::ReadAt(fd, buffer.data(), head, 0);
    if (got == head && !whole)
        got +=
            FileContent::ReadAt(fd, buffer.data() + head, EdgeBytes, qint64(file.size) - EdgeBytes);
    const qint64 wanted = whole ? head : 2 * EdgeBytes;
    if (got < 0)
        return errno;
    if (!file.wasCached)
        FileContent::DropCached(fd);
    if (got != wanted)
        return ChangedSinceWalk;
    file.hash = HashOf(buffer.data(), size_t(got));
    file.step = whole ? Step::Whole : Step::Edges;
    progress->bytesRead.fetch_add(quint64(got), std::memory_order_relaxed);
    progress->filesRead.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int HashWhole(Candidate &file, int fd, std::vector<char> &buffer, XXH3_state_t *state,
              DuplicateProgress *progress, const std::atomic<bool> *cancelled, std::mutex *diskTurn)
{
    // With the disk's turn, what the cache lacks is read; taken at the first miss and kept to
    // the end of the file, which is then read in one sweep.
    std::unique_lock turn(diskTurn ? std::unique_lock(*diskTurn, std::defer_lock)
                                   : std::unique_lock<std::mutex>());
    FileStatus status;
    if (!FileSystem::StatusOf(fd, status))
        return errno;
    if (status.size != file.size || status.inode != file.inode)
        return ChangedSinceWalk;
    FileContent::AdviseSequential(fd);
    XXH3_128bits_reset(state);
    // Holes are hashed as the zeros they read as, without reading them.
    static const std::vector<char> zeros(static_cast<size_t>(BlockBytes), 0);
    const auto size = qint64(file.size);
    for (qint64 offset = 0; offset < size;) {
        const qint64 data = FileContent::NextData(fd, offset, size);
        const qint64 hole = data < 0       ? -1
                            : data >= size ? size
                                           : FileContent::NextHole(fd, data, size);
        if (data < 0 || hole < 0)
            return errno;
        while (offset < data) {
            const qint64 step = std::min(BlockBytes, data - offset);
            XXH3_128bits_update(state, zeros.data(), size_t(step));
            offset += step;
            progress->bytesRead.fetch_add(quint64(step), std::memory_order_relaxed);
        }
        while (offset < hole) {
            if (cancelled && cancelled->load(std::memory_order_relaxed))
                return ECANCELED;
            const qint64 want = std::min(BlockBytes, hole - offset);
            qint64 got = -1;
            if (diskTurn && !turn.owns_lock())
                got = FileContent::ReadCachedAt(fd, buffer.data(), want, offset);
            if (got < 0) {
                if (diskTurn && !turn.owns_lock())
                    turn.lock();
                got = FileContent::ReadAt(fd, buffer.data(), want, offset);
            }
            if (got < 0)
                return errno;
            if (got == 0)
                return ChangedSinceWalk;
            XXH3_128bits_update(state, buffer.data(), size_t(got));
            offset += got;
            progress->bytesRead.fetch_add(quint64(got), std::memory_order_relaxed);
        }
    }
    if (!file.wasCached)
        FileContent::DropCached(fd);
    const XXH128_hash_t hash = XXH3_128bits_digest(state);
    file.hash = {hash.low64, hash.high64};
    file.step = Step::Whole;
    progress->filesRead.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

bool SameContent(const Candidate &a, const Candidate &b)
{
    return a.size == b.size && a.hash == b.hash;
}

// Orders the hashed files so that those of one content are together, each file's names
// together, in record order; then marks every name of a file but its first as a link. Returns
// the runs of one content that hold two files or more.
bool ByContent(const Candidate &a, const Candidate &b)
{
    return std::tie(a.size, a.hash, a.inode, a.folder, a.name) <
           std::tie(b.size, b.hash, b.inode, b.folder, b.name);
}

// Over the candidates themselves or pointers to them.
template<class Items> std::vector<std::pair<size_t, size_t>> Regroup(Items &files)
{
    const auto read = std::remove_if(files.begin(), files.end(),
                                     [](auto &file) { return Item(file).step == Step::Unread; });
    files.resize(size_t(read - files.begin()));
    std::sort(files.begin(), files.end(),
              [](auto &a, auto &b) { return ByContent(Item(a), Item(b)); });
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t begin = 0, end; begin < files.size(); begin = end) {
        size_t distinct = 1;
        Candidate *first = &Item(files[begin]);
        for (end = begin + 1;
             end < files.size() && SameContent(Item(files[end]), Item(files[begin])); ++end) {
            Candidate *file = &Item(files[end]);
            if (file->inode == first->inode) {
                file->step = Step::Link;
            } else {
                first = file;
                ++distinct;
            }
        }
        if (distinct > 1)
            runs.emplace_back(begin, end);
    }
    return runs;
}

// The date and bytes on disk of each copy, read from the records, one pass over each folder.
void FillFromRecords(const DriveScan &scan, std::vector<DuplicateGroup> &groups,
                     const std::vector<std::vector<const Candidate *>> &sources)
{
    std::vector<std::pair<const Candidate *, DuplicateCopy *>> wanted;
    for (size_t g = 0; g < groups.size(); ++g)
        for (size_t c = 0; c < groups[g].copies.size(); ++c)
            wanted.emplace_back(sources[g][c], &groups[g].copies[c]);
    std::sort(wanted.begin(), wanted.end(), [](const auto &a, const auto &b) {
        return std::tie(a.first->folder, a.first->name) < std::tie(b.first->folder, b.first->name);
    });
    for (size_t at = 0; at < wanted.size();) {
        const WalkSink::FolderId folder = wanted[at].first->folder;
        FileRecordReader reader = scan.filesOf(folder);
        FileRecord record;
        while (at < wanted.size() && wanted[at].first->folder == folder && reader.next(record)) {
            if (record.name.data() != wanted[at].first->name)
                continue;
            wanted[at].second->allocated = record.allocated;
            wanted[at].second->date = record.date;
            ++at;
        }
        // Records edited meanwhile hold the name elsewhere: nothing more to read of them.
        while (at < wanted.size() && wanted[at].first->folder == folder)
            ++at;
    }
}

void NoteFailures(const DriveScan &scan, std::vector<Failure> &failures, DuplicateResult &result)
{
    for (const Failure &failure : failures) {
        ++result.unreadable;
        if (qsizetype(result.unreadSample.size()) < DuplicateResult::UnreadSampleSize)
            result.unreadSample.push_back(
                {scan.pathOf(failure.file->folder) +
                     QByteArray(failure.file->name, failure.file->nameLength),
                 failure.error == ChangedSinceWalk ? 0 : failure.error});
    }
    failures.clear();
}

DuplicateGroup MakeGroup(const DriveScan &scan, const std::vector<Candidate *> &files, size_t begin,
                         size_t end, std::vector<const Candidate *> &sources)
{
    DuplicateGroup group;
    group.size = files[begin]->size;
    group.hash = files[begin]->hash;
    group.copies.reserve(end - begin);
    std::vector<const Candidate *> firsts; // each copy's first name met, which was read
    for (size_t at = begin; at < end; ++at) {
        const Candidate *file = files[at];
        if (file->step == Step::Link) {
            // A file's names are one copy, shown by the first of them by path, whatever order
            // the walk's threads met them in.
            DuplicateCopy &copy = group.copies.back();
            ++copy.names;
            const QByteArray name(file->name, file->nameLength);
            if (scan.pathOf(file->folder) + name < scan.pathOf(copy.folder) + copy.name) {
                copy.folder = file->folder;
                copy.name = name;
                sources.back() = file;
            }
            continue;
        }
        DuplicateCopy copy;
        copy.folder = file->folder;
        copy.name = QByteArray(file->name, file->nameLength);
        copy.inode = file->inode;
        // Copies whose first bytes lie at the same place, and said to be shared, share storage.
        copy.storage = group.storages;
        for (size_t other = 0; other < firsts.size(); ++other)
            if (file->sharedStorage && firsts[other]->sharedStorage &&
                firsts[other]->place == file->place) {
                copy.storage = group.copies[other].storage;
                break;
            }
        if (copy.storage == group.storages)
            ++group.storages;
        group.copies.push_back(std::move(copy));
        firsts.push_back(file);
        sources.push_back(file);
    }
    return group;
}

} // namespace

DuplicateResult FindDuplicates(const DriveScan &scan, WalkSink::FolderId top,
                               const DuplicateOptions &options, DuplicateProgress *progress,
                               const std::atomic<bool> *cancelled)
{
    DuplicateResult result;
    DuplicateProgress own;
    if (!progress)
        progress = &own;
    // Files of the same paths here would be someone else's.
    if (scan.origin() || scan.device() == 0) {
        result.savedScan = true;
        result.complete = true;
        return result;
    }
    const quint64 minimum = std::max<quint64>(options.minimumSize, 1);
    const std::vector<WalkSink::FolderId> folders = scan.foldersBelow(top);

    // Sizes first, 8 bytes a file: only files whose size another file has are kept whole.
    std::vector<quint64> sizes;
    for (const WalkSink::FolderId folder : folders) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return result;
        FileRecordReader reader = scan.filesOf(folder);
        for (FileRecord file; reader.next(file);)
            if (file.size >= minimum)
                sizes.push_back(file.size);
    }
    std::sort(sizes.begin(), sizes.end());
    size_t shared = 0;
    for (size_t at = 0; at < sizes.size(); ++at)
        if ((at > 0 && sizes[at - 1] == sizes[at]) ||
            (at + 1 < sizes.size() && sizes[at + 1] == sizes[at]))
            sizes[shared++] = sizes[at];
    sizes.resize(shared);
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    sizes.shrink_to_fit();

    CandidateArray candidates(shared);
    quint64 edgeBytes = 0;
    for (const WalkSink::FolderId folder : folders) {
        FileRecordReader reader = scan.filesOf(folder);
        for (FileRecord file; reader.next(file);) {
            if (file.size < minimum || !std::binary_search(sizes.begin(), sizes.end(), file.size))
                continue;
            Candidate candidate{file.name.data(), file.size};
            candidate.folder = folder;
            candidate.nameLength = quint16(std::min<qsizetype>(file.name.size(), 0xffff));
            candidates.push_back(candidate);
            edgeBytes += file.size <= WholeAtOnce ? file.size : 2 * EdgeBytes;
        }
    }
    sizes = {};
    result.candidates = candidates.size();
    progress->filesToRead.store(candidates.size());
    progress->bytesToRead.store(edgeBytes);

    // A spinning disk reads one file at a time best; a solid-state one wants several in flight.
    const bool spinning = BlockDevice::IsRotational(scan.device()).value_or(false);
    Readers reading(scan, options.readers, spinning, cancelled);
    std::mutex *const diskTurn = reading.diskTurn();

    // Their first and last bytes, in record order: the order their folders were written in.
    reading.run(candidates,
                [progress, device = scan.device(),
                 diskTurn](Candidate &file, int fd, std::vector<char> &buffer, XXH3_state_t *) {
                    return HashEdges(file, fd, device, buffer, progress, diskTurn);
                });
    NoteFailures(scan, reading.failures(), result);
    if (reading.stopped())
        return result;

    // Only the files whose edges match another's are kept on: most are gone by now. They stay
    // in the order of their contents, a file's other names right after its first.
    for (const auto &[begin, end] : Regroup(candidates))
        for (size_t at = begin; at < end; ++at)
            candidates[at].kept = true;
    const auto kept = std::remove_if(candidates.begin(), candidates.end(),
                                     [](const Candidate &file) { return !file.kept; });
    candidates.resize(size_t(kept - candidates.begin()), true);
    std::vector<Candidate *> files;
    files.reserve(candidates.size());
    for (Candidate &file : candidates)
        files.push_back(&file);

    // Those read whole, in the order of their place on the disk.
    std::vector<Candidate *> whole;
    whole.reserve(
        size_t(std::count_if(candidates.begin(), candidates.end(),
                             [](const Candidate &file) { return file.step == Step::Edges; })));
    quint64 wholeBytes = 0;
    for (Candidate *file : files)
        if (file->step == Step::Edges) {
            whole.push_back(file);
            wholeBytes += file->size;
        }
    std::sort(whole.begin(), whole.end(),
              [](const Candidate *a, const Candidate *b) { return a->place < b->place; });
    progress->filesToRead.fetch_add(whole.size());
    progress->bytesToRead.fetch_add(wholeBytes);
    reading.run(whole,
                [progress, cancelled, diskTurn](Candidate &file, int fd, std::vector<char> &buffer,
                                                XXH3_state_t *state) {
                    return HashWhole(file, fd, buffer, state, progress, cancelled, diskTurn);
                });
    NoteFailures(scan, reading.failures(), result);
    if (reading.stopped())
        return result;

    // A file's other names follow its first: they take its hash, or go with it.
    const Candidate *first = nullptr;
    for (Candidate *file : files) {
        if (file->step != Step::Link) {
            first = file;
            continue;
        }
        file->step = first && first->step == Step::Whole ? Step::Whole : Step::Unread;
        if (first)
            file->hash = first->hash;
    }
    std::erase_if(files, [](const Candidate *file) { return file->step != Step::Whole; });
    std::vector<std::vector<const Candidate *>> sources;
    for (const auto &[begin, end] : Regroup(files)) {
        sources.emplace_back();
        result.groups.push_back(MakeGroup(scan, files, begin, end, sources.back()));
    }
    FillFromRecords(scan, result.groups, sources);
    // The groups hold what is shown from now on.
    sources = {};
    whole = {};
    files = {};
    candidates.resize(0, true);
    // Copies by path: the order a reader looks for them in, the same from one search to the next.
    for (DuplicateGroup &group : result.groups) {
        std::vector<std::pair<QByteArray, DuplicateCopy>> named;
        for (DuplicateCopy &copy : group.copies)
            named.emplace_back(scan.pathOf(copy.folder) + copy.name, std::move(copy));
        std::sort(named.begin(), named.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        for (size_t at = 0; at < named.size(); ++at)
            group.copies[at] = std::move(named[at].second);
    }

    const SizeMeasure measure = options.measure;
    std::stable_sort(result.groups.begin(), result.groups.end(),
                     [measure](const DuplicateGroup &a, const DuplicateGroup &b) {
                         return a.waste(measure) > b.waste(measure);
                     });
    result.folders = FolderMatches(scan, top, result.groups, cancelled);
    if (cancelled && cancelled->load(std::memory_order_relaxed))
        return result;
    result.bytesRead = progress->bytesRead.load();
    result.complete = true;
    return result;
}

quint64 DuplicateGroup::waste(SizeMeasure measure) const
{
    if (storages < 2)
        return 0;
    if (measure == SizeMeasure::Apparent)
        return size * (storages - 1);
    // On the disk: each storage once, the biggest kept.
    std::vector<quint64> perStorage(storages, 0);
    for (const DuplicateCopy &copy : copies)
        perStorage[copy.storage] = std::max(perStorage[copy.storage], copy.allocated);
    quint64 total = 0;
    for (quint64 bytes : perStorage)
        total += bytes;
    return total - *std::max_element(perStorage.begin(), perStorage.end());
}

quint64 DuplicateGroup::freedKeeping(size_t kept, SizeMeasure measure) const
{
    std::vector<bool> stays(storages, false);
    for (size_t at = 0; at < copies.size(); ++at)
        if (at == kept || copies[at].names > 1)
            stays[copies[at].storage] = true;
    std::vector<quint64> perStorage(storages, 0);
    for (const DuplicateCopy &copy : copies)
        if (!stays[copy.storage])
            perStorage[copy.storage] = measure == SizeMeasure::Apparent
                                           ? size
                                           : std::max(perStorage[copy.storage], copy.allocated);
    quint64 total = 0;
    for (quint64 bytes : perStorage)
        total += bytes;
    return total;
}

bool DuplicateGroup::isShared(const DuplicateCopy &copy) const
{
    return std::count_if(copies.begin(), copies.end(), [&](const DuplicateCopy &other) {
               return other.storage == copy.storage;
           }) > 1;
}

quint64 DuplicateResult::waste(SizeMeasure measure) const
{
    quint64 total = 0;
    for (const DuplicateGroup &group : groups)
        total += group.waste(measure);
    return total;
}
