#pragma once

#include <QByteArray>

// A mounted volume the user can pick for a walk, and the kinds of drive the window tells apart by
// their picture.

// Folder: a folder the user named, walked for this run as a drive of its own. Saved: a scan read
// from a file, whose records are all there is of it: its root is no path on this machine.
enum class DriveKind { Unknown, Floppy, Fixed, CdRom, Removable, Remote, RamDisk, Folder, Saved };

struct Volume
{
    QByteArray mountPoint; // as written in the mount table, also the label shown to the user
    DriveKind kind = DriveKind::Unknown;
    qint64 savedAt = 0; // a saved scan's time, in seconds since the epoch

    // The mount point as a folder path ending with "/": "/" for "/", "/home/" for "/home".
    QByteArray root() const;
    QByteArray label() const { return mountPoint; }
};
