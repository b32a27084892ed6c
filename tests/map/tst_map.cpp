#include "FileKind.h"
#include "FolderCollection.h"
#include "MapGrowth.h"
#include "MapLayout.h"
#include "MapRenderer.h"

#include <QRandomGenerator>
#include <QTest>

#include <numeric>

using namespace Qt::StringLiterals;

// The treemap's layout, hit testing, kinds of files and drawing.
class TestMap : public QObject
{
    Q_OBJECT
private slots:
    void invariants_data();
    void invariants();
    void kinds_data();
    void kinds();
    void hitTestingAndDrawing();
};

namespace {

// Folders to make, each as the index of its parent among those before it (-1 for the root) and
// the sizes of its files, named "0.jpg", "1.jpg"...
using Tree = std::vector<std::pair<int, std::vector<quint64>>>;

void Fill(DriveScan &scan, const Tree &tree)
{
    for (size_t i = 0; i < tree.size(); ++i)
        scan.openedFolder(tree[i].first < 0 ? WalkSink::NoFolder : quint32(tree[i].first),
                          i == 0 ? scan.rootPath() : "d" + QByteArray::number(quint64(i)), 0, 0, 0);
    for (size_t i = 0; i < tree.size(); ++i) {
        FileRecordWriter writer;
        const auto &[parent, files] = tree[i];
        for (size_t f = 0; f < files.size(); ++f)
            writer.add(QByteArray::number(quint64(f)) + ".jpg", files[f], 0);
        scan.listedFolder(quint32(i), writer, std::accumulate(files.begin(), files.end(), 0ull), 0);
    }
}

constexpr QSizeF MapSize(1600, 500);

QRectF Rect(const MapTile &tile)
{
    return QRectF(tile.x, tile.y, tile.width, tile.height);
}

bool Near(double area, double expected)
{
    return std::abs(area - expected) <= std::max(1.0, expected * 0.01);
}

} // namespace

void TestMap::invariants_data()
{
    QTest::addColumn<Tree>("tree");
    QTest::addColumn<double>("maxAspect"); // of the tiles of 16 px² and more
    QRandomGenerator random(7);
    Tree nested{{-1, {}}};
    for (int i = 1; i < 400; ++i) {
        nested.push_back({int(random.bounded(i)), {}});
        for (quint32 f = random.bounded(30u); f > 0; --f)
            nested.back().second.push_back(random.bounded(1u << random.bounded(30)) + 1);
    }
    QTest::newRow("random nested tree") << nested << 20.0;
    Tree zeros{{-1, {}}};
    for (quint64 f = 0; f < 300; ++f)
        zeros[0].second.push_back(f % 3 == 0 ? 0 : f * f);
    QTest::newRow("zero-size files among others") << zeros << 20.0;
    Tree huge{{-1, std::vector<quint64>(100'000, 1)}};
    huge[0].second[500] = 1ull << 40;
    QTest::newRow("one huge file among 100,000 tiny ones") << huge << 4.0;
    QTest::newRow("100,000 equal siblings") << Tree{{-1, std::vector<quint64>(100'000, 9)}} << 3.0;
    Tree chain{{-1, {1}}};
    for (int i = 1; i < 3000; ++i)
        chain.push_back({i - 1, {1}});
    QTest::newRow("3,000-level chain") << chain << 3.0;
}

// Every tile lies in its folder's, in proportion to its size, and its folder's items cover the
// folder once.
void TestMap::invariants()
{
    QFETCH(Tree, tree);
    QFETCH(double, maxAspect);
    DriveScan scan("/r/"_ba);
    Fill(scan, tree);
    const MapLayout layout = MapLayout::Build(scan, 0, MapSize);
    const std::vector<MapTile> &tiles = layout.tiles();
    const auto aspect = [](double width, double height) {
        return std::max(width / height, height / width);
    };
    std::vector<double> covered(tiles.size());
    std::vector<std::vector<quint32>> children(tiles.size());
    for (quint32 i = 1; i < tiles.size(); ++i) {
        const MapTile &tile = tiles[i], &parent = tiles[tile.parent];
        QVERIFY(Rect(parent).adjusted(-0.01, -0.01, 0.01, 0.01).contains(Rect(tile)));
        const double area = double(tile.width) * tile.height;
        QVERIFY(Near(area, double(tile.size) / double(parent.size) * parent.width * parent.height));
        // Squarified beats slicing the folder across its longer side, and a fixed bound mostly.
        const double slice = area / std::pow(std::min(parent.width, parent.height), 2);
        if (tile.file != MapLayout::Rest && area >= 16)
            QCOMPARE_LE(aspect(tile.width, tile.height),
                        std::max(maxAspect, aspect(slice, 1) * 1.01));
        covered[tile.parent] += area;
        children[tile.parent].push_back(i);
    }
    for (quint32 i = 0; i < tiles.size(); ++i)
        QVERIFY(children[i].empty() || Near(covered[i], double(tiles[i].width) * tiles[i].height));
    // Down from the top, exactly one item of each folder holds a point of the folder.
    for (int n = 0; n < 8 * 4; ++n) {
        const QPointF point((n % 8 + 0.37) * 200, (n / 8 + 0.71) * 125);
        for (quint32 at = 0; !children[at].empty();) {
            const auto holds = [&](quint32 t) { return Rect(tiles[t]).contains(point); };
            QCOMPARE(std::count_if(children[at].begin(), children[at].end(), holds), 1);
            at = *std::find_if(children[at].begin(), children[at].end(), holds);
        }
    }
}

void TestMap::kinds_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<FileKind>("kind");
    const std::pair<const char *, FileKind> rows[] = {{"photo.JPG", FileKind::Picture},
                                                      {"film.mkv", FileKind::Video},
                                                      {"song.flac", FileKind::Audio},
                                                      {"disk.iso", FileKind::DiskImage},
                                                      {"vm.QCOW2", FileKind::DiskImage},
                                                      {"sd-card.img", FileKind::DiskImage},
                                                      {"camera.RAW", FileKind::Picture},
                                                      {"win.vhdx", FileKind::DiskImage},
                                                      {"camera.RAW 90000000", FileKind::Picture},
                                                      {"disk.Raw 1073741824", FileKind::DiskImage},
                                                      {"mac.dmg", FileKind::DiskImage},
                                                      {"box.vmdk", FileKind::DiskImage},
                                                      {"backup.tar.gz", FileKind::Archive},
                                                      {"pkg_1.0.deb", FileKind::Archive},
                                                      {"notes.odt", FileKind::Document},
                                                      {"main.cpp", FileKind::Source},
                                                      {"run.sh", FileKind::Source},
                                                      {"libx.so.6", FileKind::Program},
                                                      {"syslog.log", FileKind::Other},
                                                      {"old.tar.log", FileKind::Other},
                                                      {"noext", FileKind::Other},
                                                      {"v1.2.unknownext", FileKind::Other}};
    for (const auto &[name, kind] : rows)
        QTest::newRow(name) << QByteArray(name) << kind;
}

void TestMap::kinds()
{
    QFETCH(QByteArray, name);
    QFETCH(FileKind, kind);
    const QByteArrayList nameAndBytes = name.split(' ');
    QCOMPARE(FileKindOf(nameAndBytes[0], nameAndBytes.value(1).toULongLong()), kind);
}

// "0.jpg" takes most of the map, beside folder d1.
void TestMap::hitTestingAndDrawing()
{
    FolderCollection folders;
    DriveScan &scan = *folders.addDrive("/r/"_ba);
    Fill(scan, {{-1, {600}}, {0, {300, 100}}});
    const auto [located, folder] = folders.locate("/r/d1/");
    QVERIFY(located.get() == &scan && folder == 1);
    const MapLayout layout = MapLayout::Build(scan, 0, {400, 120});
    const quint32 second = layout.tileOf(1, 1);
    QVERIFY(second != MapLayout::NoTile);
    QCOMPARE(layout.tileAt(Rect(layout.tiles()[second]).center()), second);
    // A tile holds its top and left edges, not its bottom and right ones.
    const MapTile &tile = layout.tiles()[second];
    QCOMPARE(layout.tileAt({tile.x, tile.y}), second);
    QVERIFY(layout.tileAt({tile.x + tile.width, tile.y + tile.height}) != second);
    QCOMPARE(layout.pathOf(scan, second), "/r/d1/1.jpg");
    QCOMPARE(layout.pathOf(scan, layout.tileOf(1)), "/r/d1/");
    QCOMPARE(layout.tileAt({-1, 10}), MapLayout::NoTile);
    QCOMPARE(layout.tileAt({10, 120}), MapLayout::NoTile);
    QCOMPARE(layout.tileOf(1, 5), MapLayout::NoTile);
    QCOMPARE(layout.tileOf(0, 1), MapLayout::NoTile); // d1 has a second file, the root not
    // Coloured by what changed while followed: by full path, what is not there unchanged.
    const std::vector<QRgb> changed = MapGrowth::TileColours(
        scan, layout, MapGrowth::Changes{{"/r/d1/1.jpg", 5}, {"/r/0.jpg", -3}, {"/r/d1/", 0}});
    QCOMPARE(changed[second], MapGrowth::Grown.rgb());
    QCOMPARE(changed[layout.tileOf(0, 0)], MapGrowth::Shrunk.rgb());
    QCOMPARE(changed[layout.tileOf(1, 0)], MapGrowth::Unchanged.rgb());
    QCOMPARE(changed[layout.tileOf(1)], MapGrowth::Unchanged.rgb());
    // Largest first from the top left; at equal sizes, the folder before the file.
    QCOMPARE(layout.tileAt({0, 0}), layout.tileOf(0, 0));
    DriveScan &even = *folders.addDrive("/e/"_ba);
    Fill(even, {{-1, {400}}, {0, {400}}});
    const MapLayout evenLayout = MapLayout::Build(even, 0, {400, 120});
    QVERIFY(evenLayout.tiles()[evenLayout.tileOf(1)].x <
            evenLayout.tiles()[evenLayout.tileOf(0, 0)].x);
    // Files too small to draw share a tile, coloured by the kind holding most of their bytes.
    DriveScan &crowded = *folders.addDrive("/c/"_ba);
    crowded.openedFolder(WalkSink::NoFolder, crowded.rootPath(), 0, 0, 0);
    FileRecordWriter writer;
    writer.add("big.jpg", 1ull << 40, 0);
    for (int f = 0; f < 100; ++f)
        writer.add(QByteArray::number(f) + (f < 90 ? ".mkv" : ".iso"), f < 90 ? 2 : 1, 0);
    crowded.listedFolder(0, writer, (1ull << 40) + 190, 0);
    const MapLayout crowdedLayout = MapLayout::Build(crowded, 0, {400, 120});
    const auto rest = std::ranges::find(crowdedLayout.tiles(), MapLayout::Rest, &MapTile::file);
    QVERIFY(rest != crowdedLayout.tiles().end());
    QCOMPARE(rest->kind, FileKind::Video);
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage image = RenderMap(layout, ratio);
        QCOMPARE(image.size(), (QSizeF(400, 120) * ratio).toSize());
        QCOMPARE(image.devicePixelRatio(), ratio);
        QCOMPARE(RenderMap(layout, ratio), image);
        const QPoint centre =
            (Rect(layout.tiles()[layout.tileOf(0, 0)]).center() * ratio).toPoint();
        QVERIFY(std::abs(image.pixelColor(centre).hue() - KindColour(FileKind::Picture).hue()) <
                10);
    }
}

QTEST_GUILESS_MAIN(TestMap)
#include "tst_map.moc"
