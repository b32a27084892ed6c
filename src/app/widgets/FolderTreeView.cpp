#include "FolderTreeView.h"

#include "DriveScan.h"
#include "ItemMenu.h"

#include "FileSystem.h"
#include "FolderTreeModel.h"
#include "Icons.h"
#include "Paths.h"
#include "UniqueFd.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// An absolute path as a folder path: "." and ".." resolved, ending with "/"; "" for anything else.
QByteArray normalFolder(const QByteArray &path)
{
    if (!path.startsWith('/'))
        return {};
    QByteArrayList names;
    for (const QByteArray &name : path.split('/')) {
        if (name == ".." && !names.isEmpty())
            names.removeLast();
        else if (!name.isEmpty() && name != "." && name != "..")
            names.append(name);
    }
    return AddSlash('/' + names.join('/'));
}

} // namespace

FolderTreeView::FolderTreeView(QWidget *parent)
    : QWidget(parent)
    , m_view(new QTreeView(this))
    , m_model(new FolderTreeModel(this))
    , m_scrollTimer(new QTimer(this))
    , m_root("/")
    , m_selected("/")
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
    m_view->header()->setResizeContentsPrecision(0);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_model->setFolderIcon(FolderIcon());
    m_view->setModel(m_model);

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

    // Folders arrive from a worker thread, moving the selected row.
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
    connect(m_model, &QAbstractItemModel::rowsInserted, this, followLater);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, followLater);
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    for (QScrollBar *bar : {m_view->verticalScrollBar(), m_view->horizontalScrollBar()})
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this] { m_followSelection = false; });

    ItemMenu::attach(m_view, [](const QModelIndex &index) {
        return index.data(FolderTreeModel::PathRole).toByteArray();
    });

    rebuild({});
    showSelection();
    setEnabled(false);
}

void FolderTreeView::setRootfolder(const QByteArray &root)
{
    if (m_records) {
        // A saved scan's root is its records', no path on this machine.
        if (AddSlash(root) != m_records->rootPath() || AddSlash(root) == m_root)
            return;
        m_root = AddSlash(root);
        rebuild({});
        changeSelection(m_root);
        return;
    }
    const QByteArray folder = normalFolder(root);
    if (folder.isEmpty() || folder == m_root)
        return;
    if (!UniqueFd(FileSystem::OpenFolder(folder)).isOpen() || !FileSystem::MayListFolder(folder))
        return;
    m_root = folder;
    rebuild({});
    changeSelection(m_root);
}

void FolderTreeView::setSelectedfolder(const QByteArray &path)
{
    const QByteArray folder = m_records ? AddSlash(path) : normalFolder(path);
    if (isShownFolder(folder))
        changeSelection(folder);
}

void FolderTreeView::reload()
{
    QByteArrayList expanded;
    collectExpanded({}, expanded);
    rebuild(expanded);
    QByteArray folder = m_selected;
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

void FolderTreeView::rebuild(const QByteArrayList &expanded)
{
    m_model->setRoot(m_root, m_records);
    m_view->expand(m_model->index(0, 0));
    for (const QByteArray &folder : expanded)
        if (isShownFolder(folder))
            m_view->expand(m_model->indexOf(folder));
}

void FolderTreeView::changeSelection(const QByteArray &folder)
{
    const bool changed = folder != m_selected;
    m_selected = folder;
    showSelection();
    if (changed)
        emit selectedFolderChanged(m_selected);
}

// The model adds the items down to the folder on the spot, so the selection lands even while the
// folders around it are still being listed.
void FolderTreeView::showSelection()
{
    const QModelIndex index = m_model->indexOf(m_selected);
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
    const QByteArray folder = m_model->pathOf(current);
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

void FolderTreeView::collectExpanded(const QModelIndex &parent, QByteArrayList &folders) const
{
    for (int row = 0; row < m_model->rowCount(parent); ++row) {
        const QModelIndex index = m_model->index(row, 0, parent);
        if (m_view->isExpanded(index)) {
            folders.append(m_model->pathOf(index));
            collectExpanded(index, folders);
        }
    }
}

// The root, or a folder below it reached through real folders only: the tree leaves links out.
bool FolderTreeView::isShownFolder(const QByteArray &folder) const
{
    if (!folder.startsWith(m_root))
        return false;
    if (m_records)
        return m_records->indexOf(AddSlash(folder)) >= 0;
    UniqueFd fd(FileSystem::OpenFolder(m_root));
    for (const QByteArray &name : folder.mid(m_root.size()).split('/'))
        if (fd.isOpen() && !name.isEmpty())
            fd.reset(FileSystem::OpenChild(fd.get(), name));
    return fd.isOpen();
}
