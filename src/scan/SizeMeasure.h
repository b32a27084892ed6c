#pragma once

#include "FileRecord.h"
#include "FolderRecord.h"

// What a size means where one is shown: the bytes a file holds (what a file manager shows), or
// the bytes it takes on the disk (what fills it: sparse images count little, small files a block).
enum class SizeMeasure { Apparent, OnDisk };

inline quint64 SizeIn(SizeMeasure measure, const FileRecord &file)
{
    return measure == SizeMeasure::OnDisk ? file.allocated : file.size;
}

inline quint64 SizeIn(SizeMeasure measure, const FolderRecord &folder)
{
    return measure == SizeMeasure::OnDisk ? folder.allocated() : folder.size();
}
