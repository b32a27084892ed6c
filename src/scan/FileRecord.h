#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <limits>

// One file of a folder as the walk recorded it: its name (the bytes the file system gave, viewed
// in the records' storage, valid as long as they live), its size in bytes, the bytes it takes on
// the disk (its allocated blocks: less than its size when sparse or compressed, more when its last
// block is part empty), its last-write time in seconds since the epoch, or UnknownDate, and
// whether its bytes count.
struct FileRecord
{
    // The date of an entry whose details could not be read (its size is then 0): no date is
    // shown rather than one made up.
    static constexpr qint64 UnknownDate = std::numeric_limits<qint64>::min();

    QByteArrayView name;
    quint64 size = 0;
    quint64 allocated = 0;
    qint64 date = 0;
    // False at a name of a hard-linked file other than the one its bytes count at (the first the
    // walk met): that name holds none of the totals' bytes, in any view.
    bool counted = true;
};
