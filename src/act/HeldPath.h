#pragma once

#include "NodeIdentity.h"
#include "UniqueFd.h"

#include <QByteArray>

#include <vector>

class DriveScan;

// An item of a scanned volume, held from the volume's root down: each folder on its way opened
// relative to the one above (the parent kept open, whatever the depth), never through a symbolic
// link nor onto another mount, and checked to be the folder the records hold (its device and
// inode), so that what is done to the item later is done to the one the user chose, whatever has
// been renamed, linked or mounted meanwhile.
class HeldPath
{
public:
    // Why an item cannot be held, or what has changed since it was.
    enum class Change {
        None,
        NotOnThisMachine, // the records were read from a file
        Gone,
        Link,        // a folder on the way, or the item, is now a symbolic link
        Replaced,    // another file or folder has its name: renamed, or replaced
        OtherVolume, // another volume, or a bind mount, sits there
        NotFolder,   // a folder on the way is now something else
        Unreadable,  // cannot be opened; `error` says why
    };
    struct Check
    {
        Change change = Change::None;
        QByteArray where; // the path of the level concerned
        int error = 0;
        bool ok() const { return change == Change::None; }
    };
    // What the item itself may be.
    enum class ItemRule {
        AsRecorded, // a folder the records hold must be that very folder
        AnyFolder,  // a folder walked again may be a new one of the same name
    };

    HeldPath() = default;
    // `path`: an item below the scan's root, without a final "/". When the item is missing, the
    // levels above it are still held and check() says Gone with `where` the item's path.
    static HeldPath open(const DriveScan &scan, const QByteArray &path,
                         ItemRule rule = ItemRule::AsRecorded);

    bool isHeld() const { return m_check.ok(); }
    const Check &check() const { return m_check; }
    const QByteArray &path() const { return m_path; }
    const QByteArray &name() const { return m_name; }
    // Held as long as the levels above the item are, even when the item is not.
    int parentFd() const { return m_levels.empty() ? -1 : m_levels.back().fd.get(); }
    const NodeIdentity &item() const { return m_item; }

    // Looks again, from the root's path down by name: None while every level and the item are
    // still those held.
    Check recheck() const;
    // The item, a folder, opened to be listed through the held parent, neither through a link
    // nor onto another mount, and the folder held. -1 with *why set.
    int openItem(Check *why) const;

private:
    struct Level
    {
        UniqueFd fd; // O_PATH; the item's parent's only
        NodeIdentity identity;
        QByteArray path;
    };
    // Why `name` in `dirFd` could not be opened as a folder, or is not `expected`.
    static Check explain(int dirFd, const QByteArray &name, const QByteArray &path, int error);
    static Check compare(const NodeIdentity &found, const NodeIdentity &expected,
                         const QByteArray &path);

    std::vector<Level> m_levels; // the root, then each folder down to the item's parent
    QByteArray m_path;
    QByteArray m_name;
    NodeIdentity m_item;
    Check m_check;
};
