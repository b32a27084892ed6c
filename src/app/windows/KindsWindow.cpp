#include "KindsWindow.h"

#include "ColumnFit.h"
#include "FormatText.h"
#include "Formatting.h"
#include "ItemMenu.h"
#include "KindNames.h"
#include "KindsModel.h"
#include "SearchModel.h"
#include "TextTable.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The files of a kind listed, the biggest first; the line above says how many there are in all.
constexpr size_t KeptFiles = 1000;
// A count shorter than this shows its result at once; a longer one says it is under way.
constexpr int SlowCountMs = 300;

} // namespace

KindsWindow::KindsWindow(QWidget *parent)
    : QDialog(parent)
    , m_folderLine(new QLabel(this))
    , m_busy(new QProgressBar(this))
    , m_slowCount(new QTimer(this))
    , m_kindsView(new QTreeView(this))
    , m_model(new KindsModel(this))
    , m_sorted(new QSortFilterProxyModel(this))
    , m_filesLine(new QLabel(this))
    , m_filesView(new QTreeView(this))
    , m_files(new SearchModel(this))
    , m_counting([this](KindCensus census) { counted(std::move(census)); })
    , m_listing([this](SearchResult result) { listed(std::move(result)); })
{
    setObjectName(QStringLiteral("frmKinds"));
    setWindowTitle(Text(TextId::KindsTitle));
    setModal(false);
    resize(640, 520);

    m_folderLine->setObjectName(QStringLiteral("lblKindsFolder"));
    m_folderLine->setTextFormat(Qt::PlainText);
    m_busy->setObjectName(QStringLiteral("barKindsCounting"));
    m_busy->setRange(0, 0); // busy: how long the count takes is not known beforehand
    m_busy->setTextVisible(false);
    m_busy->setMaximumHeight(m_folderLine->sizeHint().height());
    m_busy->hide();
    m_slowCount->setSingleShot(true);
    m_slowCount->setInterval(SlowCountMs);
    connect(m_slowCount, &QTimer::timeout, this, &KindsWindow::showCounting);
    nameSizes();
    m_model->setNames(KindNames(), Text(TextId::KindsNoExtension));
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(KindsModel::SortRole);
    m_sorted->setSortLocaleAware(true);
    m_kindsView->setObjectName(QStringLiteral("LVKinds"));
    m_kindsView->setAccessibleName(Text(TextId::KindsTreeName));
    m_kindsView->setUniformRowHeights(true);
    m_kindsView->setModel(m_sorted);
    m_kindsView->setSortingEnabled(true);
    m_kindsView->sortByColumn(KindsModel::Size, Qt::DescendingOrder);
    m_kindsView->header()->resizeSection(KindsModel::Name, 220);
    // Room for a volume's total in bytes, as the list shows them.
    m_kindsView->header()->resizeSection(KindsModel::Size, 150);
    m_kindsFit = new ColumnFit(m_kindsView, KindsModel::Name);
    m_kindsFit->setPercentColumn(KindsModel::Share);
    m_model->setViewPalette(m_kindsView->palette());

    m_filesLine->setObjectName(QStringLiteral("lblKindFiles"));
    m_filesLine->setTextFormat(Qt::PlainText);
    m_filesLine->setWordWrap(true);
    m_filesView->setObjectName(QStringLiteral("LVKindFiles"));
    m_filesView->setRootIsDecorated(false);
    m_filesView->setUniformRowHeights(true);
    m_filesView->setModel(m_files);
    m_filesView->header()->resizeSection(SearchModel::Name, 200);
    m_filesView->header()->resizeSection(SearchModel::Folder, 220);
    m_filesFit = new ColumnFit(m_filesView, SearchModel::Folder);
    ItemMenu::attach(m_filesView, [](const QModelIndex &index) {
        return index.data(SearchModel::FolderPathRole).toByteArray() +
               index.data(SearchModel::NameRole).toByteArray();
    });

    auto *lower = new QWidget(this);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(m_filesLine);
    lowerLayout->addWidget(m_filesView, 1);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("picKindsSplitter"));
    split->setChildrenCollapsible(false);
    split->addWidget(m_kindsView);
    split->addWidget(lower);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_folderLine);
    layout->addWidget(m_busy);
    layout->addWidget(split, 1);

    connect(m_kindsView, &QAbstractItemView::activated, this, &KindsWindow::listFiles);
    connect(m_kindsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KindsWindow::selectionMoved);
    connect(m_filesView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    emit fileChosen(current.data(SearchModel::FolderPathRole).toByteArray(),
                                    current.data(SearchModel::NameRole).toByteArray());
            });
}

void KindsWindow::setFolder(std::shared_ptr<const DriveScan> scan, WalkSink::FolderId folder,
                            const QByteArray &path)
{
    // Records about to go must be read no more: the work under way is waited for. Otherwise the
    // newer count only supersedes it, as waiting could hold the window until the pool's threads,
    // busy with other work, took up the cancelled job.
    if (!scan) {
        m_counting.stop();
        m_listing.stop();
    } else {
        m_listing.cancel();
    }
    m_scan = std::move(scan);
    m_folder = folder;
    m_path = path;
    m_files->clear();
    m_filesLine->clear();
    if (m_scan) {
        count();
    } else {
        m_slowCount->stop();
        m_busy->hide();
        m_model->setCensus({});
        m_folderLine->clear();
        selectionMoved();
    }
}

void KindsWindow::setSizeMeasure(SizeMeasure measure)
{
    if (measure == m_measure)
        return;
    m_measure = measure;
    nameSizes();
    if (m_scan)
        setFolder(m_scan, m_folder, m_path);
}

// The sizes' heading says which measure they are in.
void KindsWindow::nameSizes()
{
    const QString size =
        Text(m_measure == SizeMeasure::OnDisk ? TextId::ColumnOnDisk : TextId::ColumnSize);
    m_model->setHeaders({Text(TextId::KindsKindColumn), Text(TextId::KindsCountColumn), size,
                         Text(TextId::ColumnPercent)});
    using Field = SearchModel::Field;
    m_files->setFields({Field::Name, Field::Folder,
                        m_measure == SizeMeasure::OnDisk ? Field::OnDisk : Field::Size,
                        Field::Date});
    m_files->setHeaders({Text(TextId::ColumnName), Text(TextId::SearchFolderColumn), size,
                         Text(TextId::ColumnDate)});
}

void KindsWindow::count()
{
    m_counting.run([scan = m_scan, folder = m_folder,
                    measure = m_measure](const std::atomic<bool> &cancelled) {
        return CountKinds(*scan, folder, measure, &cancelled);
    });
    if (m_busy->isHidden())
        m_slowCount->start();
    else
        showCounting(); // of the newer folder
}

// What the window showed was of another folder or measure: it makes way for the sign that the
// new count is under way.
void KindsWindow::showCounting()
{
    if (!m_counting.isBusy())
        return;
    m_model->setCensus({});
    selectionMoved();
    m_folderLine->setText(FormatText(Text(TextId::KindsCounting), QFile::decodeName(m_path)));
    m_busy->show();
}

void KindsWindow::counted(KindCensus census)
{
    m_slowCount->stop();
    m_busy->hide();
    m_folderLine->setText(
        FormatText(Text(TextId::KindsFolder), QFile::decodeName(m_path), census.count,
                   census.bytes == 0 ? QStringLiteral("0") : SizeText(census.bytes).trimmed()));
    m_model->setCensus(std::move(census));
    m_kindsFit->fit();
    selectionMoved(); // a new count selects nothing
}

void KindsWindow::listFiles(const QModelIndex &row)
{
    if (!m_scan || !row.isValid())
        return;
    const QModelIndex name = row.siblingAtColumn(KindsModel::Name);
    const auto kind = FileKind(name.data(KindsModel::KindRole).toInt());
    const QVariant extension = name.data(KindsModel::ExtensionRole);
    m_listedName = name.data().toString();
    m_listing.run([scan = m_scan, folder = m_folder, measure = m_measure, kind,
                   extension = extension.isNull() ? std::optional<QByteArray>()
                                                  : std::optional(extension.toByteArray())](
                      const std::atomic<bool> &cancelled) {
        return FilesOfKind(*scan, folder, kind, extension, measure, KeptFiles, &cancelled);
    });
}

void KindsWindow::listed(SearchResult result)
{
    m_filesLine->setText(FormatText(Text(TextId::KindsFilesOf), m_listedName, result.found));
    m_files->setResult(*m_scan, std::move(result));
    m_filesFit->fit();
}

void KindsWindow::selectionMoved()
{
    const QModelIndexList rows = m_kindsView->selectionModel()->selectedRows();
    emit kindSelected(rows.isEmpty() ? -1 : rows.front().data(KindsModel::KindRole).toInt());
}

void KindsWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    selectionMoved();
}

void KindsWindow::hideEvent(QHideEvent *event)
{
    emit kindSelected(-1);
    QDialog::hideEvent(event);
}
