#include "FileSearch.h"

SearchResult SearchRecords(const DriveScan &scan, const NamePattern &pattern, SizeMeasure measure,
                           size_t keep, const std::atomic<bool> *cancelled)
{
    return BiggestFilesOf(scan, measure, keep, cancelled,
                          [&pattern](QByteArrayView name) { return pattern.matchesName(name); });
}
