#pragma once

#include "CountedBytes.h"

#include <QtGlobal>

// One link of a file with more than one, as a folder listed it: the file's identity and link
// count, its bytes, where the link is (its folder and its position among that folder's files)
// and whether it is the link whose bytes count in the totals (the first in a one-thread walk's
// order).
struct HardLink
{
    quint64 device = 0;
    quint64 inode = 0;
    quint64 links = 0; // the file's link count when it was read
    CountedBytes bytes;
    quint32 folder = ~0u; // a WalkSink::FolderId
    quint32 position = 0;
    bool counted = false;

    bool sameFile(const HardLink &other) const
    {
        return device == other.device && inode == other.inode;
    }
};
