#include "MapGrowth.h"

#include "ScanComparison.h"
#include "UnreadEntries.h"

#include <unordered_map>

namespace MapGrowth {

namespace {

QRgb ColourOf(quint64 now, ScanComparison::Seen seen, quint64 then)
{
    switch (seen) {
    case ScanComparison::Seen::Unread:
        return Unknown.rgb();
    case ScanComparison::Seen::Absent:
        return Grown.rgb();
    case ScanComparison::Seen::Read:
        break;
    }
    if (now > then)
        return Grown.rgb();
    return now < then ? Shrunk.rgb() : Unchanged.rgb();
}

} // namespace

std::vector<QRgb> TileColours(const DriveScan &scan, const MapLayout &layout,
                              const ScanComparison &earlier, SizeMeasure measure)
{
    using Seen = ScanComparison::Seen;
    const std::vector<MapTile> &tiles = layout.tiles();
    std::vector<QRgb> colours(tiles.size(), Unchanged.rgb());
    const qsizetype rootLength = scan.rootPath().size();
    const UnreadEntries unreadNow(scan);
    // Each folder's state then and its earlier files once, by name, for all its file tiles.
    struct Then
    {
        Seen folder = Seen::Absent;
        std::unordered_map<QByteArray, ScanComparison::Earlier> files;
        std::vector<QByteArray> names; // the folder's file names now
    };
    std::unordered_map<quint32, Then> folders;
    for (size_t i = 0; i < tiles.size(); ++i) {
        const MapTile &tile = tiles[i];
        if (tile.file == MapLayout::Rest)
            continue;
        const QByteArray relative = scan.pathOf(tile.folder).sliced(rootLength);
        if (tile.file == MapLayout::NoFile) {
            const ScanComparison::Folder then = earlier.folder(relative, measure);
            colours[i] = unreadNow.listingStopped(tile.folder)
                             ? Unknown.rgb()
                             : ColourOf(tile.size, then.seen, then.size);
            continue;
        }
        auto [at, fresh] = folders.try_emplace(tile.folder);
        Then &then = at->second;
        if (fresh) {
            then.folder = earlier.folder(relative, measure).seen;
            for (ScanComparison::Earlier &item : earlier.entries(relative, measure))
                if (!item.isFolder)
                    then.files.emplace(item.name, std::move(item));
            FileRecord file;
            for (FileRecordReader reader = scan.filesOf(tile.folder); reader.next(file);)
                then.names.push_back(file.name.toByteArray());
        }
        if (tile.file >= then.names.size())
            continue;
        const QByteArray &name = then.names[tile.file];
        const auto file = then.files.find(name);
        // A file an earlier state naming only some files does not name may be new or not.
        if (unreadNow.contains(tile.folder, name) ||
            (file == then.files.end() && !earlier.knowsEveryFile()))
            colours[i] = Unknown.rgb();
        else if (file == then.files.end())
            colours[i] =
                ColourOf(tile.size, then.folder == Seen::Unread ? Seen::Unread : Seen::Absent, 0);
        else
            colours[i] = ColourOf(tile.size, file->second.unread ? Seen::Unread : Seen::Read,
                                  file->second.size);
    }
    return colours;
}

std::vector<QRgb> TileColours(const DriveScan &scan, const MapLayout &layout,
                              const Changes &changes)
{
    const std::vector<MapTile> &tiles = layout.tiles();
    std::vector<QRgb> colours(tiles.size(), Unchanged.rgb());
    const auto colourOf = [&](const QByteArray &path) {
        const auto change = changes.find(path);
        if (change == changes.end() || change->second == 0)
            return Unchanged.rgb();
        return change->second > 0 ? Grown.rgb() : Shrunk.rgb();
    };
    std::unordered_map<quint32, std::vector<QByteArray>> files; // each folder's paths, once
    for (size_t i = 0; i < tiles.size(); ++i) {
        const MapTile &tile = tiles[i];
        if (tile.file == MapLayout::Rest)
            continue;
        if (tile.file == MapLayout::NoFile) {
            colours[i] = colourOf(scan.pathOf(tile.folder));
            continue;
        }
        auto [at, fresh] = files.try_emplace(tile.folder);
        if (fresh) {
            const QByteArray folder = scan.pathOf(tile.folder);
            FileRecord file;
            for (FileRecordReader reader = scan.filesOf(tile.folder); reader.next(file);)
                at->second.push_back(folder + file.name.toByteArray());
        }
        if (tile.file < at->second.size())
            colours[i] = colourOf(at->second[tile.file]);
    }
    return colours;
}

} // namespace MapGrowth
