#pragma once

#include <QtGlobal>

// What tells one file or folder from every other on the machine, as the kernel sees it now: its
// device and inode, the mount it was reached through (another mount of the same volume has the
// same device but not the same mount), and its kind.
struct NodeIdentity
{
    enum class Kind { Other, Folder, Link };

    quint64 device = 0;
    quint64 inode = 0;
    quint64 mount = 0; // 0 when the kernel does not say
    Kind kind = Kind::Other;

    bool isFolder() const { return kind == Kind::Folder; }
    // The same node, reached through the same mount where both say which.
    bool sameAs(const NodeIdentity &other) const
    {
        return device == other.device && inode == other.inode && kind == other.kind &&
               (mount == 0 || other.mount == 0 || mount == other.mount);
    }
};
