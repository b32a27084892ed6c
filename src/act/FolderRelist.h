#pragma once

#include "DriveScan.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QSet>

#include <atomic>

// Lists one folder of a scanned volume again and brings its records in line with what a walk of
// the changed volume would record: its files, its subfolders gone or replaced, and the new ones,
// walked whole. A subfolder still there keeps its records unread: what changed below it is its
// own to list. The folder is reached as a refresh reaches it, from the volume's root down, each
// folder on the way the one recorded, never through a link; a folder that changed on the way is
// left to the listing of its parent. Runs on the calling thread, beside readers of the records.
class FolderRelist
{
public:
    struct Result
    {
        bool changed = false;   // the records were edited
        QByteArrayList added;   // folders that got records, each with everything below it
        QByteArrayList removed; // folders whose records went, each with everything below it
        // Folders to list again: those holding other links of files whose size changed, and
        // subfolders whose date moved.
        QByteArrayList stale;
        int error = 0; // why the folder could not be listed, when it could not
    };

    // `path` ends with "/"; a folder without a record is left to its parent's listing. Once
    // `stop` holds true, a new subfolder's walk stops short and the records stay as they were.
    // The subfolders named in `arrived` (paths) are walked whole, recorded or not.
    static Result Run(DriveScan &scan, const QByteArray &path,
                      const std::atomic<bool> *stop = nullptr,
                      const QSet<QByteArray> *arrived = nullptr);
};
