#pragma once

#include "DuplicateGroup.h"

#include <atomic>

class DriveScan;

// Folders below `top` whose files are copies of each other's, from the groups found: a folder
// and everything below it against another, names aside. The share is the bytes they have in
// common over the bigger folder's bytes, so that a file the search did not compare (smaller than
// its minimum, or alone of its size) keeps a pair below 100 %. Identical folders make one group;
// a pair inside two matching folders is not shown again; pairs below half are left out.
// Stops early, with what it has, when *cancelled becomes true.
std::vector<FolderMatch> FolderMatches(const DriveScan &scan, WalkSink::FolderId top,
                                       const std::vector<DuplicateGroup> &groups,
                                       const std::atomic<bool> *cancelled = nullptr);
