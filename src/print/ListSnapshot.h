#pragma once

#include "PrintedList.h"

#include <QSize>

class QTreeView;

// What a list view shows, taken as the list printer needs it: the columns with their on-screen
// widths (twips), titles and alignments, the rows in the order shown with their texts and the
// first column's icon, the view's font and the height of one row.
PrintedList SnapshotOf(const QTreeView &view, double twipsPerPixelX, double twipsPerPixelY,
                       QSize iconSize);
