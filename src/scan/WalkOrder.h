#pragma once

#include "WalkSink.h"

// Whether the file at `positionA` among folder a's files comes before the one at `positionB` in
// b in a one-thread walk's order: a folder's files, then its subfolders one after another in
// listing order, each with everything below it.
bool WalksBefore(const WalkSink &records, WalkSink::FolderId a, quint32 positionA,
                 WalkSink::FolderId b, quint32 positionB);
