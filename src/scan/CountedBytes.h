#pragma once

#include <QtGlobal>

// Bytes that count in the totals, in both measures: the files' sizes and what they take on the
// disk.
struct CountedBytes
{
    // From a size alone, for a sink that keeps only sizes.
    CountedBytes(quint64 apparent = 0, quint64 onDisk = 0)
        : size(apparent)
        , allocated(onDisk)
    {}
    quint64 size;
    quint64 allocated;
};
