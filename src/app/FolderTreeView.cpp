#include "FolderTreeView.h"

#include "Paths.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// Passes the root folder, everything below it and the root's ancestors, so that the view can take
// the root's parent as its own root and show the root as the only top item; the siblings of the
// root and of its ancestors are dropped, and so is every column but the name.
class FolderRootFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // Set before the source model it belongs to.
    void setSourceRoot(const QModelIndex &sourceRoot) { m_sourceRoot = sourceRoot; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override
    {
        for (QModelIndex up = sourceParent; up.isValid(); up = up.parent())
            if (m_sourceRoot == up)
                return true;
        const QModelIndex row = sourceModel()->index(sourceRow, 0, sourceParent);
        for (QModelIndex up = m_sourceRoot; up.isValid(); up = up.parent())
            if (up == row)
                return true;
        return false;
    }

    bool filterAcceptsColumn(int sourceColumn, const QModelIndex &) const override
    {
        return sourceColumn == 0;
    }

private:
    QPersistentModelIndex m_sourceRoot;
};

namespace {

// QFileSystemModel names folders without the trailing "/", except the root "/".
QString modelPath(const QString &folder)
{
    return folder.size() > 1 ? folder.chopped(1) : folder;
}

// An absolute path as a folder path: "." and ".." resolved, ending with "/"; "" for anything else.
QString normalFolder(const QString &path)
{
    return QDir::isAbsolutePath(path) ? AddSlash(QDir::cleanPath(path)) : QString();
}

} // namespace

FolderTreeView::FolderTreeView(QWidget *parent)
    : QWidget(parent)
    , m_view(new QTreeView(this))
    , m_filter(new FolderRootFilter(this))
    , m_scrollTimer(new QTimer(this))
    , m_root(u"/"_s)
    , m_selected(u"/"_s)
{
    setObjectName(u"FolderTreeview"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    setAccessibleName(u"Arborescence des dossiers"_s);
    m_view->setAccessibleName(accessibleName());
    m_view->setHeaderHidden(true);
    // Long names get a horizontal scroll bar rather than being cut.
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setModel(m_filter);

    QItemSelectionModel *selection = m_view->selectionModel();
    connect(selection, &QItemSelectionModel::currentChanged, this,
            &FolderTreeView::userChangedCurrent);
    // A Ctrl+click would leave the tree with nothing selected; a folder tree always has a
    // selection.
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this, selection] {
        if (!selection->hasSelection() && selection->currentIndex().isValid())
            selection->select(selection->currentIndex(), QItemSelectionModel::Select);
    });
    connect(m_view, &QTreeView::collapsed, this, &FolderTreeView::collapsedFolder);

    // Folders arrive from a worker thread and are sorted afterwards, moving the selected row.
    m_scrollTimer->setSingleShot(true);
    m_scrollTimer->setInterval(0);
    connect(m_scrollTimer, &QTimer::timeout, this, [this] {
        if (m_followSelection && m_view->currentIndex().isValid())
            m_view->scrollTo(m_view->currentIndex());
    });
    const auto followLater = [this] {
        if (m_followSelection)
            m_scrollTimer->start();
    };
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, followLater);
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, followLater);
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    for (QScrollBar *bar : {m_view->verticalScrollBar(), m_view->horizontalScrollBar()})
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this] { m_followSelection = false; });

    rebuild({});
    showSelection();
    setEnabled(false);
}

void FolderTreeView::setRootfolder(const QString &root)
{
    const QString folder = normalFolder(root);
    if (folder.isEmpty() || folder == m_root)
        return;
    const QFileInfo info(modelPath(folder));
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return;
    m_root = folder;
    rebuild({});
    changeSelection(m_root);
}

void FolderTreeView::setSelectedfolder(const QString &path)
{
    const QString folder = normalFolder(path);
    if (isShownFolder(folder))
        changeSelection(folder);
}

void FolderTreeView::reload()
{
    QStringList expanded;
    collectExpanded(m_view->rootIndex(), expanded);
    rebuild(expanded);
    QString folder = m_selected;
    while (folder.size() > m_root.size() && !isShownFolder(folder))
        folder = ParentFolder(folder);
    changeSelection(folder);
}

bool FolderTreeView::eventFilter(QObject *watched, QEvent *event)
{
    // Once the user works the tree, folders loading late no longer pull it back to the selection.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        m_followSelection = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// A fresh model reads every folder from disk again; QFileSystemModel offers no other way.
void FolderTreeView::rebuild(const QStringList &expanded)
{
    QFileSystemModel *old = m_model;
    m_model = new QFileSystemModel(this);
    m_model->setOption(QFileSystemModel::DontWatchForChanges);
    m_model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    const QString rootPath = modelPath(m_root);
    m_model->setRootPath(rootPath);
    // Missing folders give an invalid index, and then the filter passes nothing: an empty tree.
    const QModelIndex sourceRoot = m_model->index(rootPath);
    m_filter->setSourceRoot(sourceRoot);
    m_filter->setSourceModel(m_model);
    delete old;

    m_view->setRootIndex(m_filter->mapFromSource(sourceRoot.parent()));
    m_view->expand(m_filter->mapFromSource(sourceRoot));
    for (const QString &folder : expanded)
        if (isShownFolder(folder))
            m_view->expand(m_filter->mapFromSource(m_model->index(modelPath(folder))));
}

void FolderTreeView::changeSelection(const QString &folder)
{
    const bool changed = folder != m_selected;
    m_selected = folder;
    showSelection();
    if (changed)
        emit selectedFolderChanged(m_selected);
}

// QFileSystemModel::index(path) creates the nodes down to the folder on the spot, so the
// selection lands even while the folders around it are still being listed.
void FolderTreeView::showSelection()
{
    const QModelIndex index = m_filter->mapFromSource(m_model->index(modelPath(m_selected)));
    if (!index.isValid())
        return;
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_view->scrollTo(index); // which expands the ancestors too
    m_followSelection = true;
}

void FolderTreeView::userChangedCurrent(const QModelIndex &current)
{
    if (!current.isValid())
        return;
    const QString folder = folderPath(current);
    if (folder != m_selected) {
        m_selected = folder;
        emit selectedFolderChanged(m_selected);
    }
}

// As in other folder trees, collapsing the selection's ancestor moves the selection to it, so the
// selected folder never hides.
void FolderTreeView::collapsedFolder(const QModelIndex &index)
{
    for (QModelIndex up = m_view->currentIndex().parent(); up.isValid(); up = up.parent())
        if (up == index) {
            m_view->setCurrentIndex(index);
            return;
        }
}

void FolderTreeView::collectExpanded(const QModelIndex &parent, QStringList &folders) const
{
    for (int row = 0; row < m_filter->rowCount(parent); ++row) {
        const QModelIndex index = m_filter->index(row, 0, parent);
        if (m_view->isExpanded(index)) {
            folders.append(folderPath(index));
            collectExpanded(index, folders);
        }
    }
}

// The root, or a folder below it reached through real folders only: the tree leaves links out,
// and QFileSystemModel::index(path) would otherwise show one.
bool FolderTreeView::isShownFolder(const QString &folder) const
{
    if (!folder.startsWith(m_root) || !QFileInfo(modelPath(m_root)).isDir())
        return false;
    // Checked without the trailing "/", which would make the link's target answer.
    for (qsizetype slash = folder.indexOf(u'/', m_root.size()); slash >= 0;
         slash = folder.indexOf(u'/', slash + 1)) {
        const QFileInfo step(folder.left(slash));
        if (!step.isDir() || step.isSymLink())
            return false;
    }
    return true;
}

QString FolderTreeView::folderPath(const QModelIndex &index) const
{
    return AddSlash(m_model->filePath(m_filter->mapToSource(index)));
}
