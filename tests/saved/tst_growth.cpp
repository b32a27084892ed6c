#include "DirListModel.h"
#include "ExcludePatterns.h"
#include "FolderCollection.h"
#include "MapGrowth.h"
#include "SavedFiles.h"
#include "SavedInput.h"
#include "SavedOutput.h"
#include "ScanComparison.h"
#include "ScanExport.h"
#include "ScanImport.h"
#include "TreeOracle.h"
#include "Walker.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <map>

using namespace Qt::StringLiterals;

namespace {

// Every file's and folder's bytes below the root, by relative path ("a/", "a/f"), counted
// independently of the walk.
std::map<QByteArray, qint64> Sizes(const QByteArray &root)
{
    std::map<QByteArray, qint64> sizes;
    namespace fs = std::filesystem;
    for (const auto &entry : fs::recursive_directory_iterator(root.toStdString())) {
        if (!entry.is_regular_file())
            continue;
        const QByteArray relative =
            QByteArray::fromStdString(entry.path().string()).sliced(root.size());
        const auto bytes = qint64(entry.file_size());
        sizes[relative] += bytes;
        for (qsizetype slash = relative.indexOf('/'); slash >= 0;
             slash = relative.indexOf('/', slash + 1))
            sizes[relative.first(slash + 1)] += bytes;
    }
    return sizes;
}

// What the growth column should say of each item directly in `folder`, by its name: its text, its
// colour (red gained, green lost, grey gone) and its tip.
std::map<QString, QString> GrowthTexts(const std::map<QByteArray, qint64> &before,
                                       const std::map<QByteArray, qint64> &after,
                                       const QByteArray &folder)
{
    std::map<QString, QString> texts;
    const auto direct = [&](const QByteArray &path) {
        if (!path.startsWith(folder) || path == folder)
            return QByteArray();
        const QByteArray rest = path.sliced(folder.size());
        const qsizetype slash = rest.indexOf('/');
        return slash < 0 || slash == rest.size() - 1 ? rest : QByteArray();
    };
    const auto key = [](const QByteArray &name) {
        return QString::fromUtf8(name.endsWith('/') ? name.chopped(1) : name);
    };
    for (const auto &[path, size] : after) {
        if (const QByteArray name = direct(path); !name.isEmpty()) {
            const auto then = before.find(path);
            const qint64 growth = then == before.end() ? size : size - then->second;
            const QString colour = growth > 0 ? u" red"_s : growth < 0 ? u" green"_s : u""_s;
            texts[key(name)] =
                (then == before.end() ? u"nouveau"_s
                 : growth == 0        ? u"0"_s
                               : (growth > 0 ? u"+"_s : u"-"_s) + QString::number(qAbs(growth))) +
                colour;
        }
    }
    for (const auto &[path, size] : before)
        if (const QByteArray name = direct(path); !name.isEmpty() && !after.contains(path))
            texts[key(name)] =
                (size == 0 ? u"supprimé"_s : u"-"_s + QString::number(size)) + u" grey supprimé"_s;
    return texts;
}

} // namespace

// The list's growth column, after a scan saved, the tree changed and scanned again, against
// sizes taken from the disk before and after.
class TestGrowth : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void column_data();
    void column();
    void sortsByGrowth();
    void mapColours();
    void unreadThen();
    void excludedSince();

private:
    QTemporaryDir m_dir;
    QByteArray m_root;
    std::map<QByteArray, qint64> m_before, m_after;
    FolderCollection m_folders;
    std::shared_ptr<const ScanComparison> m_earlier;
    DirListModel m_model;
};

void TestGrowth::initTestCase()
{
    m_root = QFile::encodeName(m_dir.path()) + "/t/";
    QVERIFY(QDir::setCurrent(m_dir.path()));
    for (const char *spec : {"t/a/f=100", "t/a/g=50", "t/a/empty=0", "t/b/h=10", "t/b/c/i=5",
                             "t/d/j=7", "t/e/k=900", "t/e/l/m=3"})
        Make(spec);
    DriveScan first(m_root);
    QVERIFY(Walk(m_root, first));
    m_before = Sizes(m_root);
    const QByteArray saved = QFile::encodeName(m_dir.filePath(u"before.json.gz"_s));
    QVERIFY(Save(first, saved));

    // Added, grown, removed, a folder moved, a folder gone.
    QCOMPARE(QProcess::execute(u"sh"_s,
                               {u"-ec"_s, u"cd t && truncate -s 30 a/new && truncate -s "
                                          u"400 a/f && rm a/g a/empty && mv b/c d/c && rm -r e"_s}),
             0);
    m_after = Sizes(m_root);
    QVERIFY(Walk(m_root, *m_folders.addDrive(m_root)));

    ImportError error;
    std::unique_ptr<DriveScan> earlier = Load(saved, &error);
    QVERIFY2(earlier, qPrintable(error.describe()));
    m_earlier = std::make_shared<const ScanComparison>(std::move(earlier), m_root);
    m_model.setComparison(
        m_earlier, {u"Évolution"_s, u"nouveau"_s, u"supprimé"_s, u"illisible"_s, u"inconnu"_s});
    new QAbstractItemModelTester(&m_model, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 this);
}

void TestGrowth::column_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::newRow("root") << QByteArray();
    QTest::newRow("added, grown, removed") << "a/"_ba;
    QTest::newRow("a folder moved out") << "b/"_ba;
    QTest::newRow("a folder moved in") << "d/"_ba;
}

void TestGrowth::column()
{
    QFETCH(QByteArray, folder);
    QVERIFY(m_model.fill(m_folders, m_root + folder, PercentBase::Folder, 0));
    QVERIFY(m_model.isCompared());
    QCOMPARE(m_model.columnCount(), int(DirListModel::ColumnCount) + 1);
    QCOMPARE(m_model.headerData(DirListModel::Growth, Qt::Horizontal), QVariant(u"Évolution"_s));
    const auto colour = [](const QVariant &shown) {
        if (!shown.isValid())
            return u""_s;
        const QColor c = shown.value<QColor>();
        return c == Qt::gray ? u" grey"_s : c.red() > c.green() ? u" red"_s : u" green"_s;
    };
    std::map<QString, QString> shown;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        const QModelIndex growth = m_model.index(row, DirListModel::Growth);
        shown[m_model.index(row, DirListModel::Name).data().toString()] =
            growth.data().toString() + colour(growth.data(Qt::ForegroundRole)) +
            (growth.data(Qt::ToolTipRole).isValid() ? u' ' + growth.data(Qt::ToolTipRole).toString()
                                                    : u""_s);
        QCOMPARE(growth.data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
    }
    QCOMPARE(shown, GrowthTexts(m_before, m_after, folder));
}

void TestGrowth::sortsByGrowth()
{
    QVERIFY(m_model.fill(m_folders, m_root, PercentBase::Folder, 0));
    m_model.sort(DirListModel::Growth, Qt::DescendingOrder);
    QStringList order;
    for (int row = 0; row < m_model.rowCount(); ++row)
        order << m_model.index(row, DirListModel::Name).data().toString();
    // a gained 280, d 5; b lost 5; e, gone, lost 903.
    QCOMPARE(order, (QStringList{u"a"_s, u"d"_s, u"b"_s, u"e"_s}));
    QCOMPARE(m_model.folderGrowth(), std::optional<qint64>(280 + 5 - 5 - 903));
}

// Each file's tile: red when it grew or is new, grey when unchanged, as the sizes say.
void TestGrowth::mapColours()
{
    const auto [scan, root] = m_folders.locate(m_root);
    const MapLayout layout = MapLayout::Build(*scan, root, QSizeF(400, 300));
    const std::vector<QRgb> colours =
        MapGrowth::TileColours(*scan, layout, *m_earlier, SizeMeasure::Apparent);
    std::map<QByteArray, QRgb> byPath;
    for (quint32 tile = 0; tile < layout.tiles().size(); ++tile)
        if (layout.tiles()[tile].file != MapLayout::NoFile)
            byPath[layout.pathOf(*scan, tile).sliced(m_root.size())] = colours[tile];
    const QRgb red = MapGrowth::Grown.rgb(), grey = MapGrowth::Unchanged.rgb();
    const std::map<QByteArray, QRgb> expected{
        {"a/f", red}, {"a/new", red}, {"b/h", grey}, {"d/c/i", red}, {"d/j", grey}};
    QCOMPARE(byPath, expected);
}

// What the earlier walk could not read is listed as unknown: a folder it could not open by its
// name alone, once, and a file it could not read with its record, not again as a folder.
void TestGrowth::unreadThen()
{
    auto scan = std::make_shared<DriveScan>("/r/"_ba);
    const auto root = scan->openedFolder(WalkSink::NoFolder, "/r/", 10, 0, 1);
    scan->unreadEntry(root, "locked", EACCES);
    scan->unreadEntry(root, "gone", EIO);
    FileRecordWriter files;
    files.add("gone", 0, FileRecord::UnknownDate);
    files.add("kept", 40, 30, 512);
    scan->listedFolder(root, files, {40, 512}, 2);
    const ScanComparison earlier(scan, "/now/"_ba);
    QStringList seen;
    for (const ScanComparison::Earlier &item : earlier.entries("", SizeMeasure::Apparent))
        seen << u"%1 %2 %3 %4"_s.arg(QString::fromUtf8(item.name), QString::number(item.size),
                                     item.isFolder ? u"folder"_s : u"file"_s,
                                     item.unread ? u"unread"_s : u"read"_s);
    QCOMPARE(seen, (QStringList{u"gone 0 file unread"_s, u"kept 40 file read"_s,
                                u"locked 0 folder unread"_s}));
    // A folder the walk could not open was unread then, and so was any below it; not absent.
    using Seen = ScanComparison::Seen;
    for (const auto &[path, then] :
         {std::pair("locked/"_ba, Seen::Unread), std::pair("locked/deeper/"_ba, Seen::Unread),
          std::pair("nowhere/"_ba, Seen::Absent)})
        QCOMPARE(earlier.folder(path, SizeMeasure::Apparent).seen, then);
}

// Walked again leaving a folder out: its one row tells what no longer counts, no "gone" twin.
void TestGrowth::excludedSince()
{
    FolderCollection folders;
    Walker::Options options;
    options.exclude = std::make_shared<const ExcludePatterns>(QByteArrayList{"d"});
    QVERIFY(Walk(m_root, *folders.addDrive(m_root), options));
    QVERIFY(m_model.fill(folders, m_root, PercentBase::Folder, 0));
    QStringList rows;
    for (int row = 0; row < m_model.rowCount(); ++row)
        rows << m_model.index(row, DirListModel::Name).data().toString() + u' ' +
                    m_model.index(row, DirListModel::Growth).data().toString();
    rows.sort();
    QCOMPARE(rows, (QStringList{u"a +280"_s, u"b -5"_s, u"d -7"_s, u"e -903"_s}));
}

QTEST_GUILESS_MAIN(TestGrowth)
#include "tst_growth.moc"
