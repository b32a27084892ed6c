#include "BiggestWindow.h"

#include "BiggestModel.h"
#include "ColumnFit.h"
#include "FormatText.h"
#include "ItemMenu.h"
#include "TextTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The files kept and shown; the line above says how many the volume has in all.
constexpr size_t KeptFiles = 1000;
// Rows a first placement leaves room for, so that a list of a thousand reads without a squint.
constexpr int ShownRows = 24;
constexpr int FirstWidth = 780;
// Narrower than this, the folder column shows too little of its paths.
constexpr int SmallestWidth = 520;

} // namespace

BiggestWindow::BiggestWindow(QWidget *parent)
    : QDialog(parent)
    , m_count(new QLabel(this))
    , m_table(new QTreeView(this))
    , m_model(new BiggestModel(this))
    , m_sorted(new QSortFilterProxyModel(this))
    , m_computing([this](SearchResult result) { computed(std::move(result)); })
{
    setObjectName(QStringLiteral("frmBiggest"));
    setWindowTitle(Text(TextId::BiggestTitle));
    setModal(false);
    m_count->setObjectName(QStringLiteral("lblBiggestCount"));
    m_count->setText(Text(TextId::BiggestNoVolume));
    m_model->setHeaders({Text(TextId::ColumnName), Text(TextId::SearchFolderColumn),
                         Text(TextId::ColumnOnDisk), Text(TextId::ColumnSize),
                         Text(TextId::ColumnDate)});
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(BiggestModel::SortRole);
    m_sorted->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_sorted->setSortLocaleAware(true);
    m_table->setObjectName(QStringLiteral("LVBiggest"));
    m_table->setAccessibleName(Text(TextId::BiggestTitle));
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->header()->resizeSection(BiggestModel::Name, 200);
    m_table->header()->resizeSection(BiggestModel::Folder, 260);
    m_table->header()->resizeSection(BiggestModel::OnDisk, 110);
    m_table->header()->resizeSection(BiggestModel::Size, 110);
    // The biggest come first: the rows in view hold the widest sizes.
    m_fit = new ColumnFit(m_table, BiggestModel::Folder);
    sortByMeasure();
    m_count->setBuddy(m_table);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(m_table, 1);
    resize(FirstWidth, 560);

    ItemMenu::attach(m_table, [](const QModelIndex &index) {
        return index.data(BiggestModel::FolderPathRole).toByteArray() +
               index.data(BiggestModel::NameRole).toByteArray();
    });
    // A row the user picks is selected; the current row a view gives itself when it takes the
    // focus is not, and must not move the tree.
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_table->selectionModel()->selectedRows();
        if (!rows.isEmpty())
            emit fileChosen(rows.first().data(BiggestModel::FolderPathRole).toByteArray(),
                            rows.first().data(BiggestModel::NameRole).toByteArray());
    });
}

void BiggestWindow::setRecords(std::shared_ptr<const DriveScan> scan)
{
    if (scan != m_scan)
        m_computing.stop();
    m_scan = std::move(scan);
    if (!m_scan) {
        m_model->clear();
        m_count->setText(Text(TextId::BiggestNoVolume));
        return;
    }
    compute();
}

void BiggestWindow::setSizeMeasure(SizeMeasure measure)
{
    if (measure == m_measure)
        return;
    m_measure = measure;
    sortByMeasure();
    if (m_scan)
        compute();
}

// The measure's column, the biggest first: the order the files were picked in.
void BiggestWindow::sortByMeasure()
{
    m_table->sortByColumn(m_measure == SizeMeasure::OnDisk ? BiggestModel::OnDisk
                                                           : BiggestModel::Size,
                          Qt::DescendingOrder);
}

void BiggestWindow::compute()
{
    m_computing.run([scan = m_scan, measure = m_measure](const std::atomic<bool> &cancelled) {
        return BiggestFilesOf(*scan, measure, KeptFiles, &cancelled);
    });
}

void BiggestWindow::computed(SearchResult result)
{
    m_count->setText(
        FormatText(Text(TextId::BiggestCount), qint64(result.hits.size()), result.found));
    m_model->setResult(*m_scan, std::move(result));
    m_fit->fit();
}

QString BiggestWindow::countText() const
{
    return m_count->text();
}

void BiggestWindow::placeBeside(const QWidget &main)
{
    const QRect outer = main.frameGeometry();
    const QRect room = main.screen() ? main.screen()->availableGeometry() : outer;
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int rowsHeight = ShownRows * (m_table->fontMetrics().height() + 4);
    const int chrome = m_count->sizeHint().height() + m_table->header()->sizeHint().height() +
                       layout()->contentsMargins().top() + layout()->contentsMargins().bottom() +
                       layout()->spacing() + 2 * m_table->frameWidth() + titleBar;
    const int height = std::min(std::max(outer.height(), rowsHeight + chrome), room.height());
    int width = std::min(FirstWidth, room.width());
    int x = outer.right() + 1;
    if (x + width > room.right() + 1) {
        width = std::min(std::max(outer.width() / 2, SmallestWidth), room.width());
        x = outer.right() + 1 - width;
    }
    x = std::clamp(x, room.left(), room.right() + 1 - width);
    const int y = std::clamp(outer.top(), room.top(), room.bottom() + 1 - height);
    resize(width, height - titleBar);
    move(x, y);
}
