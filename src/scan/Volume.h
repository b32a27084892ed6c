#pragma once

#include <QByteArray>

// A mounted volume the user can pick for a walk, and the kinds of drive the window tells apart by
// their picture.

enum class DriveKind { Unknown, Floppy, Fixed, CdRom, Removable, Remote, RamDisk };

struct Volume
{
    QByteArray mountPoint; // as written in the mount table, also the label shown to the user
    QByteArray source;     // device or source: "/dev/sda1", "server:/export", "tmpfs"
    QByteArray fsType;     // "ext4", "nfs4", "tmpfs", "fuse.sshfs"...
    DriveKind kind = DriveKind::Unknown;
    quint64 deviceId = 0; // the device number the mount table gives, as st_dev holds it

    // The mount point as a folder path ending with "/": "/" for "/", "/home/" for "/home".
    QByteArray root() const;
    QByteArray label() const { return mountPoint; }
};
