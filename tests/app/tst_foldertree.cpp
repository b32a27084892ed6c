#include "FolderTreeView.h"

#include <QDir>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;

class TestFolderTree : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_tree.reset(); }
    void rootThenClicks();
    void changeIgnored_data();
    void changeIgnored();
    void selectBeforeLoaded();
    void lateLoadedSelectionStaysInView();
    void reloadFollowsDisk();

private:
    // Items go by their path below the root item ("alpha/d1/"); invalid while not loaded.
    QModelIndex itemAt(const QString &relative) const;
    // The names of the folders below the root item, sorted.
    QStringList folderNames() const;

    QTemporaryDir m_dir;
    QString m_top;  // folders, a hidden one, a file and a link to a folder
    QString m_wide; // 40 folders sorted ahead of the target at each of two levels
    const QStringList m_topFolders{u".hidden"_s, u"alpha"_s, u"beta"_s};
    std::unique_ptr<FolderTreeView> m_tree;
    QTreeView *m_view = nullptr;
};

void TestFolderTree::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_top = m_dir.path() + u"/top/"_s;
    m_wide = m_dir.path() + u"/wide/"_s;
    QDir dir(m_dir.path());
    for (const QString &folder :
         {u"top/alpha/d1/d2/target"_s, u"top/beta"_s, u"top/.hidden/inner"_s, u"wide/zz/zz"_s})
        QVERIFY(dir.mkpath(folder));
    for (int i = 0; i < 40; ++i) {
        const QString name = u"a%1"_s.arg(i, 2, 10, QChar(u'0'));
        QVERIFY(dir.mkpath(u"wide/"_s + name) && dir.mkpath(u"wide/zz/"_s + name));
    }
    QFile file(m_top + u"file.txt"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(m_top + u"alpha"_s, m_top + u"link"_s));
}

// Shown, as in the window: a hidden view puts off its layout and with it the loading of folders.
void TestFolderTree::init()
{
    m_tree = std::make_unique<FolderTreeView>();
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    m_view = m_tree->findChild<QTreeView *>();
}

QModelIndex TestFolderTree::itemAt(const QString &relative) const
{
    const QAbstractItemModel *model = m_view->model();
    QModelIndex index = model->index(0, 0, m_view->rootIndex());
    for (const QString &name : relative.split(u'/', Qt::SkipEmptyParts)) {
        const QModelIndex parent = index;
        index = {};
        for (int row = 0; row < model->rowCount(parent) && !index.isValid(); ++row)
            if (model->index(row, 0, parent).data().toString() == name)
                index = model->index(row, 0, parent);
    }
    return index;
}

QStringList TestFolderTree::folderNames() const
{
    const QModelIndex parent = itemAt({});
    QStringList names;
    for (int row = 0; parent.isValid() && row < m_view->model()->rowCount(parent); ++row)
        names.append(m_view->model()->index(row, 0, parent).data().toString());
    names.sort();
    return names;
}

// The root is the one top item, selected; below it folders only, links and files left out. A
// click selects and signals once per change; a Ctrl+click does not deselect.
void TestFolderTree::rootThenClicks()
{
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);
    m_tree->setRootfolder(m_top);
    QCOMPARE(m_view->model()->rowCount(m_view->rootIndex()), 1);
    QCOMPARE(m_view->currentIndex(), itemAt({}));
    QTRY_COMPARE(folderNames(), m_topFolders);
    // Once the root's own parent is listed too, its other folders stay out.
    const auto *model = m_tree->findChild<QFileSystemModel *>();
    m_view->model()->fetchMore(m_view->rootIndex());
    const int siblings =
        int(QDir(m_dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    QTRY_COMPARE(model->rowCount(model->index(m_dir.path())), siblings);
    QCOMPARE(m_view->model()->rowCount(m_view->rootIndex()), 1);

    const QPoint beta = m_view->visualRect(itemAt(u"beta"_s)).center();
    m_tree->setEnabled(true);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, beta);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::ControlModifier, beta);
    QVERIFY(m_view->selectionModel()->isSelected(itemAt(u"beta"_s)));
    m_tree->setSelectedfolder(m_top + u"alpha/"_s);
    QCOMPARE(spy, (QList<QVariantList>{{m_top}, {m_top + u"beta/"_s}, {m_top + u"alpha/"_s}}));
}

// A root that cannot be shown, or a folder that cannot be selected, leaves both as they were.
void TestFolderTree::changeIgnored_data()
{
    QTest::addColumn<bool>("root");
    QTest::addColumn<QString>("path");
    QTest::newRow("root missing") << true << m_top + u"missing/"_s;
    QTest::newRow("same root again") << true << m_top;
    QTest::newRow("same selection, without its slash") << false << m_top + u"alpha/d1"_s;
    QTest::newRow("selection above the root") << false << m_dir.path() + u'/';
    QTest::newRow("selection missing") << false << m_top + u"alpha/none/"_s;
    QTest::newRow("selection a link to a folder") << false << m_top + u"link/"_s;
}

void TestFolderTree::changeIgnored()
{
    QFETCH(bool, root);
    QFETCH(QString, path);
    m_tree->setRootfolder(m_top);
    m_tree->setSelectedfolder(m_top + u"alpha/d1/"_s);
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);
    if (root)
        m_tree->setRootfolder(path);
    else
        m_tree->setSelectedfolder(path);
    QCOMPARE(m_tree->rootfolder(), m_top);
    QCOMPARE(m_tree->selectedfolder(), m_top + u"alpha/d1/"_s);
    QCOMPARE(spy.count(), 0);
}

// The selection lands before the folders around it are loaded; collapsing one of its ancestors
// moves the selection up to it.
void TestFolderTree::selectBeforeLoaded()
{
    const QString deep = m_top + u"alpha/d1/d2/target/"_s;
    m_tree->setRootfolder(m_top);
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);
    m_tree->setSelectedfolder(deep);
    QCOMPARE(m_tree->selectedfolder(), deep);
    const QModelIndex current = m_view->currentIndex();
    QCOMPARE(current, itemAt(u"alpha/d1/d2/target/"_s));
    QVERIFY(m_view->selectionModel()->isSelected(current));
    m_view->collapse(itemAt(u"alpha/"_s));
    QCOMPARE(m_tree->selectedfolder(), m_top + u"alpha/"_s);
    QCOMPARE(spy, (QList<QVariantList>{{deep}, {m_top + u"alpha/"_s}}));
}

void TestFolderTree::lateLoadedSelectionStaysInView()
{
    m_tree->resize(200, 120);
    m_tree->setRootfolder(m_wide);
    m_tree->setSelectedfolder(m_wide + u"zz/zz/"_s);
    // Rows 40: the target and its parent, once their siblings are loaded and sorted.
    QTRY_COMPARE(m_view->currentIndex().row(), 40);
    QTRY_COMPARE(m_view->currentIndex().parent().row(), 40);
    QTRY_VERIFY(m_view->viewport()->rect().contains(m_view->visualRect(m_view->currentIndex())));
}

void TestFolderTree::reloadFollowsDisk()
{
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    QVERIFY(QDir(root).mkpath(u"keep/inner"_s) && QDir(root).mkpath(u"other/x"_s));
    m_tree->setRootfolder(root);
    m_tree->setSelectedfolder(root + u"keep/inner/"_s);
    QTRY_COMPARE(folderNames(), (QStringList{u"keep"_s, u"other"_s}));
    m_view->expand(itemAt(u"other"_s));
    QSignalSpy spy(m_tree.get(), &FolderTreeView::selectedFolderChanged);

    QVERIFY(QDir(root).mkdir(u"new"_s));
    m_tree->reload();
    QCOMPARE(m_view->currentIndex(), itemAt(u"keep/inner/"_s));
    QVERIFY(m_view->isExpanded(itemAt(u"other"_s)));
    QTRY_COMPARE(folderNames(), (QStringList{u"keep"_s, u"new"_s, u"other"_s}));
    QCOMPARE(spy.count(), 0);

    // With the selected folder and its parent gone, the selection falls back to the root.
    QVERIFY(QDir(root + u"keep"_s).removeRecursively());
    m_tree->reload();
    QCOMPARE(m_tree->selectedfolder(), root);
    QCOMPARE(spy, (QList<QVariantList>{{root}}));
    QTRY_COMPARE(folderNames(), (QStringList{u"new"_s, u"other"_s}));
}

QTEST_MAIN(TestFolderTree)
#include "tst_foldertree.moc"
