#pragma once

#include "FileRecord.h"
#include "FolderRecord.h"

// What a size means where one is shown: the bytes a file holds (what a file manager shows), or
// the bytes it takes on the disk (what fills it: sparse images count little, small files a block).
enum class SizeMeasure { Apparent, OnDisk };

// What the file adds to the totals: nothing at a hard link's names but the counted one, so that
// what a view adds up file by file is what the walk added up.
inline quint64 SizeIn(SizeMeasure measure, const FileRecord &file)
{
    if (!file.counted)
        return 0;
    return measure == SizeMeasure::OnDisk ? file.allocated : file.size;
}

inline quint64 SizeIn(SizeMeasure measure, const FolderRecord &folder)
{
    return measure == SizeMeasure::OnDisk ? folder.allocated() : folder.size();
}
