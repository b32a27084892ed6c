#pragma once

#include "DriveScan.h"
#include "FileKind.h"
#include "SizeMeasure.h"

#include <QByteArray>
#include <QPointF>
#include <QSizeF>

#include <atomic>
#include <utility>
#include <vector>

// One rectangle of the map: a folder, a file, or the rest of a folder's items too small to show
// one by one.
struct MapTile
{
    float x, y, width, height; // in the map's logical pixels, (0,0) top-left
    quint32 parent;            // the tile of the folder it lies in; MapLayout::NoTile for the top
    quint32 folder; // the folder's id in the DriveScan: a folder tile's own, a file's folder
    quint32 file; // ordinal among the folder's file records; NoFile for a folder, Rest for the rest
    quint64 size;
    FileKind kind; // FileKind::Folder for a folder tile
    quint16 depth; // 0 for the top folder
};

// A squarified treemap of one folder of a scan: every file a rectangle whose area is its size,
// nested in its folders' rectangles. Window-free, so it can be built on a worker thread. Tiles are
// stored so that a folder's tile comes before everything in it and its own items lie side by side.
class MapLayout
{
public:
    static constexpr quint32 NoTile = ~0u;
    static constexpr quint32 NoFile = ~0u;
    static constexpr quint32 Rest = ~0u - 1;

    // Lays out folder `top` of the scan (and everything below it) in a rectangle of `size` logical
    // pixels. Reads the scan as it is now, while the walk may still be adding to it. Returns early,
    // with what it has, when *cancelled becomes true.
    static MapLayout Build(const DriveScan &scan, WalkSink::FolderId top, QSizeF size,
                           const std::atomic<bool> *cancelled = nullptr,
                           SizeMeasure measure = SizeMeasure::Apparent);

    const std::vector<MapTile> &tiles() const { return m_tiles; }
    QSizeF size() const { return m_size; }
    // The deepest tile at a point, NoTile outside.
    quint32 tileAt(QPointF point) const;
    // The tile of a folder (file == NoFile) or of a file of it, NoTile when it was too small to
    // get one.
    quint32 tileOf(quint32 folder, quint32 file = NoFile) const;
    // The folder's path (ending with "/") for a folder or rest tile; with the file's name for a
    // file tile.
    QByteArray pathOf(const DriveScan &scan, quint32 tile) const;
    // Memory held by the tiles and indexes.
    size_t memoryUsed() const;

private:
    struct Builder;

    QSizeF m_size;
    std::vector<MapTile> m_tiles;
    std::vector<quint32> m_firstChild; // per tile; NoTile when nothing is laid out in it
    std::vector<std::pair<quint32, quint32>> m_folderTiles; // (folder id, tile), by folder id
};
