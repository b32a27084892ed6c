#include "WorkArea.h"

#include "BackgroundPool.h"
#include "CollationKeys.h"
#include "ColumnFit.h"
#include "DirListModel.h"
#include "FileIconCache.h"
#include "FolderCollection.h"
#include "FolderTreeView.h"
#include "Formatting.h"
#include "Icons.h"
#include "ItemMenu.h"
#include "KindNames.h"
#include "MainLayout.h"
#include "MapPane.h"
#include "Paths.h"
#include "SettingsStore.h"
#include "SortArrowStyle.h"
#include "SplitBar.h"
#include "TextTable.h"
#include "WarmHeap.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

#include <utility>

namespace {

constexpr int SplitterWidth = 30; // twips
constexpr int MapBarHeight = 5;   // pixels
// Neither the list nor the map gets smaller than this, in pixels.
constexpr int MinimumPane = 60;
// Enough for the view's layout of a folder of 200,000 entries.
constexpr std::size_t ListLayoutReserve = 8 << 20;
// How far Left and Right move the focused splitter bar: 10 pixels at 96 DPI.
constexpr int SplitterKeyStep = 150; // twips
// From this many entries on, reading and sorting a folder would hold the window past a frame.
constexpr quint64 ReadAsideFrom = 10000;

} // namespace

WorkArea::WorkArea(QMainWindow *window, QToolBar *functionBar, QToolBar *driveBar,
                   QStatusBar *statusBar, TwipsScale pixelTwips)
    : QWidget(window)
    , m_window(window)
    , m_functionBar(functionBar)
    , m_driveBar(driveBar)
    , m_statusBar(statusBar)
    , m_pixelTwips(pixelTwips)
{
    setObjectName(QStringLiteral("workArea"));
    m_folderTree = new FolderTreeView(this);
    m_folderTree->setEnabled(false);

    m_splitter = new QWidget(this);
    m_splitter->setObjectName(QStringLiteral("picSplitter"));
    m_splitter->setCursor(Qt::SplitHCursor);
    m_splitter->setAccessibleName(QStringLiteral("Barre de séparation"));
    // Between the tree and the list in the Tab order; Left and Right then move it.
    m_splitter->setFocusPolicy(Qt::TabFocus);
    m_splitter->installEventFilter(this);

    buildList();
    m_mapPane = new MapPane(KindNames(), this);
    m_mapPane->hide();
    m_mapBar = new SplitBar(this);
    m_mapBar->setObjectName(QStringLiteral("picMapSplitter"));
    m_mapBar->setAccessibleName(QStringLiteral("Barre de séparation de la carte"));
    m_mapBar->hide();
    connect(m_mapBar, &SplitBar::moved, this, &WorkArea::moveMapBar);
    // The first list sorted would otherwise load the collation rules on the window's thread.
    BackgroundPool::submit([] {
        CollationKeys::Prepare();
        return true;
    });
    warmListMemory();
    // The empty list starts sorted by name, ascending.
    m_sort.startUp();
    sortList();
}

void WorkArea::warmListMemory()
{
    void *reserve = WarmHeap::Reserve(ListLayoutReserve);
    BackgroundPool::submit([reserve] {
        WarmHeap::Release(reserve, ListLayoutReserve);
        return true;
    });
}

void WorkArea::buildList()
{
    m_listView = new QTreeView(this);
    m_listView->setObjectName(QStringLiteral("LVDirView"));
    m_listView->setAccessibleName(QStringLiteral("Liste du dossier"));
    m_listView->setRootIsDecorated(false);
    m_listView->setUniformRowHeights(true);
    m_listView->setAlternatingRowColors(false);
    m_listModel = new DirListModel(this);
    QStringList headings;
    for (int column = 0; column < DirListModel::ColumnCount; ++column)
        headings.append(Text(TextId(int(TextId::ColumnName) + column)));
    m_listModel->setHeaders(headings);
    m_listModel->setLinkedTip(Text(TextId::LinkedName));
    m_listModel->setExcludedTexts(Text(TextId::ExcludedSize), Text(TextId::ExcludedTip));
    m_listModel->setFolderIcon(FolderIcon());
    FileIconCache::instance().setFallback(FileIcon());
    m_listView->setModel(m_listModel);
    m_listView->setSortingEnabled(false); // the list's own direction rules apply, below
    QHeaderView *header = m_listView->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    auto *arrows = new SortArrowStyle;
    arrows->setParent(header); // the header does not own its style
    header->setStyle(arrows);
    connect(header, &QHeaderView::sectionClicked, this, &WorkArea::headingClicked);
    header->setStretchLastSection(false);
    // Until the user sizes a column: sizes and dates whole, the name taking what is left; a
    // percentage too narrow for its bar keeps its number.
    m_columnFit = new ColumnFit(m_listView, DirListModel::Name);
    connect(this, &WorkArea::listFilled, this, &WorkArea::fitColumns);
    // The percentage colours must read on the list's background, dark or light.
    m_listModel->setViewPalette(m_listView->palette());
    m_listView->installEventFilter(this);
    // A subfolder's key is its path already.
    ItemMenu::attach(m_listView, [this](const QModelIndex &index) {
        const QByteArray key = index.siblingAtColumn(0).data(DirListModel::KeyRole).toByteArray();
        return key.isEmpty() || index.siblingAtColumn(0).data(DirListModel::IsFolderRole).toBool()
                   ? key
                   : m_folderTree->selectedfolder() + key;
    });
    // The list takes the keys first, rather than the splitter before it in the Tab order.
    m_listView->setFocus();
}

void WorkArea::ArrangeControls()
{
    if (m_window->isMinimized())
        return;
    const int tx = m_pixelTwips.perPixelX();
    const int ty = m_pixelTwips.perPixelY();
    const QMenuBar *menu = m_window->menuBar();
    const int menuHeight = menu->isVisible() ? menu->height() : 0;
    MainLayout::Input in;
    in.clientWidth = m_window->width() * tx;
    in.clientHeight = (m_window->height() - menuHeight) * ty;
    in.functionBarHeight = m_functionBar->height() * ty;
    in.driveBarShown = m_driveBar->isVisibleTo(m_window);
    in.driveBarHeight = m_driveBar->height() * ty;
    in.statusBarShown = m_statusBar->isVisibleTo(m_window);
    in.statusBarHeight = m_statusBar->height() * ty;
    in.treeLeft = m_folderTree->x() * tx;
    in.treeWidth = m_folderTree->width() * tx;
    in.splitterWidth = SplitterWidth;
    in.listWidth = m_listView->width() * tx;
    const MainLayout::Placement out = MainLayout::Arrange(in);

    // This widget already starts below the bars Qt laid out; place relative to it.
    const int top = out.top / ty - (y() - menuHeight);
    const int room = out.room / ty;
    m_folderTree->setGeometry(m_folderTree->x(), top, m_folderTree->width(), room);
    m_splitter->setGeometry(out.splitterLeft / tx, top, std::max(1, SplitterWidth / tx), room);
    if (!m_mapShown) {
        m_listView->setGeometry(out.listLeft / tx, top, out.listWidth / tx, room);
        return;
    }
    const int map = std::clamp(m_mapHeight, std::min(MinimumPane, room / 2),
                               std::max(room - MapBarHeight - MinimumPane, room / 2));
    const int list = std::max(1, room - map - MapBarHeight);
    m_listView->setGeometry(out.listLeft / tx, top, out.listWidth / tx, list);
    m_mapBar->setGeometry(out.listLeft / tx, top + list, out.listWidth / tx, MapBarHeight);
    m_mapPane->setGeometry(out.listLeft / tx, top + list + MapBarHeight, out.listWidth / tx,
                           std::max(1, room - list - MapBarHeight));
}

void WorkArea::setMapShown(bool shown)
{
    m_mapShown = shown;
    m_mapPane->setVisible(shown);
    m_mapBar->setVisible(shown);
    ArrangeControls();
}

void WorkArea::moveMapBar(int dy)
{
    m_mapHeight = std::max(1, m_mapPane->height() - dy);
    ArrangeControls();
}

// The widest a value of the volume can be: its total, a whole percentage, a date in two digits.
void WorkArea::fitColumns()
{
    // The percentages give way from the bar's side whoever sized the column.
    m_columnFit->setPercentColumn(DirListModel::Percent);
    if (!m_columnFit->isActive())
        return;
    m_columnFit->setWidest(DirListModel::Size, SizeText(m_widestSize));
    m_columnFit->setWidest(DirListModel::Date,
                           DateText(QDateTime(QDate(2000, 12, 28), QTime(23, 59, 59))));
    m_columnFit->fit();
}

bool WorkArea::FillDirView(const FolderCollection &folders, PercentBase base, quint64 diskSize)
{
    m_widestSize = std::max(diskSize, folders.find(AddSlash(m_folderTree->rootfolder())).size());
    m_reading.cancel(); // a folder read aside before is no longer wanted
    m_fileToSelect.clear();
    m_listView->viewport()->unsetCursor();
    const QByteArray folder = AddSlash(m_folderTree->selectedfolder());
    const FolderRecord record = folders.find(folder);
    if (m_readAside && !record.isNull() &&
        quint64(record.fileCount()) + record.subfolderEntries() >= ReadAsideFrom) {
        readAside(folders, folder, m_listModel->readOptions(base, diskSize));
        return true;
    }
    // Filled again as the disk changed, the list does not make the pointer wait.
    if (!m_place)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool filled = m_listModel->fill(folders, folder, base, diskSize);
    if (filled) {
        m_sort.refill();
        sortList();
    }
    m_listHasRows = filled && m_listModel->rowCount() > 0;
    if (!m_place)
        QApplication::restoreOverrideCursor();
    restorePlace();
    emit listFilled(filled);
    return filled;
}

void WorkArea::refillInPlace(const FolderCollection &folders, PercentBase base, quint64 diskSize)
{
    const auto key = [](const QModelIndex &index) {
        const QByteArray name =
            index.siblingAtColumn(DirListModel::Name).data(DirListModel::KeyRole).toByteArray();
        return index.data(DirListModel::IsFolderRole).toBool() ? name + '/' : name;
    };
    Place place;
    for (const QModelIndex &index : m_listView->selectionModel()->selectedRows())
        place.selected.insert(key(index));
    if (m_listView->currentIndex().isValid())
        place.current = key(m_listView->currentIndex());
    place.scroll = m_listView->verticalScrollBar()->value();
    place.folder = m_folderTree->selectedfolder();
    m_place = std::move(place);
    FillDirView(folders, base, diskSize);
}

void WorkArea::restorePlace()
{
    if (!m_place)
        return;
    const Place place = *std::exchange(m_place, std::nullopt);
    if (place.folder != m_folderTree->selectedfolder())
        return;
    QItemSelection selection;
    QModelIndex current;
    for (int row = 0; row < m_listModel->rowCount(); ++row) {
        const QModelIndex index = m_listModel->index(row, DirListModel::Name);
        QByteArray name = index.data(DirListModel::KeyRole).toByteArray();
        if (index.data(DirListModel::IsFolderRole).toBool())
            name += '/';
        if (place.selected.contains(name))
            selection.select(index, index.siblingAtColumn(m_listModel->columnCount() - 1));
        if (name == place.current)
            current = index;
    }
    QItemSelectionModel *selected = m_listView->selectionModel();
    if (current.isValid())
        selected->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    selected->select(selection, QItemSelectionModel::ClearAndSelect);
    m_listView->verticalScrollBar()->setValue(place.scroll);
}

// The list empties at once and shows the folder in its sort once read; the rows are ordered on
// the reading thread too, so the window only swaps them in.
void WorkArea::readAside(const FolderCollection &folders, const QByteArray &folder,
                         const ListRows::Options &options)
{
    m_listModel->adopt(ListRows());
    m_listHasRows = false;
    emit listEmptied();
    m_listView->viewport()->setCursor(Qt::BusyCursor);
    m_sort.refill();
    const int column = m_sort.column() - 1;
    const bool sorted = column >= 0 && column < m_listModel->columnCount();
    const ListRows::Value value = DirListModel::SortValue(column);
    const bool ascending = m_sort.order() == Qt::AscendingOrder;
    m_reading.run([folders, folder, options, sorted, value, ascending](const std::atomic<bool> &) {
        auto rows = std::make_shared<ListRows>();
        if (!rows->read(folders, folder, options))
            return std::shared_ptr<ListRows>();
        if (sorted)
            rows->reorder(rows->orderBy(value, ascending));
        return rows;
    });
}

void WorkArea::showRead(std::shared_ptr<ListRows> rows)
{
    m_listView->viewport()->unsetCursor();
    const bool filled = rows != nullptr;
    if (filled)
        m_listModel->adopt(std::move(*rows));
    m_listView->header()->setSortIndicator(m_sort.column() - 1, m_sort.order());
    m_listHasRows = filled && m_listModel->rowCount() > 0;
    if (!m_fileToSelect.isEmpty())
        selectRow(std::exchange(m_fileToSelect, QByteArray()));
    restorePlace();
    emit listFilled(filled);
}

void WorkArea::setReadAside(bool allowed)
{
    if (!allowed)
        stopReading();
    m_readAside = allowed;
}

void WorkArea::stopReading()
{
    if (!m_reading.isBusy())
        return;
    m_reading.stop();
    m_listView->viewport()->unsetCursor();
}

void WorkArea::selectFile(const QByteArray &folder, const QByteArray &name)
{
    m_folderTree->setSelectedfolder(folder);
    // A large folder is still being read: its row is selected once it is shown.
    m_fileToSelect = m_reading.isBusy() ? name : QByteArray();
    selectRow(name);
}

void WorkArea::selectRow(const QByteArray &name)
{
    for (int row = 0; row < m_listModel->rowCount(); ++row) {
        const QModelIndex index = m_listModel->index(row, DirListModel::Name);
        if (!index.data(DirListModel::IsFolderRole).toBool() &&
            index.data(DirListModel::KeyRole).toByteArray() == name) {
            m_listView->setCurrentIndex(index);
            m_listView->scrollTo(index);
            return;
        }
    }
}

void WorkArea::upCommand()
{
    const QByteArray folder = m_folderTree->selectedfolder();
    if (folder == m_folderTree->rootfolder())
        return;
    const QByteArray parent = ParentFolder(folder);
    if (parent.isEmpty())
        return;
    m_folderTree->setSelectedfolder(parent);
    m_folderTree->reload();
}

void WorkArea::restoreWidths(const WindowSettings &stored)
{
    m_folderTree->resize(std::max(1, m_pixelTwips.toPixelsX(stored.folderSize)),
                         m_folderTree->height());
    // Widths the user left are his (the fit stops once a column is sized); with none stored, the
    // columns fit what they show.
    if (stored.columnsStored)
        for (int column = 0; column < DirListModel::ColumnCount; ++column)
            m_listView->header()->resizeSection(
                column, m_pixelTwips.toPixelsX(stored.columnWidths[size_t(column)]));
    fitColumns();
    m_mapHeight = std::max(1, m_pixelTwips.toPixelsY(stored.mapHeight));
    setMapShown(stored.mapShown);
}

void WorkArea::saveWidths(WindowSettings &settings) const
{
    const int tx = m_pixelTwips.perPixelX();
    settings.folderSize = m_folderTree->width() * tx;
    for (int column = 0; column < DirListModel::ColumnCount; ++column)
        settings.columnWidths[size_t(column)] = m_listView->header()->sectionSize(column) * tx;
    settings.mapShown = m_mapShown;
    settings.mapHeight = m_mapHeight * m_pixelTwips.perPixelY();
}

void WorkArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    ArrangeControls();
}

bool WorkArea::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_splitter) {
        // The splitter's own keys stop there; any other key goes on to the window's keys.
        if (handleSplitter(event) && event->type() == QEvent::KeyPress)
            return true;
    } else if (watched == m_listView && event->type() == QEvent::PaletteChange) {
        // The desktop changed its colours (a switch to a dark theme, say).
        m_listModel->setViewPalette(m_listView->palette());
    }
    return QWidget::eventFilter(watched, event);
}

// The splitter follows the screen cursor while a button is down on it, and moves by a step for
// Left and Right while it has the focus; a move that would leave no tree or too narrow a list is
// refused and not made up later.
bool WorkArea::handleSplitter(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_drag = QCursor::pos();
        m_dragging = true;
        return true;
    case QEvent::MouseMove: {
        if (!m_dragging)
            return false;
        const QPoint now = QCursor::pos();
        const int dx = (now.x() - m_drag.x()) * m_pixelTwips.perPixelX();
        m_drag = now;
        moveSplitter(dx);
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        return true;
    case QEvent::KeyPress: {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        if (key->key() == Qt::Key_Left)
            moveSplitter(-SplitterKeyStep);
        else if (key->key() == Qt::Key_Right)
            moveSplitter(SplitterKeyStep);
        else
            return false;
        return true;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        m_splitter->update();
        return false;
    case QEvent::Paint:
        // Shows where the focus is; unfocused, the bar is the window's background.
        if (m_splitter->hasFocus()) {
            QPainter painter(m_splitter);
            painter.fillRect(m_splitter->rect(), m_splitter->palette().color(QPalette::Highlight));
        }
        return false;
    default:
        return false;
    }
}

void WorkArea::moveSplitter(int dx)
{
    const int tx = m_pixelTwips.perPixelX();
    if (const auto width = MainLayout::DraggedTreeWidth(m_folderTree->width() * tx,
                                                        m_listView->width() * tx, dx)) {
        m_folderTree->resize(*width / tx, m_folderTree->height());
        ArrangeControls();
    }
}

void WorkArea::sortList()
{
    const int column = m_sort.column() - 1;
    m_listModel->sort(column, m_sort.order());
    m_listView->header()->setSortIndicator(column, m_sort.order());
}

void WorkArea::headingClicked(int logicalIndex)
{
    m_sort.headingClicked(logicalIndex + 1);
    sortList();
}
