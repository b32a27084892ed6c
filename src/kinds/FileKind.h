#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QList>
#include <QtGlobal>

// What a file holds, as far as its name tells: the map colours each file by it.
enum class FileKind : quint8 {
    Picture,
    Video,
    Audio,
    Archive,
    DiskImage,
    Document,
    Source,
    Program,
    Other,
    Folder
};

// From the name alone (its extension, through the MIME database, as the list's icons are), never
// opening the file. Disk images (of CDs, virtual machines, copies of disks: .iso, .img, .qcow2,
// .vdi, .vmdk, .vhd(x), .dmg) are a kind of their own; a camera's .raw is a picture; packages are
// archives; executables, libraries and object files are programs; logs are other files.
// Where the ending is ambiguous the size decides: a ".raw" of a gigabyte or more (its bytes, not
// its blocks, so that both measures agree) is a copy of a disk, not a picture; no camera writes one
// so large. Thread-safe: the map is laid out on worker threads.
FileKind FileKindOf(QByteArrayView fileName, quint64 bytes = 0);
// FileKindOf's answer for a file of `bytes` whose name alone gives `byName`.
FileKind KindBySize(FileKind byName, QByteArrayView extension, quint64 bytes);

// What FileKindOf's answer depends on, for callers that keep their own answers per name: the last
// two dot-separated suffixes as written ("tar.gz", "Tar.GZ"), empty when there is no extension.
// Names whose suffixes are alike but for case have the same kind, except versioned shared
// libraries ("libc.so.6"), which are programs whatever the suffixes.
QByteArrayView KindSuffixes(QByteArrayView fileName);
bool IsVersionedLibrary(QByteArrayView fileName);

// The map's palette: a colour per kind, told apart on light and dark backgrounds and by people
// with the common colour blindnesses. Folder is the neutral grey of a folder's own surface.
QColor KindColour(FileKind kind);
// Every kind's colour, in the kinds' order, the folders' surface last.
QList<QColor> KindColours();
