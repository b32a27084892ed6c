#pragma once

#include "DriveScan.h"
#include "NamePattern.h"

#include <QByteArray>

#include <atomic>
#include <vector>

// One file found: its folder's id in the scan, its name bytes, size and date.
struct SearchHit
{
    WalkSink::FolderId folder;
    QByteArray name;
    quint64 size;
    qint64 date;
};

struct SearchResult
{
    std::vector<SearchHit> hits; // the biggest first, at most the number asked for
    qint64 found = 0;            // every match, kept or not
    bool complete = false;       // false when cancelled
};

// The files of a scan whose name matches, read from the records alone (the disk is never
// touched), on whatever thread calls it. Stops early when *cancelled becomes true.
SearchResult SearchRecords(const DriveScan &scan, const NamePattern &pattern, size_t keep,
                           const std::atomic<bool> *cancelled = nullptr);
