#include "FolderTreeView.h"

#include <QDir>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <unistd.h>

using namespace Qt::StringLiterals;

class TestFolderTree : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void rootShowsFoldersOnly();
    void rootUnchanged_data();
    void rootUnchanged();
    void rootWithoutPermission();
    void selectBeforeLoaded_data();
    void selectBeforeLoaded();
    void selectionIgnored_data();
    void selectionIgnored();
    void lateLoadedSelectionStaysInView();
    void clickSignalsOncePerChange();
    void reloadFollowsDisk();

private:
    static QTreeView *shownView(FolderTreeView &tree);
    // Items go by their path below the root item ("alpha/d1/"); invalid while not loaded.
    static QModelIndex itemAt(const QTreeView *view, const QString &relative);
    static QString relativePath(const QTreeView *view, QModelIndex index);
    static QStringList folderNames(const QTreeView *view, const QString &relative);

    QTemporaryDir m_dir;
    QString m_top;  // folders, a hidden one, a non-ASCII name, a file and a link to a folder
    QString m_wide; // 40 folders sorted ahead of the target at each of two levels
    const QStringList m_topFolders{u".hidden"_s, u"Données"_s, u"alpha"_s, u"beta"_s};
};

void TestFolderTree::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_top = m_dir.path() + u"/top/"_s;
    m_wide = m_dir.path() + u"/wide/"_s;
    QDir dir(m_dir.path());
    for (const QString &folder : {u"top/alpha/d1/d2/target"_s, u"top/beta"_s, u"top/.hidden/inner"_s,
                                  u"top/Données/sub"_s, u"wide/zz/zz"_s})
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
QTreeView *TestFolderTree::shownView(FolderTreeView &tree)
{
    tree.show();
    return QTest::qWaitForWindowExposed(&tree) ? tree.findChild<QTreeView *>() : nullptr;
}

QModelIndex TestFolderTree::itemAt(const QTreeView *view, const QString &relative)
{
    const QAbstractItemModel *model = view->model();
    QModelIndex index = model->index(0, 0, view->rootIndex());
    for (const QString &name : relative.split(u'/', Qt::SkipEmptyParts)) {
        const QModelIndex parent = index;
        index = {};
        for (int row = 0; row < model->rowCount(parent) && !index.isValid(); ++row)
            if (model->index(row, 0, parent).data().toString() == name)
                index = model->index(row, 0, parent);
    }
    return index;
}

QString TestFolderTree::relativePath(const QTreeView *view, QModelIndex index)
{
    QString path;
    for (; index.isValid() && index.parent() != view->rootIndex(); index = index.parent())
        path.prepend(index.data().toString() + u'/');
    return path;
}

QStringList TestFolderTree::folderNames(const QTreeView *view, const QString &relative)
{
    const QModelIndex parent = itemAt(view, relative);
    QStringList names;
    for (int row = 0; parent.isValid() && row < view->model()->rowCount(parent); ++row)
        names.append(view->model()->index(row, 0, parent).data().toString());
    names.sort();
    return names;
}

void TestFolderTree::rootShowsFoldersOnly()
{
    FolderTreeView tree;
    QCOMPARE(tree.objectName(), u"FolderTreeview"_s);
    QVERIFY(!tree.isEnabled());
    QCOMPARE(tree.rootfolder(), u"/"_s);
    QCOMPARE(tree.selectedfolder(), u"/"_s);
    QTreeView *view = shownView(tree);
    QVERIFY(view);
    QCOMPARE(view->currentIndex().data().toString(), u"/"_s);

    QSignalSpy spy(&tree, &FolderTreeView::selectedFolderChanged);
    tree.setRootfolder(m_top);
    QCOMPARE(tree.rootfolder(), m_top);
    QCOMPARE(tree.selectedfolder(), m_top);
    QCOMPARE(spy, (QList<QVariantList>{{m_top}}));
    // The root is the one top item, selected; below it folders only, links and files left out.
    QCOMPARE(view->model()->rowCount(view->rootIndex()), 1);
    QCOMPARE(view->currentIndex(), itemAt(view, {}));
    QCOMPARE(view->currentIndex().data().toString(), u"top"_s);
    QCOMPARE(view->model()->columnCount(view->currentIndex()), 1);
    QTRY_COMPARE(folderNames(view, {}), m_topFolders);
    view->expand(itemAt(view, u".hidden"_s));
    QTRY_COMPARE(folderNames(view, u".hidden"_s), QStringList{u"inner"_s});

    // Once the root's own parent is listed too, its other folders stay out.
    const auto *model = tree.findChild<QFileSystemModel *>();
    view->model()->fetchMore(view->rootIndex());
    const int siblings = int(QDir(m_dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    QTRY_COMPARE(model->rowCount(model->index(m_dir.path())), siblings);
    QCOMPARE(view->model()->rowCount(view->rootIndex()), 1);
}

void TestFolderTree::rootUnchanged_data()
{
    QTest::addColumn<QString>("root");
    QTest::newRow("missing") << m_top + u"missing/"_s;
    QTest::newRow("file") << m_top + u"file.txt/"_s;
    QTest::newRow("relative") << u"top/"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("same root again") << m_top + u"alpha/"_s;
}

void TestFolderTree::rootUnchanged()
{
    QFETCH(QString, root);
    FolderTreeView tree;
    tree.setRootfolder(m_top + u"alpha/"_s);
    tree.setSelectedfolder(m_top + u"alpha/d1/"_s);
    QSignalSpy spy(&tree, &FolderTreeView::selectedFolderChanged);
    tree.setRootfolder(root);
    QCOMPARE(tree.rootfolder(), m_top + u"alpha/"_s);
    QCOMPARE(tree.selectedfolder(), m_top + u"alpha/d1/"_s);
    const QTreeView *view = tree.findChild<QTreeView *>();
    QCOMPARE(relativePath(view, view->currentIndex()), u"d1/"_s);
    QCOMPARE(spy.count(), 0);
}

void TestFolderTree::rootWithoutPermission()
{
    if (geteuid() == 0)
        QSKIP("running as root: every folder is readable");
    const QString locked = m_dir.path() + u"/locked/"_s;
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QFile::setPermissions(locked, QFile::WriteOwner));
    FolderTreeView tree;
    tree.setRootfolder(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(tree.rootfolder(), u"/"_s);
}

void TestFolderTree::selectBeforeLoaded_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("root itself") << QString();
    QTest::newRow("deep") << u"alpha/d1/d2/target/"_s;
    QTest::newRow("hidden") << u".hidden/inner/"_s;
    QTest::newRow("non-ASCII name") << u"Données/sub/"_s;
}

void TestFolderTree::selectBeforeLoaded()
{
    QFETCH(QString, relative);
    FolderTreeView tree;
    QTreeView *view = shownView(tree);
    QVERIFY(view);
    tree.setRootfolder(m_top);
    QSignalSpy spy(&tree, &FolderTreeView::selectedFolderChanged);
    tree.setSelectedfolder(m_top + relative);
    QCOMPARE(tree.selectedfolder(), m_top + relative);
    QCOMPARE(spy, relative.isEmpty() ? QList<QVariantList>() : QList<QVariantList>{{m_top + relative}});
    const QModelIndex current = view->currentIndex();
    QCOMPARE(relativePath(view, current), relative);
    QVERIFY(view->selectionModel()->isSelected(current));
    for (QModelIndex up = current.parent(); up.isValid() && up != view->rootIndex(); up = up.parent())
        QVERIFY(view->isExpanded(up));
    // Loading the folders around it leaves the selection where it is.
    QTRY_COMPARE(folderNames(view, {}), m_topFolders);
    QCOMPARE(relativePath(view, view->currentIndex()), relative);

    // Collapsing a folder above the selection moves the selection up to it.
    if (relative.isEmpty())
        return;
    const QString top = relative.section(u'/', 0, 0) + u'/';
    view->collapse(itemAt(view, top));
    QCOMPARE(tree.selectedfolder(), m_top + top);
    QCOMPARE(spy.count(), top == relative ? 1 : 2);
}

void TestFolderTree::selectionIgnored_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("above the root") << m_dir.path() + u'/';
    QTest::newRow("missing") << m_top + u"alpha/none/"_s;
    QTest::newRow("file") << m_top + u"file.txt/"_s;
    QTest::newRow("link to a folder") << m_top + u"link/"_s;
    QTest::newRow("through a link") << m_top + u"link/d1/"_s;
    QTest::newRow("relative") << u"alpha/"_s;
}

void TestFolderTree::selectionIgnored()
{
    QFETCH(QString, path);
    FolderTreeView tree;
    QTreeView *view = shownView(tree);
    QVERIFY(view);
    tree.setRootfolder(m_top);
    tree.setSelectedfolder(m_top + u"beta/"_s);
    QSignalSpy spy(&tree, &FolderTreeView::selectedFolderChanged);
    tree.setSelectedfolder(path);
    QCOMPARE(tree.selectedfolder(), m_top + u"beta/"_s);
    QCOMPARE(relativePath(view, view->currentIndex()), u"beta/"_s);
    QCOMPARE(spy.count(), 0);
    QTRY_COMPARE(folderNames(view, {}), m_topFolders);
}

void TestFolderTree::lateLoadedSelectionStaysInView()
{
    FolderTreeView tree;
    tree.resize(200, 120);
    QTreeView *view = shownView(tree);
    QVERIFY(view);
    tree.setRootfolder(m_wide);
    tree.setSelectedfolder(m_wide + u"zz/zz/"_s);
    // Rows 40: the target and its parent, once their siblings are loaded and sorted.
    QTRY_COMPARE(view->currentIndex().row(), 40);
    QTRY_COMPARE(view->currentIndex().parent().row(), 40);
    QTRY_VERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));
}

void TestFolderTree::clickSignalsOncePerChange()
{
    FolderTreeView tree;
    QTreeView *view = shownView(tree);
    QVERIFY(view);
    tree.setRootfolder(m_top);
    QTRY_COMPARE(folderNames(view, {}), m_topFolders);
    QSignalSpy spy(&tree, &FolderTreeView::selectedFolderChanged);
    const QPoint beta = view->visualRect(itemAt(view, u"beta"_s)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, beta); // disabled: nothing happens
    QCOMPARE(tree.selectedfolder(), m_top);
    QCOMPARE(view->currentIndex(), itemAt(view, {}));
    QCOMPARE(spy.count(), 0);

    tree.setEnabled(true);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, beta);
    QCOMPARE(tree.selectedfolder(), m_top + u"beta/"_s);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, beta);
    tree.setSelectedfolder(m_top + u"beta"_s);
    // Ctrl+click on the selected folder would deselect it in a plain view.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, beta);
    QVERIFY(view->selectionModel()->isSelected(itemAt(view, u"beta"_s)));
    tree.setSelectedfolder(m_top + u"alpha/"_s);
    QCOMPARE(spy, (QList<QVariantList>{{m_top + u"beta/"_s}, {m_top + u"alpha/"_s}}));
}

void TestFolderTree::reloadFollowsDisk()
{
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    QVERIFY(QDir(root).mkpath(u"keep/inner"_s) && QDir(root).mkpath(u"other/x"_s));
    FolderTreeView tree;
    QTreeView *view = shownView(tree);
    QVERIFY(view);
    tree.setRootfolder(root);
    tree.setSelectedfolder(root + u"keep/inner/"_s);
    QTRY_COMPARE(folderNames(view, {}), (QStringList{u"keep"_s, u"other"_s}));
    view->expand(itemAt(view, u"other"_s));
    QSignalSpy spy(&tree, &FolderTreeView::selectedFolderChanged);

    QVERIFY(QDir(root).mkdir(u"new"_s));
    tree.reload();
    QCOMPARE(tree.selectedfolder(), root + u"keep/inner/"_s);
    QCOMPARE(relativePath(view, view->currentIndex()), u"keep/inner/"_s);
    QVERIFY(view->isExpanded(itemAt(view, u"other"_s)));
    QTRY_COMPARE(folderNames(view, {}), (QStringList{u"keep"_s, u"new"_s, u"other"_s}));
    QCOMPARE(spy.count(), 0);

    // With the selected folder and its parent gone, the selection falls back to the root.
    QVERIFY(QDir(root + u"keep"_s).removeRecursively());
    tree.reload();
    QCOMPARE(tree.selectedfolder(), root);
    QCOMPARE(spy, (QList<QVariantList>{{root}}));
    QTRY_COMPARE(folderNames(view, {}), (QStringList{u"new"_s, u"other"_s}));
}

QTEST_MAIN(TestFolderTree)
#include "tst_foldertree.moc"
