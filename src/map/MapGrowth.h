#pragma once

#include "MapLayout.h"
#include "SizeMeasure.h"

#include <QColor>

#include <vector>

class ScanComparison;

// The map's colours by growth since an earlier scan: a file or folder that grew, or is new, red;
// one that shrank green; one unchanged grey; one whose size could not be read, now or then, a
// pale neutral grey, as its change is unknown.
namespace MapGrowth {

inline const QColor Grown{0xd0, 0x30, 0x30};
inline const QColor Shrunk{0x30, 0xa0, 0x40};
inline const QColor Unchanged{0x9a, 0x9a, 0x9a};
inline const QColor Unknown{0xd8, 0xd4, 0xcc};

// A colour per tile of the layout of `scan`'s records, compared with `earlier` by path below
// each root.
std::vector<QRgb> TileColours(const DriveScan &scan, const MapLayout &layout,
                              const ScanComparison &earlier, SizeMeasure measure);

} // namespace MapGrowth
