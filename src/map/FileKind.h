#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QtGlobal>

// What a file holds, as far as its name tells: the map colours each file by it.
enum class FileKind : quint8 {
    Picture,
    Video,
    Audio,
    Archive,
    Document,
    Source,
    Program,
    Other,
    Folder
};

// From the name alone (its extension, through the MIME database, as the list's icons are), never
// opening the file. Disk images and packages are archives; executables, libraries and object files
// are programs. Thread-safe: the map is laid out on worker threads.
FileKind FileKindOf(QByteArrayView fileName);

// The map's palette: a colour per kind, told apart on light and dark backgrounds and by people
// with the common colour blindnesses. Folder is the neutral grey of a folder's own surface.
QColor KindColour(FileKind kind);
