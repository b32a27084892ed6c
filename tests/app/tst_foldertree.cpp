#include "FolderTreeModel.h"
#include "FolderTreeView.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestFolderTree : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_tree.reset(); }
    void cleanupTestCase();
    void listing();
    void rootThenClicks();
    void changeIgnored_data();
    void changeIgnored();
    void selectBeforeLoaded();
    void lateLoadedSelectionStaysInView();
    void reloadFollowsDisk();

private:
    // The texts of a folder's items once its listing is in.
    QStringList texts(FolderTreeModel &model, const QByteArray &folder) const;
    QModelIndex itemAt(const QByteArray &relative) const
    {
        return model()->indexOf(m_top + relative);
    }
    FolderTreeModel *model() const { return m_tree->model(); }

    QTemporaryDir m_dir;
    QByteArray m_top;  // folders with odd names, a hidden one, a file and a link to a folder
    QByteArray m_wide; // 40 folders sorted ahead of the target at each of two levels
    std::unique_ptr<FolderTreeView> m_tree;
    QTreeView *m_view = nullptr;
};

void TestFolderTree::initTestCase()
{
    QLocale::setDefault(QLocale(u"fr_FR"_s));
    QVERIFY(m_dir.isValid());
    const QByteArray dir = QFile::encodeName(m_dir.path());
    m_top = dir + "/top/";
    m_wide = dir + "/wide/";
    QByteArrayList folders{
        "top/alpha/d1/d2/target", "top/Beta",       "top/.hidden/inner", "top/a10", "top/a9",
        "top/caf\xe9/x",          "top/two\nlines", "wide/zz/zz"};
    for (int i = 0; i < 40; ++i)
        folders << "wide/a" + QByteArray::number(i + 10)
                << "wide/zz/a" + QByteArray::number(i + 10);
    for (int i = 0; i < 2500; ++i) // more than one batch of rows
        folders << "many/f" + QByteArray::number(i);
    for (const QByteArray &folder : folders)
        for (qsizetype slash = 0; slash >= 0;) {
            slash = folder.indexOf('/', slash + 1);
            ::mkdir(dir + '/' + (slash < 0 ? folder : folder.left(slash)), 0755);
        }
    QFile file(m_dir.filePath(u"top/file.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(m_dir.filePath(u"top/alpha"_s), m_dir.filePath(u"top/link"_s)));
}

// Shown, as in the window, so that the view asks for its folders as it would there.
void TestFolderTree::init()
{
    m_tree = std::make_unique<FolderTreeView>();
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    m_view = m_tree->findChild<QTreeView *>();
}

// QDir cannot remove what it cannot name.
void TestFolderTree::cleanupTestCase()
{
    ::rmdir(m_top + "caf\xe9/x");
    ::rmdir(m_top + "caf\xe9");
}

QStringList TestFolderTree::texts(FolderTreeModel &model, const QByteArray &folder) const
{
    const QModelIndex parent = model.indexOf(folder);
    model.fetchMore(parent);
    if (!QTest::qWaitFor([&] { return !model.isListing(); }))
        return {u"still listing"_s};
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row)
        names << model.index(row, 0, parent).data().toString();
    return names;
}

// Folders only, in the locale's order with numbers as numbers, any byte name found again by its
// path; items added ahead of a listing stay where the listing puts them, or go if not on disk.
void TestFolderTree::listing()
{
    FolderTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRoot(m_top);
    QCOMPARE(model.index(0, 0).data().toString(), u"top"_s);
    const QPersistentModelIndex early = model.indexOf(m_top + "alpha/d1/");
    const QPersistentModelIndex ghost = model.indexOf(m_top + "ghost/");
    QVERIFY(early.isValid() && ghost.isValid());
    QVERIFY(!model.indexOf(m_top.chopped(1) + "x/").isValid());
    const QStringList expected{u".hidden"_s, u"a9"_s,        u"a10"_s,           u"alpha"_s,
                               u"Beta"_s,    u"caf\uFFFD"_s, u"two\u21B5lines"_s};
    QCOMPARE(texts(model, m_top), expected);
    QVERIFY(!ghost.isValid());
    QCOMPARE(model.pathOf(early), m_top + "alpha/d1/");
    QCOMPARE(model.pathOf(model.index(5, 0, model.index(0, 0))), m_top + "caf\xe9/");
    QCOMPARE(texts(model, m_top + "caf\xe9/"), QStringList{u"x"_s});
    QCOMPARE(texts(model, m_top + "Beta/"), QStringList());
    QVERIFY(!model.hasChildren(model.indexOf(m_top + "Beta/")));

    FolderTreeModel big; // without the tester, which would list all 2,500

    const QByteArray many = QFile::encodeName(m_dir.path()) + "/many/";
    big.setRoot(many);
    big.fetchMore(big.index(0, 0));
    QTRY_VERIFY(big.rowCount(big.index(0, 0)) > 0);
    const QPersistentModelIndex late = big.indexOf(many + "f2000/"); // while the rows go in
    QCOMPARE(texts(big, many).size(), 2500);
    QCOMPARE(late.row(), 2000);
}

// The root is the one top item, selected; a click selects and signals once per change; a
// Ctrl+click does not deselect.
void TestFolderTree::rootThenClicks()
{
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);
    m_tree->setRootfolder(m_top);
    QCOMPARE(model()->rowCount(), 1);
    QCOMPARE(m_view->currentIndex(), model()->index(0, 0));
    QTRY_VERIFY(!model()->isListing());
    QCOMPARE(model()->rowCount(model()->index(0, 0)), 7);

    const QPoint beta = m_view->visualRect(itemAt("Beta")).center();
    m_tree->setEnabled(true);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, beta);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::ControlModifier, beta);
    QVERIFY(m_view->selectionModel()->isSelected(itemAt("Beta")));
    m_tree->setSelectedfolder(m_top + "alpha/");
    QCOMPARE(spy, (QList<QVariantList>{{m_top}, {m_top + "Beta/"}, {m_top + "alpha/"}}));
}

// A root that cannot be shown, or a folder that cannot be selected, leaves both as they were.
void TestFolderTree::changeIgnored_data()
{
    QTest::addColumn<bool>("root");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("root missing") << true << m_top + "missing/";
    QTest::newRow("root relative") << true << "top/"_ba;
    QTest::newRow("same root again") << true << m_top + "alpha/..";
    QTest::newRow("same selection, without its slash") << false << m_top + "alpha/./d1";
    QTest::newRow("selection above the root") << false << m_top + "..";
    QTest::newRow("selection missing") << false << m_top + "alpha/none/";
    QTest::newRow("selection a link to a folder") << false << m_top + "link/d1/";
}

void TestFolderTree::changeIgnored()
{
    QFETCH(bool, root);
    QFETCH(QByteArray, path);
    m_tree->setRootfolder(m_top);
    m_tree->setSelectedfolder(m_top + "alpha/d1/");
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);
    if (root)
        m_tree->setRootfolder(path);
    else
        m_tree->setSelectedfolder(path);
    QCOMPARE(m_tree->rootfolder(), m_top);
    QCOMPARE(m_tree->selectedfolder(), m_top + "alpha/d1/");
    QCOMPARE(spy.count(), 0);
}

// The selection lands before the folders around it are listed; collapsing one of its ancestors
// moves the selection up to it, collapsing another folder does not.
void TestFolderTree::selectBeforeLoaded()
{
    const QByteArray deep = m_top + "alpha/d1/d2/target/";
    m_tree->setRootfolder(m_top);
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);
    m_tree->setSelectedfolder(deep);
    QCOMPARE(m_tree->selectedfolder(), deep);
    const QModelIndex current = m_view->currentIndex();
    QCOMPARE(model()->pathOf(current), deep);
    QVERIFY(m_view->selectionModel()->isSelected(current));
    m_view->expand(itemAt("caf\xe9/"));
    m_view->collapse(itemAt("caf\xe9/")); // not an ancestor: the selection stays
    QCOMPARE(m_tree->selectedfolder(), deep);
    m_view->collapse(itemAt("alpha/"));
    QCOMPARE(m_tree->selectedfolder(), m_top + "alpha/");
    QCOMPARE(spy, (QList<QVariantList>{{deep}, {m_top + "alpha/"}}));
}

void TestFolderTree::lateLoadedSelectionStaysInView()
{
    m_tree->resize(200, 120);
    m_tree->setRootfolder(m_wide);
    m_tree->setSelectedfolder(m_wide + "zz/zz/");
    // Rows 40: the target and its parent, once their siblings are listed.
    QTRY_COMPARE(m_view->currentIndex().row(), 40);
    QTRY_COMPARE(m_view->currentIndex().parent().row(), 40);
    QTRY_VERIFY(m_view->viewport()->rect().contains(m_view->visualRect(m_view->currentIndex())));
}

void TestFolderTree::reloadFollowsDisk()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    QVERIFY(QDir(dir.path()).mkpath(u"keep/inner"_s) && QDir(dir.path()).mkpath(u"other/x"_s));
    m_tree->setRootfolder(root);
    // Only here: the tester lists every folder it meets, and the first root is "/".
    QAbstractItemModelTester tester(model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_tree->setSelectedfolder(root + "keep/inner/");
    m_view->expand(model()->indexOf(root + "other/"));
    QTRY_COMPARE(texts(*model(), root), (QStringList{u"keep"_s, u"other"_s}));
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);

    QVERIFY(QDir(dir.path()).mkdir(u"new"_s));
    m_tree->reload();
    QCOMPARE(model()->pathOf(m_view->currentIndex()), root + "keep/inner/");
    QVERIFY(m_view->isExpanded(model()->indexOf(root + "other/")));
    QCOMPARE(texts(*model(), root), (QStringList{u"keep"_s, u"new"_s, u"other"_s}));
    QCOMPARE(spy.count(), 0);

    // With the selected folder and its parent gone, the selection falls back to the root.
    QVERIFY(QDir(dir.path() + u"/keep"_s).removeRecursively());
    m_tree->reload();
    QCOMPARE(m_tree->selectedfolder(), root);
    QCOMPARE(spy, (QList<QVariantList>{{root}}));
    QCOMPARE(texts(*model(), root), (QStringList{u"new"_s, u"other"_s}));
}

QTEST_MAIN(TestFolderTree)
#include "tst_foldertree.moc"
