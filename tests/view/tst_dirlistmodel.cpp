#include "DirListModel.h"
#include "DriveScanJob.h"
#include "FileIconCache.h"
#include "FolderCollection.h"
#include "ListSort.h"

#include <QAbstractItemModelTester>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

using namespace Qt::StringLiterals;

// One scanned tree, changed on disk after the scan; every model runs under the model tester.
class TestDirListModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void rows_data();
    void rows();
    void percentagesAndColours_data();
    void percentagesAndColours();
    void listedRows_data();
    void listedRows();
    void sort_data();
    void sort();
    void largeFolderSortsByName();
    void listSort_data();
    void listSort();

private:
    QStringList names() const;

    QTemporaryDir m_dir;
    QByteArray m_root;
    FolderCollection m_folders;
    std::unique_ptr<DirListModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    QIcon m_folderIcon;
    QIcon m_fileIcon{QPixmap(16, 16)};
};

namespace {

qint64 Seconds(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(10, 30), Qt::UTC).toSecsSinceEpoch();
}

// A file of `size` bytes, or a folder when size is negative, made with its parents.
void Make(const QByteArray &path, qint64 size, qint64 date = 0)
{
    const QString name = QFile::decodeName(path);
    bool made = QDir().mkpath(size < 0 ? name : QFileInfo(name).path());
    if (size >= 0) {
        QFile file(name);
        made = made && file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
    }
    const timespec times[2] = {{date, 0}, {date, 0}};
    if (!made || (date != 0 && ::utimensat(AT_FDCWD, path.constData(), times, 0) != 0))
        qFatal("cannot make the test tree");
}

} // namespace

void TestDirListModel::initTestCase()
{
    QLocale::setDefault(QLocale(u"en_US"_s)); // a collating locale: "a" < "B" < "c"
    QVERIFY(m_dir.isValid());
    m_root = QFile::encodeName(m_dir.path()) + "/vol/";
    // Dates whose en_US texts sort in another order than their times. Folders are dated once
    // their content is made.
    const struct
    {
        const char *path;
        qint64 size; // -1: a folder
        qint64 date;
    } tree[] = {
        {"list/a.txt", 1000, Seconds(2020, 12, 1)},
        {"list/B.dat", 5, Seconds(2021, 1, 5)},
        {"list/c", 0, Seconds(2019, 6, 15)},
        {"list/d.log", 12, Seconds(2022, 3, 3)},
        {"list/sub/x.bin", 1234567, 0},
        {"list/sub", -1, Seconds(2018, 2, 2)},
        {"list/empty", -1, Seconds(2023, 7, 7)},
        {"colour/f", 50, 0},
        {"colour/big/g", 500, 0},
        {"colour/gone", -1, 0},
    };
    for (const auto &entry : tree)
        Make(m_root + entry.path, entry.size, entry.date);

    DriveScanJob job(m_folders, m_root);
    QVERIFY(job.start());
    QCOMPARE(job.finish(), quint64(1235584 + 550));
    // The records decide the files, the disk the folders: f stays, gone and new get no row.
    Make(m_root + "colour/new", -1);
    QVERIFY(QDir().rmdir(QFile::decodeName(m_root + "colour/gone")));
    QVERIFY(QFile::remove(QFile::decodeName(m_root + "colour/f")));

    QPixmap folder(16, 16);
    folder.fill(Qt::yellow);
    m_folderIcon = QIcon(folder);
    // No theme can be found, so every file gets the fallback.
    QIcon::setThemeSearchPaths({});
    QIcon::setFallbackSearchPaths({});
    QIcon::setThemeName({});
    FileIconCache::instance().setFallback(m_fileIcon);
}

void TestDirListModel::init()
{
    m_tester.reset();
    m_model = std::make_unique<DirListModel>();
    m_model->setFolderIcon(m_folderIcon);
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

QStringList TestDirListModel::names() const
{
    QStringList result;
    for (int row = 0; row < m_model->rowCount(); ++row)
        result << m_model->index(row, DirListModel::Name).data().toString();
    return result;
}

void TestDirListModel::rows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("key"); // after the root path when a folder
    QTest::addColumn<quint64>("size");
    QTest::addColumn<qint64>("date");
    QTest::newRow("file") << u"a.txt"_s << "a.txt"_ba << quint64(1000) << Seconds(2020, 12, 1);
    QTest::newRow("folder") << u"sub"_s << "list/sub/"_ba << quint64(1234567)
                            << Seconds(2018, 2, 2);
}

void TestDirListModel::rows()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, key);
    QFETCH(quint64, size);
    QFETCH(qint64, date);
    QVERIFY(m_model->fill(m_folders, m_root + "list", PercentBase::Folder, 0));
    const int row = int(names().indexOf(name));
    const auto at = [&](int column, int role = Qt::DisplayRole) {
        return m_model->index(row, column).data(role);
    };
    const bool isFolder = key.endsWith('/');
    QCOMPARE(at(0, DirListModel::KeyRole).toByteArray(), isFolder ? m_root + key : key);
    QCOMPARE(at(0, DirListModel::IsFolderRole).toBool(), isFolder);
    QCOMPARE(at(DirListModel::Size).toString(), SizeText(size));
    QCOMPARE(at(DirListModel::Percent).toString(), PercentText(double(size) * 100 / 1235584));
    QCOMPARE(at(DirListModel::Date).toString(), DateText(QDateTime::fromSecsSinceEpoch(date)));
    QCOMPARE(at(0, Qt::ToolTipRole).toString(), name); // the whole name, however narrow
    const QIcon icon = at(0, Qt::DecorationRole).value<QIcon>();
    QCOMPARE(icon.cacheKey(), (isFolder ? m_folderIcon : m_fileIcon).cacheKey());
}

// colour/ lists the file f (50 bytes), then the folder big (500 bytes).
void TestDirListModel::percentagesAndColours_data()
{
    QTest::addColumn<int>("viewType");
    QTest::addColumn<quint64>("diskSize");
    QTest::addColumn<QList<double>>("percents");
    QTest::addColumn<QList<Rgb>>("colours");
    using namespace PercentColour;
    QTest::newRow("parent") << 2 << quint64(100) << QList<double>{5000.0 / 550, 50000.0 / 550}
                            << QList<Rgb>{Green, Red};
    QTest::newRow("disk") << 1 << quint64(1000) << QList<double>{5, 50}
                          << QList<Rgb>{Green, LightOrange};
    QTest::newRow("first row over 100") << 1 << quint64(40) << QList<double>{125, 1250}
                                        << QList<Rgb>{FirstRowFallback, FirstRowFallback};
}

void TestDirListModel::percentagesAndColours()
{
    QFETCH(int, viewType);
    QFETCH(quint64, diskSize);
    QFETCH(QList<double>, percents);
    QFETCH(QList<Rgb>, colours);
    QVERIFY(m_model->fill(m_folders, m_root + "colour/", PercentBase(viewType), diskSize));
    for (int row = 0; row < 2; ++row) {
        const QModelIndex index = m_model->index(row, DirListModel::Percent);
        QCOMPARE(index.data(DirListModel::SortRole).toDouble(), percents[row]);
        QCOMPARE(index.data(Qt::ForegroundRole).value<QColor>(), QColor::fromRgb(colours[row]));
    }
}

void TestDirListModel::listedRows_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<bool>("scanned");
    QTest::addColumn<quint64>("folderSize");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("not on disk") << "nowhere/"_ba << false << quint64(0) << QStringList();
    QTest::newRow("empty, scanned") << "list/empty"_ba << true << quint64(0) << QStringList();
    QTest::newRow("files, then folders")
        << "colour"_ba << true << quint64(550) << QStringList{u"f"_s, u"big"_s};
}

void TestDirListModel::listedRows()
{
    QFETCH(QByteArray, folder);
    QFETCH(bool, scanned);
    QFETCH(quint64, folderSize);
    QFETCH(QStringList, names);
    QVERIFY(m_model->fill(m_folders, m_root + "list", PercentBase::Folder, 0)); // rows to remove
    QCOMPARE(m_model->fill(m_folders, m_root + folder, PercentBase::Folder, 0), scanned);
    QCOMPARE(this->names(), names);
    QCOMPARE(m_model->folderSize(), folderSize);
    QCOMPARE(m_model->folderPath(), m_root + (folder.endsWith('/') ? folder : folder + '/'));
}

void TestDirListModel::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("ascending");
    QTest::newRow("name, collated")
        << int(DirListModel::Name)
        << QStringList{u"a.txt"_s, u"B.dat"_s, u"c"_s, u"d.log"_s, u"empty"_s, u"sub"_s};
    // c and empty both hold 0 bytes: the name decides.
    QTest::newRow("size, by number")
        << int(DirListModel::Size)
        << QStringList{u"c"_s, u"empty"_s, u"B.dat"_s, u"d.log"_s, u"a.txt"_s, u"sub"_s};
    QTest::newRow("date, by time")
        << int(DirListModel::Date)
        << QStringList{u"sub"_s, u"c"_s, u"a.txt"_s, u"B.dat"_s, u"d.log"_s, u"empty"_s};
    // Of 12 bytes, by text sub's "10288058.3%" would come before a.txt's "8333.3%".
    QTest::newRow("percentage, by value")
        << int(DirListModel::Percent)
        << QStringList{u"c"_s, u"empty"_s, u"B.dat"_s, u"d.log"_s, u"a.txt"_s, u"sub"_s};
}

void TestDirListModel::sort()
{
    QFETCH(int, column);
    QFETCH(QStringList, ascending);
    QVERIFY(m_model->fill(m_folders, m_root + "list", PercentBase::Disk, 12));
    const QPersistentModelIndex selected = m_model->index(1, DirListModel::Name);
    const QString selectedName = selected.data().toString();
    m_model->sort(column, Qt::AscendingOrder);
    QCOMPARE(names(), ascending);
    m_model->sort(column, Qt::DescendingOrder);
    std::reverse(ascending.begin(), ascending.end());
    QCOMPARE(names(), ascending);
    QCOMPARE(selected.data().toString(), selectedName); // a selection follows its row
}

// Records made without a disk, enough for the names to be collated in two halves and merged.
// Two invalid names decode alike; their bytes decide.
void TestDirListModel::largeFolderSortsByName()
{
    m_tester.reset(); // it would look up an icon for every name
    FolderCollection folders;
    const QByteArray root = "/nowhere/quarnel/"_ba;
    DriveScan &scan = folders.addDrive(root);
    const auto folder = scan.openedFolder(WalkSink::NoFolder, root, 0, 0, 0);
    FileRecordWriter files;
    for (int i = 0; i < 12000; ++i)
        files.add((i % 3 ? "f"_ba : "F"_ba) + QByteArray::number((i * 7919) % 12000), 0, 0);
    files.add("\xff"_ba, 0, 0);
    files.add("\xfe"_ba, 0, 0);
    scan.listedFolder(folder, files, 0, 0);

    QVERIFY(m_model->fill(folders, root, PercentBase::Folder, 0));
    m_model->sort(DirListModel::Name, Qt::AscendingOrder);
    QCOMPARE(m_model->rowCount(), 12002);
    const QCollator collator;
    const auto at = [&](int row, int role) { return m_model->index(row, 0).data(role); };
    for (int row = 1; row < m_model->rowCount(); ++row) {
        const int order = collator.compare(at(row - 1, Qt::DisplayRole).toString(),
                                           at(row, Qt::DisplayRole).toString());
        QVERIFY(order < 0 || (order == 0 && at(row - 1, DirListModel::KeyRole).toByteArray() <
                                                at(row, DirListModel::KeyRole).toByteArray()));
    }
}

void TestDirListModel::listSort_data()
{
    // Heading clicks after start-up; -1 refills.
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::newRow("start") << QList<int>{} << 1 << Qt::AscendingOrder;
    QTest::newRow("same twice flips") << QList<int>{2, 2} << 2 << Qt::DescendingOrder;
    QTest::newRow("another keeps it") << QList<int>{2, 2, 1} << 1 << Qt::DescendingOrder;
    QTest::newRow("click after refill") << QList<int>{4, -1, 4} << 4 << Qt::DescendingOrder;
}

void TestDirListModel::listSort()
{
    QFETCH(QList<int>, steps);
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    ListSort sort;
    sort.startUp();
    for (const int step : steps)
        step < 0 ? sort.refill() : sort.headingClicked(step);
    QCOMPARE(sort.column(), column);
    QCOMPARE(sort.order(), order);
}

QTEST_MAIN(TestDirListModel)
#include "tst_dirlistmodel.moc"
