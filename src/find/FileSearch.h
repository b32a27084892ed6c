#pragma once

#include "BiggestFiles.h"
#include "NamePattern.h"

#include <atomic>

// The files of a scan whose name matches, the biggest in `measure` first, read from the records
// alone (the disk is never touched), on whatever thread calls it; their total is in `measure`.
// Stops early when *cancelled becomes true.
SearchResult SearchRecords(const DriveScan &scan, const NamePattern &pattern, SizeMeasure measure,
                           size_t keep, const std::atomic<bool> *cancelled = nullptr);
