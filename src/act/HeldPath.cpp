#include "HeldPath.h"

#include "DriveScan.h"
#include "Paths.h"
#include "SafeOpen.h"

#include <cerrno>

using FileSystem::FolderAccess;

namespace {

// The root as the walk opened it: by its path, a link at its end followed, since a user who
// names a link as the root means the folder it leads to. Its identity then vouches for it.
int OpenRoot(const QByteArray &root)
{
    return FileSystem::OpenFolder(root, FolderAccess::Hold);
}

} // namespace

HeldPath::Check HeldPath::explain(int dirFd, const QByteArray &name, const QByteArray &path,
                                  int error)
{
    switch (error) {
    case ENOENT:
        return {Change::Gone, path};
    case EXDEV:
        return {Change::OtherVolume, path};
    case ELOOP:
    case ENOTDIR: {
        NodeIdentity found;
        if (!SafeOpen::IdentityAt(dirFd, name.constData(), found))
            return {errno == ENOENT ? Change::Gone : Change::Unreadable, path, errno};
        if (found.kind == NodeIdentity::Kind::Link)
            return {Change::Link, path};
        if (!found.isFolder())
            return {Change::NotFolder, path};
        return {Change::Unreadable, path, error};
    }
    default:
        return {Change::Unreadable, path, error};
    }
}

HeldPath::Check HeldPath::compare(const NodeIdentity &found, const NodeIdentity &expected,
                                  const QByteArray &path)
{
    if (found.kind != expected.kind) {
        if (found.kind == NodeIdentity::Kind::Link)
            return {Change::Link, path};
        return {expected.isFolder() ? Change::NotFolder : Change::Replaced, path};
    }
    if (found.device != expected.device ||
        (found.mount != 0 && expected.mount != 0 && found.mount != expected.mount))
        return {Change::OtherVolume, path};
    if (expected.inode != 0 && found.inode != expected.inode)
        return {Change::Replaced, path};
    return {};
}

HeldPath HeldPath::open(const DriveScan &scan, const QByteArray &path, ItemRule rule)
{
    HeldPath held;
    held.m_path = path;
    const QByteArray &root = scan.rootPath();
    if (scan.device() == 0) {
        held.m_check = {Change::NotOnThisMachine, path};
        return held;
    }
    const QByteArray below = path.startsWith(root) ? path.sliced(root.size()) : QByteArray();
    QByteArrayList parts = below.split('/');
    held.m_name = parts.takeLast();
    for (const QByteArray &part : std::as_const(parts) + QByteArrayList{held.m_name}) {
        if (part.isEmpty() || part == "." || part == "..") {
            held.m_check = {Change::Unreadable, path, EINVAL};
            return held;
        }
    }

    UniqueFd rootFd(OpenRoot(root));
    NodeIdentity identity;
    if (!rootFd.isOpen() || !SafeOpen::IdentityOf(rootFd.get(), identity)) {
        held.m_check = {errno == ENOENT ? Change::Gone : Change::Unreadable, RemoveSlash(root),
                        errno};
        return held;
    }
    NodeIdentity expected{scan.device(), scan.inodeOf(0), 0, NodeIdentity::Kind::Folder};
    if (held.m_check = compare(identity, expected, RemoveSlash(root)); !held.m_check.ok())
        return held;
    held.m_levels.push_back({std::move(rootFd), identity, root});

    QByteArray at = root;
    for (const QByteArray &part : std::as_const(parts)) {
        at += part + '/';
        const Level &above = held.m_levels.back();
        UniqueFd fd(SafeOpen::Folder(above.fd.get(), part.constData(), FolderAccess::Hold));
        if (!fd.isOpen() || !SafeOpen::IdentityOf(fd.get(), identity)) {
            held.m_check = explain(above.fd.get(), part, at.chopped(1), errno);
            return held;
        }
        // A folder the records do not hold (made since the walk) still has to be a folder of
        // this volume, reached through the same mount.
        const qsizetype record = scan.indexOf(at);
        expected = {scan.device(), record >= 0 ? scan.inodeOf(WalkSink::FolderId(record)) : 0,
                    above.identity.mount, NodeIdentity::Kind::Folder};
        if (held.m_check = compare(identity, expected, at.chopped(1)); !held.m_check.ok())
            return held;
        // Only the deepest folder stays open: a path of any depth holds one descriptor. The
        // levels above are known by their identities, which the last look compares.
        held.m_levels.back().fd.reset();
        held.m_levels.push_back({std::move(fd), identity, at});
    }

    const int parent = held.parentFd();
    const NodeIdentity &above = held.m_levels.back().identity;
    if (!SafeOpen::IdentityAt(parent, held.m_name.constData(), held.m_item)) {
        held.m_check = {errno == ENOENT ? Change::Gone : Change::Unreadable, path, errno};
        return held;
    }
    const qsizetype record = scan.indexOf(path + '/');
    if (held.m_item.isFolder()) {
        // Opened, not only looked at: a mount over it shows only on the descriptor.
        UniqueFd fd(SafeOpen::Folder(parent, held.m_name.constData(), FolderAccess::Hold));
        if (!fd.isOpen() || !SafeOpen::IdentityOf(fd.get(), held.m_item)) {
            held.m_check = explain(parent, held.m_name, path, errno);
            return held;
        }
        const bool asRecorded = rule == ItemRule::AsRecorded;
        if (asRecorded && record < 0) {
            held.m_check = {Change::Replaced, path}; // a file then, a folder now
            return held;
        }
        expected = {scan.device(), asRecorded ? scan.inodeOf(WalkSink::FolderId(record)) : 0,
                    above.mount, NodeIdentity::Kind::Folder};
    } else {
        // A file keeps no inode in the records: what is held from now on is the one there now.
        expected = held.m_item;
        expected.device = scan.device();
        expected.mount = above.mount;
        if (record >= 0)
            expected.kind = NodeIdentity::Kind::Folder;
    }
    held.m_check = compare(held.m_item, expected, path);
    return held;
}

HeldPath::Check HeldPath::recheck() const
{
    if (m_levels.empty())
        return m_check.ok() ? Check{Change::Gone, m_path} : m_check;
    UniqueFd fd(OpenRoot(m_levels.front().path));
    NodeIdentity identity;
    const QByteArray root = RemoveSlash(m_levels.front().path);
    if (!fd.isOpen() || !SafeOpen::IdentityOf(fd.get(), identity))
        return {errno == ENOENT ? Change::Gone : Change::Unreadable, root, errno};
    if (Check check = compare(identity, m_levels.front().identity, root); !check.ok())
        return check;
    for (size_t i = 1; i < m_levels.size(); ++i) {
        const Level &level = m_levels[i];
        const QByteArray path = level.path.chopped(1);
        const QByteArray name = path.sliced(path.lastIndexOf('/') + 1);
        UniqueFd next(SafeOpen::Folder(fd.get(), name.constData(), FolderAccess::Hold));
        if (!next.isOpen() || !SafeOpen::IdentityOf(next.get(), identity))
            return explain(fd.get(), name, path, errno);
        if (Check check = compare(identity, level.identity, path); !check.ok())
            return check;
        fd = std::move(next);
    }
    if (!m_check.ok())
        return m_check;
    if (m_item.isFolder()) {
        UniqueFd item(SafeOpen::Folder(fd.get(), m_name.constData(), FolderAccess::Hold));
        if (!item.isOpen() || !SafeOpen::IdentityOf(item.get(), identity))
            return explain(fd.get(), m_name, m_path, errno);
    } else if (!SafeOpen::IdentityAt(fd.get(), m_name.constData(), identity)) {
        return {errno == ENOENT ? Change::Gone : Change::Unreadable, m_path, errno};
    }
    return compare(identity, m_item, m_path);
}

int HeldPath::openItem(Check *why) const
{
    if (!m_check.ok()) {
        *why = m_check;
        return -1;
    }
    UniqueFd fd(SafeOpen::Folder(parentFd(), m_name.constData(), FolderAccess::List));
    NodeIdentity identity;
    if (!fd.isOpen() || !SafeOpen::IdentityOf(fd.get(), identity)) {
        *why = explain(parentFd(), m_name, m_path, errno);
        return -1;
    }
    if (*why = compare(identity, m_item, m_path); !why->ok())
        return -1;
    return fd.release();
}
