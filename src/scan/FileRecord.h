#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <limits>

// One file of a folder as the walk recorded it: its name (the bytes the file system gave, viewed
// in the records' storage, valid as long as they live), its size in bytes, the bytes it takes on
// the disk (its allocated blocks: less than its size when sparse or compressed, more when its last
// block is part empty), and its last-write time in seconds since the epoch, or UnknownDate.
struct FileRecord
{
    // The date of an entry whose details could not be read (its size is then 0): no date is
    // shown rather than one made up.
    static constexpr qint64 UnknownDate = std::numeric_limits<qint64>::min();

    QByteArrayView name;
    quint64 size = 0;
    quint64 allocated = 0;
    qint64 date = 0;
};
