#pragma once

#include "BiggestFiles.h"
#include "NamePattern.h"

#include <atomic>

// The files of a scan whose name matches, the biggest first, read from the records alone (the
// disk is never touched), on whatever thread calls it. Stops early when *cancelled becomes true.
SearchResult SearchRecords(const DriveScan &scan, const NamePattern &pattern, size_t keep,
                           const std::atomic<bool> *cancelled = nullptr);
