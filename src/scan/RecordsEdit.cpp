#include "RecordsEdit.h"

#include "FileRecordCodec.h"
#include "FileSystem.h"
#include "WalkOrder.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

bool ByFile(const HardLink &a, const HardLink &b)
{
    return std::pair(a.device, a.inode) < std::pair(b.device, b.inode);
}

} // namespace

bool RecordsEdit::walksBefore(const HardLink &a, const HardLink &b) const
{
    return WalksBefore(m_scan, a.folder, a.position, b.folder, b.position);
}

bool RecordsEdit::removeFile(FolderId folder, QByteArrayView name)
{
    FileRecordWriter kept;
    FileRecord file, gone;
    quint32 position = 0, at = 0;
    bool found = false;
    for (FileRecordReader reader = m_scan.filesOf(folder); reader.next(file); ++at) {
        if (!found && file.name == name) {
            found = true;
            gone = file;
            position = at;
            continue;
        }
        kept.add(file.name, file.size, file.date, file.allocated);
    }
    if (!found)
        return false;

    std::vector<HardLink> links = m_scan.hardLinks();
    const auto isGone = [&](const HardLink &l) {
        return l.folder == folder && l.position == position;
    };
    const bool linked = std::any_of(links.begin(), links.end(), isGone);
    const CountedBytes leaving =
        linked ? dropLinks(links, isGone) : CountedBytes(gone.size, gone.allocated);
    for (HardLink &l : links)
        if (l.folder == folder && l.position > position)
            --l.position;
    m_scan.keepHardLinks(std::move(links));
    m_scan.subtractFromTotals(folder, leaving);
    m_scan.replaceFiles(folder, kept);
    editNotes([&](const FolderNote &n) {
        return n.folder == folder && n.kind == FolderNote::UnreadFile && n.name == name;
    });
    return true;
}

std::vector<WalkSink::FolderId> RecordsEdit::relistFolder(FolderId folder, const Relisting &now)
{
    const DriveScan &part = *now.listing;
    const auto key = [](QByteArrayView name) { return std::string_view(name.data(), name.size()); };
    std::unordered_map<std::string_view, FolderId> listed; // the part's subfolders, by name
    for (FolderId child : part.subfoldersOf(0))
        listed.emplace(key(part.nameOf(child)), child);

    // A subfolder listed as the same folder keeps its records, in its new place.
    std::vector<FolderId> kept;
    std::vector<FolderId> stale;
    for (FolderId child : m_scan.subfoldersOf(folder)) {
        const auto same = listed.find(key(m_scan.nameOf(child)));
        if (same == listed.end() || part.inodeOf(same->second) != m_scan.inodeOf(child)) {
            removeSubtree(child);
            continue;
        }
        m_scan.setOrdinal(child, part.ordinalOf(same->second));
        // Its entries changed since it was listed, or it is another folder that took the
        // number of one gone: either way, its own listing tells.
        if (m_scan.dateOf(child) != part.dateOf(same->second))
            stale.push_back(child);
        m_scan.setDate(child, part.dateOf(same->second));
        kept.push_back(child);
    }

    // The folder's own files leave its totals, the bytes of links counted here moving to the
    // next link first; those listed now come in.
    std::vector<HardLink> links = m_scan.hardLinks();
    dropLinks(links, [&](const HardLink &l) { return l.folder == folder; });
    CountedBytes own(m_scan.sizeOf(folder), m_scan.allocatedOf(folder));
    for (FolderId child : kept) {
        own.size -= std::min(own.size, m_scan.sizeOf(child));
        own.allocated -= std::min(own.allocated, m_scan.allocatedOf(child));
    }
    m_scan.subtractFromTotals(folder, own);
    FileRecordWriter files;
    FileRecord file;
    for (FileRecordReader reader = part.filesOf(0); reader.next(file);)
        files.add(file.name, file.size, file.date, file.allocated);
    m_scan.replaceFiles(folder, files);
    m_scan.addToTotals(folder, CountedBytes(part.sizeOf(0), part.allocatedOf(0)));

    std::vector<HardLink> added = part.hardLinks();
    for (HardLink &l : added) {
        l.folder = folder;
        const auto [first, last] = std::equal_range(links.begin(), links.end(), l, ByFile);
        for (auto it = first; it != last; ++it)
            if (it->bytes.size != l.bytes.size || it->bytes.allocated != l.bytes.allocated)
                stale.push_back(it->folder);
    }
    adoptLateLinks(links, added, FolderId(m_scan.count()), folder);
    mergeLinks(links, std::move(added));
    m_scan.keepHardLinks(std::move(links));

    std::vector<FolderNote> notes = part.folderNotes();
    for (FolderNote &n : notes)
        n.folder = folder;
    for (FolderNote n : now.unopened) {
        n.folder = folder;
        notes.push_back(std::move(n));
    }
    editNotes([&](const FolderNote &n) { return n.folder == folder; }, std::move(notes));

    const QByteArray path = m_scan.pathOf(folder);
    for (const auto &[name, walk] : now.walked) {
        const auto child = listed.find(key(name));
        if (child == listed.end() || walk->count() == 0)
            continue;
        // An edit made since the caller looked may have recorded it meanwhile.
        if (const qsizetype old = m_scan.indexOf(path + name + '/'); old >= 0)
            removeSubtree(FolderId(old));
        graft(folder, name, part.ordinalOf(child->second), *walk);
    }
    m_scan.setSubfolderEntries(folder, part.subfolderEntriesOf(0));
    m_scan.setDate(folder, part.dateOf(0));
    std::sort(stale.begin(), stale.end());
    stale.erase(std::unique(stale.begin(), stale.end()), stale.end());
    std::erase(stale, folder);
    return stale;
}

bool RecordsEdit::forgetUnreadable(FolderId folder, int error)
{
    const FolderId parent = m_scan.parentOf(folder);
    if (parent == WalkSink::NoFolder || m_scan.isRemoved(folder))
        return false;
    const QByteArray name = m_scan.nameOf(folder).toByteArray();
    removeSubtree(folder);
    // Still listed in its parent, it counts among the entries, as a walk that could not open it
    // counts it.
    editNotes(
        [&](const FolderNote &n) {
            return n.folder == parent && n.kind == FolderNote::Unread && n.name == name;
        },
        {FolderNote{parent, name, FolderNote::Unread, error}});
    return true;
}

void RecordsEdit::takeDateFromDisk(FolderId folder)
{
    FileStatus status;
    if (FileSystem::StatusOfPath(m_scan.pathOf(folder), status, FileSystem::FollowLink::Yes))
        m_scan.setDate(folder, status.modified);
}

bool RecordsEdit::removeFolder(FolderId folder)
{
    const FolderId parent = m_scan.parentOf(folder);
    if (parent == WalkSink::NoFolder || m_scan.isRemoved(folder))
        return false;
    removeSubtree(folder);
    const quint32 entries = m_scan.subfolderEntriesOf(parent);
    m_scan.setSubfolderEntries(parent, entries > 0 ? entries - 1 : 0);
    return true;
}

void RecordsEdit::removeSubtree(FolderId folder)
{
    const std::vector<FolderId> folders = m_scan.foldersBelow(folder);
    std::vector<bool> inside(size_t(m_scan.count()) - folder);
    for (FolderId f : folders)
        inside[f - folder] = true;
    std::vector<HardLink> links = m_scan.hardLinks();
    // Bytes of links that counted inside move to the next link outside first, so that what is
    // left in the folder's totals is exactly what leaves with it.
    dropLinks(links,
              [&](const HardLink &l) { return l.folder >= folder && inside[l.folder - folder]; });
    m_scan.keepHardLinks(std::move(links));
    m_scan.subtractFromTotals(m_scan.parentOf(folder),
                              CountedBytes(m_scan.sizeOf(folder), m_scan.allocatedOf(folder)));
    for (FolderId f : folders)
        m_scan.forget(f);
    editNotes([&](const FolderNote &n) { return n.folder >= folder && inside[n.folder - folder]; });
}

WalkSink::FolderId RecordsEdit::replaceFolder(FolderId folder, const DriveScan &part)
{
    const FolderId parent = m_scan.parentOf(folder);
    if (parent == WalkSink::NoFolder || part.count() == 0)
        return WalkSink::NoFolder;
    const QByteArray name = m_scan.nameOf(folder).toByteArray();
    if (!m_scan.isRemoved(folder))
        removeSubtree(folder);
    return graft(parent, name, m_scan.ordinalOf(folder), part);
}

WalkSink::FolderId RecordsEdit::addFolder(FolderId parent, QByteArrayView name,
                                          const QByteArrayList &listing, const DriveScan &part)
{
    const qsizetype ordinal = listing.indexOf(name);
    if (part.count() == 0 || ordinal < 0)
        return WalkSink::NoFolder;
    // The siblings listed after it moved one place on in the walk's order.
    const QByteArray parentPath = m_scan.pathOf(parent);
    for (qsizetype i = ordinal + 1; i < listing.size(); ++i)
        if (const qsizetype sibling = m_scan.indexOf(parentPath + listing[i] + '/'); sibling >= 0)
            m_scan.setOrdinal(FolderId(sibling), quint32(i));
    // The walk may have listed it and been unable to open it: it counted among the entries then.
    bool listed = false;
    editNotes([&](const FolderNote &n) {
        const bool unopened = n.folder == parent && n.kind == FolderNote::Unread && n.name == name;
        listed = listed || unopened;
        return unopened;
    });
    if (!listed)
        m_scan.setSubfolderEntries(parent, m_scan.subfolderEntriesOf(parent) + 1);
    return graft(parent, name, quint32(ordinal), part);
}

WalkSink::FolderId RecordsEdit::graft(FolderId parent, QByteArrayView name, quint32 ordinal,
                                      const DriveScan &part)
{
    // The part's records are made in walk order, a folder before those below it, so each new
    // parent exists before its children.
    std::vector<FolderId> newId(size_t(part.count()), WalkSink::NoFolder);
    FileRecordWriter files;
    FileRecord file;
    for (qsizetype i = 0; i < part.count(); ++i) {
        const auto from = FolderId(i);
        const bool top = i == 0;
        const FolderId to = m_scan.openedFolder(
            top ? parent : newId[part.parentOf(from)], top ? name : part.nameOf(from),
            part.dateOf(from), top ? ordinal : part.ordinalOf(from), part.inodeOf(from));
        newId[size_t(i)] = to;
        files.clear();
        for (FileRecordReader reader = part.filesOf(from); reader.next(file);)
            files.add(file.name, file.size, file.date, file.allocated);
        m_scan.setSubfolderEntries(to, part.subfolderEntriesOf(from));
        m_scan.setTotals(to, CountedBytes(part.sizeOf(from), part.allocatedOf(from)));
        m_scan.replaceFiles(to, files);
    }
    m_scan.addToTotals(parent, CountedBytes(part.sizeOf(0), part.allocatedOf(0)));

    std::vector<HardLink> added = part.hardLinks();
    for (HardLink &l : added)
        l.folder = newId[l.folder];
    std::vector<HardLink> links = m_scan.hardLinks();
    adoptLateLinks(links, added, newId[0]);
    mergeLinks(links, std::move(added));
    m_scan.keepHardLinks(std::move(links));
    std::vector<FolderNote> notes = part.folderNotes();
    for (FolderNote &n : notes)
        n.folder = newId[n.folder];
    editNotes([](const FolderNote &) { return false; }, std::move(notes));
    return newId[0];
}

CountedBytes RecordsEdit::dropLinks(std::vector<HardLink> &links,
                                    const std::function<bool(const HardLink &)> &gone)
{
    CountedBytes leaving;
    for (auto group = links.begin(); group != links.end();) {
        const auto end = std::find_if(group, links.end(),
                                      [&](const HardLink &l) { return !l.sameFile(*group); });
        const auto counted = std::find_if(group, end, [](const HardLink &l) { return l.counted; });
        if (counted != end && gone(*counted)) {
            auto next = end;
            for (auto it = group; it != end; ++it)
                if (!gone(*it) && (next == end || walksBefore(*it, *next)))
                    next = it;
            if (next != end) {
                // Each folder counts the bytes its own link was read with: links of one file
                // listed at different times may differ until the later listing of each.
                m_scan.subtractFromTotals(counted->folder, counted->bytes);
                m_scan.addToTotals(next->folder, next->bytes);
                next->counted = true;
            } else {
                leaving.size += counted->bytes.size;
                leaving.allocated += counted->bytes.allocated;
            }
            counted->counted = false;
        }
        group = end;
    }
    std::erase_if(links, gone);
    return leaving;
}

void RecordsEdit::editNotes(const std::function<bool(const FolderNote &)> &gone,
                            std::vector<FolderNote> added)
{
    std::vector<FolderNote> notes = m_scan.folderNotes();
    std::erase_if(notes, gone);
    notes.insert(notes.end(), std::make_move_iterator(added.begin()),
                 std::make_move_iterator(added.end()));
    m_scan.keepNotes(std::move(notes));
}

// A file the walk met with one link may have been linked into the new records since: its bytes
// then count there too. Such a file is found by its size among the records made before them,
// and told by its inode on the disk.
void RecordsEdit::adoptLateLinks(std::vector<HardLink> &links, const std::vector<HardLink> &added,
                                 FolderId before, FolderId skip)
{
    std::unordered_multimap<quint64, const HardLink *> wanted; // by size
    for (auto group = added.begin(); group != added.end();) {
        const auto end = std::find_if(group, added.end(),
                                      [&](const HardLink &l) { return !l.sameFile(*group); });
        const bool known = std::binary_search(links.begin(), links.end(), *group, ByFile);
        if (!known && group->links > quint64(end - group) && group->bytes.size > 0)
            wanted.emplace(group->bytes.size, &*group);
        group = end;
    }
    if (wanted.empty())
        return;
    FileRecord file;
    for (FolderId folder = 0; folder < before; ++folder) {
        if (folder == skip || m_scan.isRemoved(folder))
            continue;
        quint32 position = 0;
        QByteArray path;
        for (FileRecordReader reader = m_scan.filesOf(folder); reader.next(file); ++position) {
            const auto [first, last] = wanted.equal_range(file.size);
            if (first == last)
                continue;
            if (path.isEmpty())
                path = m_scan.pathOf(folder);
            FileStatus status;
            const QByteArray filePath = path + file.name.toByteArray();
            if (!FileSystem::StatusOfPath(filePath, status, FileSystem::FollowLink::No))
                continue;
            for (auto it = first; it != last; ++it) {
                const HardLink &link = *it->second;
                if (status.device == link.device && status.inode == link.inode) {
                    HardLink twin = link;
                    twin.folder = folder;
                    twin.position = position;
                    twin.counted = true;
                    links.insert(std::upper_bound(links.begin(), links.end(), twin, ByFile), twin);
                }
            }
        }
    }
}

// Each file ends with one counted link: where both sides counted it, the link later in walk
// order gives its bytes back.
void RecordsEdit::mergeLinks(std::vector<HardLink> &links, std::vector<HardLink> added)
{
    std::sort(added.begin(), added.end(), ByFile);
    for (auto group = added.begin(); group != added.end();) {
        const auto end = std::find_if(group, added.end(),
                                      [&](const HardLink &l) { return !l.sameFile(*group); });
        const auto [first, last] = std::equal_range(links.begin(), links.end(), *group, ByFile);
        const auto counted = std::find_if(first, last, [](const HardLink &l) { return l.counted; });
        const auto newCounted =
            std::find_if(group, end, [](const HardLink &l) { return l.counted; });
        if (counted != last && newCounted != end) {
            HardLink &later = walksBefore(*counted, *newCounted) ? *newCounted : *counted;
            m_scan.subtractFromTotals(later.folder, later.bytes);
            later.counted = false;
        }
        group = end;
    }
    std::vector<HardLink> merged;
    merged.reserve(links.size() + added.size());
    std::merge(links.begin(), links.end(), added.begin(), added.end(), std::back_inserter(merged),
               ByFile);
    links = std::move(merged);
}
