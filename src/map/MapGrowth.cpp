#include "MapGrowth.h"

#include "ScanComparison.h"

#include <unordered_map>

namespace MapGrowth {

namespace {

QRgb ColourOf(quint64 now, std::optional<quint64> then)
{
    if (!then || now > *then)
        return Grown.rgb();
    return now < *then ? Shrunk.rgb() : Unchanged.rgb();
}

} // namespace

std::vector<QRgb> TileColours(const DriveScan &scan, const MapLayout &layout,
                              const ScanComparison &earlier, SizeMeasure measure)
{
    const std::vector<MapTile> &tiles = layout.tiles();
    std::vector<QRgb> colours(tiles.size(), Unchanged.rgb());
    const qsizetype rootLength = scan.rootPath().size();
    // Each folder's earlier items once, by name, for all its file tiles.
    std::unordered_map<quint32, std::unordered_map<QByteArray, quint64>> earlierFiles;
    std::unordered_map<quint32, std::vector<QByteArray>> names; // a folder's file names now
    for (size_t i = 0; i < tiles.size(); ++i) {
        const MapTile &tile = tiles[i];
        if (tile.file == MapLayout::Rest)
            continue;
        const QByteArray relative = scan.pathOf(tile.folder).sliced(rootLength);
        if (tile.file == MapLayout::NoFile) {
            colours[i] = ColourOf(tile.size, earlier.folderSize(relative, measure));
            continue;
        }
        auto [files, fresh] = earlierFiles.try_emplace(tile.folder);
        if (fresh) {
            for (const ScanComparison::Earlier &item : earlier.entries(relative, measure))
                if (!item.isFolder)
                    files->second.emplace(item.name, item.size);
            std::vector<QByteArray> &now = names[tile.folder];
            FileRecord file;
            for (FileRecordReader reader = scan.filesOf(tile.folder); reader.next(file);)
                now.push_back(file.name.toByteArray());
        }
        const std::vector<QByteArray> &now = names[tile.folder];
        if (tile.file >= now.size())
            continue;
        const auto then = files->second.find(now[tile.file]);
        colours[i] =
            ColourOf(tile.size, then == files->second.end() ? std::nullopt
                                                            : std::optional<quint64>(then->second));
    }
    return colours;
}

} // namespace MapGrowth
