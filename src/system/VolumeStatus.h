#pragma once

#include <QtGlobal>

// What a file system says of its space, in blocks of blockSize bytes.
struct VolumeStatus
{
    quint64 blocks = 0;
    quint64 freeBlocks = 0;      // the administrator's reserve included
    quint64 availableBlocks = 0; // what users may still take
    quint64 blockSize = 0;
    bool readOnly = false;
};
