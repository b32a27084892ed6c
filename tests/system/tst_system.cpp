#include "FileSystem.h"
#include "FolderListing.h"
#include "TreeOracle.h"
#include "UniqueFd.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <set>

// The system library's own behaviour, which the walk and the acts rely on.
class TestSystem : public QObject
{
    Q_OBJECT
private slots:
    void listing_data();
    void listing();
};

void TestSystem::listing_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("removed"); // after the listing, before each entry's status
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("more than one batch") << 3000 << 0;
    QTest::newRow("entries gone since the listing") << 10 << 4;
}

// Every entry once, "." and ".." left out, however many batches it takes; an entry gone since it
// was listed says so.
void TestSystem::listing()
{
    QFETCH(int, files);
    QFETCH(int, removed);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Make("f/");
    for (int i = 0; i < files; ++i)
        Make("f/" + QByteArray::number(i) + "=1");
    const UniqueFd fd(FileSystem::OpenFolder("f"));
    QVERIFY(fd.isOpen());
    std::set<QByteArray> names;
    FolderListing listing(fd.get());
    FolderListing::Entry entry;
    while (listing.next(entry))
        QVERIFY(names.insert(QByteArray(entry.name, entry.nameLength)).second);
    QCOMPARE(listing.error(), 0);
    QCOMPARE(int(names.size()), files);
    for (int i = 0; i < removed; ++i)
        QVERIFY(FileSystem::RemoveFile("f/" + QByteArray::number(i)));
    FileStatus status;
    for (const QByteArray &name : names) {
        const bool gone = name.toInt() < removed;
        QCOMPARE(FileSystem::StatusAt(fd.get(), name.constData(), status), !gone);
        QCOMPARE(gone ? errno : int(status.size), gone ? ENOENT : 1);
    }
}

QTEST_GUILESS_MAIN(TestSystem)
#include "tst_system.moc"
