#include "FileSearch.h"

SearchResult SearchRecords(const DriveScan &scan, const NamePattern &pattern, size_t keep,
                           const std::atomic<bool> *cancelled)
{
    return BiggestFilesOf(scan, SizeMeasure::Apparent, keep, cancelled,
                          [&pattern](QByteArrayView name) { return pattern.matchesName(name); });
}
