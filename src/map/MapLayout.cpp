#include "MapLayout.h"

#include "FileRecordCodec.h"

#include <algorithm>
#include <array>
#include <span>

namespace {

// A folder's item, before it becomes a tile.
struct Item
{
    quint64 size;
    quint64 bytes;       // a file's, whatever the measure, which its kind may depend on
    QByteArrayView name; // a file's, viewed in the scan's records; empty for a folder
    quint32 id;          // a subfolder's id, or a file's ordinal
    bool isFolder;
};

// Largest first; equal sizes in a fixed order, so the same scan always gives the same map.
bool Before(const Item &a, const Item &b)
{
    if (a.size != b.size)
        return a.size > b.size;
    if (a.isFolder != b.isFolder)
        return a.isFolder;
    return a.id < b.id;
}

struct Rect
{
    double x, y, width, height;
};

// Below this a rectangle is too thin to show anything, so what would go in it joins the rest.
constexpr double MinThickness = 1.0;
// Only this many of the largest items of a rest decide its colour: enough to find the kind
// holding most bytes in practice, and no work for the thousands of crumbs behind them.
constexpr size_t RestSample = 8;

// The worst ratio of long to short side in a row of items along `side`, given the row's total
// area and its largest and smallest area.
double WorstAspect(double rowArea, double largest, double smallest, double side)
{
    const double rowSquared = rowArea * rowArea;
    const double sideSquared = side * side;
    return std::max(sideSquared * largest / rowSquared, rowSquared / (sideSquared * smallest));
}

} // namespace

struct MapLayout::Builder
{
    const DriveScan &scan;
    MapLayout &layout;
    WalkSink::FolderId top;
    SizeMeasure measure;
    // Subfolders of every folder from `top` on, as offsets into one array: O(folders), and no
    // per-folder allocation.
    std::vector<quint32> childStart;
    std::vector<quint32> children;
    std::vector<Item> items;      // the folder being laid out, reused for the next one
    std::vector<quint32> pending; // folder tiles still to fill

    void indexChildren(quint32 count);
    quint32 gather(WalkSink::FolderId folder);
    void expand(quint32 tile);
    size_t squarify(quint32 parent, size_t count, double scale, Rect &space, bool restFollows);
    void placeRow(quint32 parent, size_t first, size_t last, double thickness, Rect &space);
    void addTile(quint32 parent, const Rect &rect, const Item &item);
    void addRest(quint32 parent, const Rect &rect, size_t first);
    void indexFolders();
};

void MapLayout::Builder::indexChildren(quint32 count)
{
    const quint32 folders = count - top;
    std::vector<quint32> parents(folders, NoTile);
    childStart.assign(size_t(folders) + 1, 0);
    for (quint32 f = 1; f < folders; ++f) {
        const WalkSink::FolderId parent = scan.parentOf(top + f);
        if (parent == WalkSink::NoFolder || parent < top)
            continue; // outside the top folder
        parents[f] = parent - top;
        ++childStart[parents[f] + 1];
    }
    for (quint32 f = 0; f < folders; ++f)
        childStart[f + 1] += childStart[f];
    children.resize(childStart[folders]);
    std::vector<quint32> next(childStart.begin(), childStart.end() - 1);
    for (quint32 f = 1; f < folders; ++f)
        if (parents[f] != NoTile)
            children[next[parents[f]]++] = top + f;
}

// The folder's subfolders and files with their sizes; returns how many items are not empty
// (they come first).
quint32 MapLayout::Builder::gather(WalkSink::FolderId folder)
{
    items.clear();
    const quint32 local = folder - top;
    for (quint32 i = childStart[local]; i < childStart[local + 1]; ++i)
        items.push_back({measure == SizeMeasure::OnDisk ? scan.allocatedOf(children[i])
                                                        : scan.sizeOf(children[i]),
                         0,
                         {},
                         children[i],
                         true});
    FileRecordReader reader = scan.filesOf(folder);
    FileRecord file;
    for (quint32 ordinal = 0; reader.next(file); ++ordinal)
        items.push_back({SizeIn(measure, file), file.size, file.name, ordinal, false});
    const auto empty =
        std::partition(items.begin(), items.end(), [](const Item &item) { return item.size > 0; });
    return quint32(empty - items.begin());
}

void MapLayout::Builder::expand(quint32 tile)
{
    const MapTile folder = layout.m_tiles[tile];
    const size_t count = gather(folder.folder);
    double total = 0;
    for (size_t i = 0; i < count; ++i)
        total += double(items[i].size);
    const double area = double(folder.width) * double(folder.height);
    if (count == 0 || area <= 0)
        return;
    // Sizes may have moved on since the folder's own total was read: its items fill it whatever
    // they add up to now.
    const double scale = area / total;
    const auto small =
        std::partition(items.begin(), items.begin() + qsizetype(count),
                       [&](const Item &item) { return double(item.size) * scale >= 1.0; });
    const size_t shown = size_t(small - items.begin());
    std::sort(items.begin(), small, Before);

    layout.m_firstChild[tile] = quint32(layout.m_tiles.size());
    Rect space{folder.x, folder.y, folder.width, folder.height};
    const size_t placed = squarify(tile, shown, scale, space, shown < count);
    if (placed < count) {
        items.resize(count);
        addRest(tile, space, placed);
    }
    for (size_t i = layout.m_tiles.size(); i-- > layout.m_firstChild[tile];) {
        const MapTile &child = layout.m_tiles[i];
        if (child.file == NoFile && child.width >= MinThickness && child.height >= MinThickness)
            pending.push_back(quint32(i));
    }
    if (layout.m_firstChild[tile] == layout.m_tiles.size())
        layout.m_firstChild[tile] = NoTile;
}

// Rows of items across the shorter side of what space is left, each row taking items while that
// brings its tiles closer to squares. Returns how many items were placed; `space` is left as what
// remains for the rest.
size_t MapLayout::Builder::squarify(quint32 parent, size_t count, double scale, Rect &space,
                                    bool restFollows)
{
    size_t first = 0;
    while (first < count) {
        const double side = std::min(space.width, space.height);
        if (side < MinThickness)
            break;
        const double largest = double(items[first].size) * scale;
        double rowArea = largest;
        double worst = WorstAspect(rowArea, largest, largest, side);
        size_t last = first + 1;
        for (; last < count; ++last) {
            const double area = double(items[last].size) * scale;
            const double aspect = WorstAspect(rowArea + area, largest, area, side);
            if (aspect > worst)
                break;
            rowArea += area;
            worst = aspect;
        }
        // The last row takes all that is left, so rounding leaves no sliver uncovered.
        const bool final = last == count && !restFollows;
        const double length = space.width >= space.height ? space.width : space.height;
        const double thickness = final ? length : std::min(rowArea / side, length);
        placeRow(parent, first, last, thickness, space);
        first = last;
    }
    return first;
}

void MapLayout::Builder::placeRow(quint32 parent, size_t first, size_t last, double thickness,
                                  Rect &space)
{
    const bool column = space.width >= space.height; // a column at the left, or a row at the top
    const double side = column ? space.height : space.width;
    double rowSize = 0;
    for (size_t i = first; i < last; ++i)
        rowSize += double(items[i].size);
    // Edges from running sums, so neighbours share an edge exactly and the row ends at the side's
    // end.
    double done = 0;
    double edge = 0;
    for (size_t i = first; i < last; ++i) {
        done += double(items[i].size);
        const double next = i + 1 == last ? side : side * (done / rowSize);
        const Rect rect = column ? Rect{space.x, space.y + edge, thickness, next - edge}
                                 : Rect{space.x + edge, space.y, next - edge, thickness};
        addTile(parent, rect, items[i]);
        edge = next;
    }
    if (column) {
        space.x += thickness;
        space.width -= thickness;
    } else {
        space.y += thickness;
        space.height -= thickness;
    }
}

void MapLayout::Builder::addTile(quint32 parent, const Rect &rect, const Item &item)
{
    const MapTile &folder = layout.m_tiles[parent];
    layout.m_tiles.push_back({float(rect.x), float(rect.y), float(rect.width), float(rect.height),
                              parent, item.isFolder ? item.id : folder.folder,
                              item.isFolder ? NoFile : item.id, item.size,
                              item.isFolder ? FileKind::Folder : FileKindOf(item.name, item.bytes),
                              quint16(folder.depth + 1)});
    layout.m_firstChild.push_back(NoTile);
}

// Items from `first` on share one tile, coloured by the kind holding most of their bytes.
void MapLayout::Builder::addRest(quint32 parent, const Rect &rect, size_t first)
{
    quint64 total = 0;
    for (size_t i = first; i < items.size(); ++i)
        total += items[i].size;
    const auto begin = items.begin() + qsizetype(first);
    // The biggest few tell the kind; with fewer left than that, all of them.
    const auto sampleEnd = begin + qsizetype(std::min(items.size() - first, RestSample));
    std::nth_element(begin, sampleEnd, items.end(), Before);
    std::array<quint64, size_t(FileKind::Folder) + 1> bytes{};
    for (auto it = begin; it != sampleEnd; ++it)
        bytes[size_t(it->isFolder ? FileKind::Folder : FileKindOf(it->name, it->bytes))] +=
            it->size;
    const auto kind = FileKind(std::max_element(bytes.begin(), bytes.end()) - bytes.begin());
    const MapTile &folder = layout.m_tiles[parent];
    layout.m_tiles.push_back({float(rect.x), float(rect.y), float(rect.width), float(rect.height),
                              parent, folder.folder, Rest, total, kind, quint16(folder.depth + 1)});
    layout.m_firstChild.push_back(NoTile);
}

void MapLayout::Builder::indexFolders()
{
    for (quint32 i = 0; i < layout.m_tiles.size(); ++i)
        if (layout.m_tiles[i].file == NoFile)
            layout.m_folderTiles.emplace_back(layout.m_tiles[i].folder, i);
    std::sort(layout.m_folderTiles.begin(), layout.m_folderTiles.end());
}

MapLayout MapLayout::Build(const DriveScan &scan, WalkSink::FolderId top, QSizeF size,
                           const std::atomic<bool> *cancelled, SizeMeasure measure)
{
    MapLayout layout;
    layout.m_size = size;
    const auto count = quint32(scan.count());
    if (top >= count || size.isEmpty())
        return layout;
    Builder builder{scan, layout, top, measure, {}, {}, {}, {}};
    builder.indexChildren(count);
    layout.m_tiles.push_back(
        {0, 0, float(size.width()), float(size.height()), NoTile, top, NoFile,
         measure == SizeMeasure::OnDisk ? scan.allocatedOf(top) : scan.sizeOf(top),
         FileKind::Folder, 0});
    layout.m_firstChild.push_back(NoTile);
    builder.pending.push_back(0);
    while (!builder.pending.empty()) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            break;
        const quint32 tile = builder.pending.back();
        builder.pending.pop_back();
        builder.expand(tile);
    }
    builder.indexFolders();
    return layout;
}

namespace {

bool Contains(const MapTile &tile, QPointF point)
{
    return point.x() >= tile.x && point.x() < double(tile.x) + double(tile.width) &&
           point.y() >= tile.y && point.y() < double(tile.y) + double(tile.height);
}

} // namespace

quint32 MapLayout::tileAt(QPointF point) const
{
    if (m_tiles.empty() || !Contains(m_tiles[0], point))
        return NoTile;
    quint32 at = 0;
    for (;;) {
        quint32 found = NoTile;
        for (quint32 i = m_firstChild[at]; i < m_tiles.size() && m_tiles[i].parent == at; ++i) {
            if (Contains(m_tiles[i], point)) {
                found = i;
                break;
            }
        }
        if (found == NoTile)
            return at;
        at = found;
    }
}

quint32 MapLayout::tileOf(quint32 folder, quint32 file) const
{
    const auto it =
        std::lower_bound(m_folderTiles.begin(), m_folderTiles.end(), std::pair(folder, quint32(0)));
    if (it == m_folderTiles.end() || it->first != folder)
        return NoTile;
    if (file == NoFile)
        return it->second;
    const quint32 at = it->second;
    for (quint32 i = m_firstChild[at]; i < m_tiles.size() && m_tiles[i].parent == at; ++i)
        if (m_tiles[i].file == file)
            return i;
    return NoTile;
}

QByteArray MapLayout::pathOf(const DriveScan &scan, quint32 tile) const
{
    if (tile >= m_tiles.size())
        return {};
    const MapTile &t = m_tiles[tile];
    QByteArray path = scan.pathOf(t.folder);
    if (t.file == NoFile || t.file == Rest)
        return path;
    FileRecordReader reader = scan.filesOf(t.folder);
    FileRecord file;
    for (quint32 ordinal = 0; reader.next(file); ++ordinal)
        if (ordinal == t.file)
            return path += file.name;
    return path;
}

size_t MapLayout::memoryUsed() const
{
    return sizeof(*this) + m_tiles.capacity() * sizeof(MapTile) +
           m_firstChild.capacity() * sizeof(quint32) +
           m_folderTiles.capacity() * sizeof(m_folderTiles[0]);
}
