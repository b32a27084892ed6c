#pragma once

#include <QtGlobal>

// What the file system says of a file or folder.
struct FileStatus
{
    enum class Kind : quint8 { Other, File, Folder, Link };

    Kind kind = Kind::Other; // File: a regular file; Other: a device, pipe or socket
    // A folder in which only an entry's owner may remove or rename it (/tmp).
    bool sticky = false;
    quint32 owner = 0; // the user's number
    quint64 device = 0;
    quint64 inode = 0;
    quint64 size = 0;
    quint64 allocated = 0; // the blocks it takes, in bytes
    quint64 links = 1;
    qint64 modified = 0; // seconds since the epoch
    // When its content or status last changed, in nanoseconds since the epoch: a write moves it,
    // and no one can set it back.
    qint64 changed = 0;

    bool isFolder() const { return kind == Kind::Folder; }
};
