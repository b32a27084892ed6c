#pragma once

#include "MapLayout.h"
#include "SizeMeasure.h"

#include <QColor>

#include <QByteArray>

#include <unordered_map>
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
// What changed while the volume was followed, by full path (a folder's ending with "/"):
// above 0 grew, below 0 shrank.
using Changes = std::unordered_map<QByteArray, qint64>;
// A colour per tile by those changes: an item that is not among them is unchanged.
std::vector<QRgb> TileColours(const DriveScan &scan, const MapLayout &layout,
                              const Changes &changes);

} // namespace MapGrowth
