#include "DuplicatesWindow.h"

#include "ActTexts.h"
#include "ColumnFit.h"
#include "DuplicatesModel.h"
#include "FolderMatchesModel.h"
#include "FormatText.h"
#include "Formatting.h"
#include "ItemMenu.h"
#include "TextTable.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStorageInfo>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

using namespace Qt::StringLiterals;

namespace {

constexpr double MebiByte = 1048576.0;
// How often the bar follows the reading.
constexpr int TickMs = 100;
// A minimum being typed is searched once the typing pauses this long.
constexpr int TypingPauseMs = 400;
// File systems that can make two files share their blocks; others refuse it file by file.
const QStringList SharingFileSystems{u"btrfs"_s, u"xfs"_s, u"bcachefs"_s, u"ocfs2"_s};
// A name longer than this widens its column no further.
constexpr qsizetype LongestNameShown = 60;
// The names measured for the width of their column, of the longest in letters.
constexpr size_t MeasuredNames = 20;

QString Bytes(quint64 bytes)
{
    return AmountText(bytes, std::nullopt);
}

QTreeView *MakeTable(const char *name, const QString &accessibleName, QWidget *parent)
{
    auto *table = new QTreeView(parent);
    table->setObjectName(QLatin1StringView(name));
    table->setAccessibleName(accessibleName);
    table->setUniformRowHeights(true);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setAllColumnsShowFocus(true);
    return table;
}

} // namespace

// What a search found, made on the worker thread to be shown in one step.
struct DuplicatesWindow::Found
{
    std::shared_ptr<const DuplicatesModel::Rows> groups;
    std::shared_ptr<const FolderMatchesModel::Rows> folders;
    quint64 candidates = 0;
    quint32 unreadable = 0;
    std::vector<DuplicateResult::Unread> unreadSample;
    bool canShare = false;
    bool savedScan = false; // nothing was read: the files are on no disk of this machine
    // What the columns are fitted to, the copies folded or not: the names longest in letters,
    // to be measured in the window's font, and the biggest number.
    QStringList longNames;
    quint64 biggest = 0;
};

DuplicatesWindow::DuplicatesWindow(QWidget *parent)
    : QDialog(parent)
    , m_folderLine(new QLabel(this))
    , m_minimum(new QDoubleSpinBox(this))
    , m_searchButton(new QPushButton(this))
    , m_bar(new QProgressBar(this))
    , m_status(new QLabel(this))
    , m_tabs(new QTabWidget(this))
    , m_table(MakeTable("LVDuplicates", Text(TextId::DuplicatesTitle), this))
    , m_folderTable(
          MakeTable("LVDuplicateFolders", Text(TextId::DuplicatesFoldersTab).remove(u'&'), this))
    , m_groups(new DuplicatesModel(this))
    , m_folders(new FolderMatchesModel(this))
    , m_keep(new QComboBox(this))
    , m_trash(new QPushButton(Text(TextId::DuplicatesTrashButton), this))
    , m_delete(new QPushButton(Text(TextId::DuplicatesDeleteButton), this))
    , m_share(new QPushButton(Text(TextId::DuplicatesShareButton), this))
    , m_ticking(new QTimer(this))
    , m_typingPause(new QTimer(this))
    , m_searching([this](const std::shared_ptr<const Found> &found) { searched(found); })
{
    setObjectName(u"frmDuplicates"_s);
    setWindowTitle(Text(TextId::DuplicatesTitle));
    setModal(false);
    resize(1000, 600);

    m_folderLine->setObjectName(u"lblDuplicatesFolder"_s);
    m_folderLine->setTextFormat(Qt::PlainText);
    m_folderLine->setText(Text(TextId::BiggestNoVolume));
    auto *minimumLabel = new QLabel(Text(TextId::DuplicatesMinimum), this);
    minimumLabel->setBuddy(m_minimum);
    m_minimum->setObjectName(u"txtDuplicatesMinimum"_s);
    m_minimum->setAccessibleName(Text(TextId::DuplicatesMinimum).remove(u'&'));
    m_minimum->setDecimals(2);
    m_minimum->setRange(0, 1024 * 1024);
    m_minimum->setValue(1);
    m_minimum->setSuffix(Text(TextId::DuplicatesMinimumUnit));
    m_searchButton->setObjectName(u"btnDuplicatesSearch"_s);
    m_searchButton->setText(Text(TextId::DuplicatesSearch));
    m_searchButton->setAutoDefault(false);
    m_bar->setObjectName(u"barDuplicates"_s);
    m_bar->setTextVisible(false);
    m_bar->setMaximumHeight(m_status->sizeHint().height());
    m_bar->hide();
    m_status->setObjectName(u"lblDuplicatesStatus"_s);
    m_status->setTextFormat(Qt::PlainText);

    m_groups->setWords(
        {{Text(TextId::ColumnName), Text(TextId::SearchFolderColumn), Text(TextId::ColumnSize),
          Text(TextId::ColumnOnDisk), Text(TextId::ColumnDate), Text(TextId::ColumnCopies),
          Text(TextId::ColumnWaste)},
         [](quint64 copies) { return FormatText(Text(TextId::DuplicatesCopies), copies); },
         Text(TextId::DuplicatesShared),
         [](quint64 names) { return FormatText(Text(TextId::DuplicatesNames), names); },
         Text(TextId::DuplicatesSharedTip)});
    m_table->setModel(m_groups);
    // Two copies' folders often part near their ends.
    m_table->setTextElideMode(Qt::ElideMiddle);
    QHeaderView *header = m_table->header();
    header->resizeSection(DuplicatesModel::Name, 220);
    header->resizeSection(DuplicatesModel::Folder, 240);
    header->resizeSection(DuplicatesModel::Date, 140);
    m_fit = new ColumnFit(m_table, DuplicatesModel::Folder);
    m_fit->setWidest(DuplicatesModel::Date,
                     DateText(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58))));
    m_fit->setWidest(DuplicatesModel::Copies, Text(TextId::DuplicatesShared) + u", "_s +
                                                  FormatText(Text(TextId::DuplicatesNames), 9));
    ItemMenu::attach(m_table, [](const QModelIndex &index) {
        const QByteArray folder = index.data(DuplicatesModel::FolderPathRole).toByteArray();
        return folder.isEmpty() ? folder
                                : folder + index.data(DuplicatesModel::NameRole).toByteArray();
    });

    m_folders->setWords(
        {{Text(TextId::SearchFolderColumn), Text(TextId::ColumnIdentical),
          Text(TextId::ColumnCommon)},
         Text(TextId::DuplicatesBetween),
         [](quint64 percent) { return FormatText(Text(TextId::DuplicatesPercent), percent); }});
    m_folderTable->setModel(m_folders);
    // Where two long paths part is what tells them apart.
    m_folderTable->setTextElideMode(Qt::ElideMiddle);
    m_folderTable->header()->resizeSection(FolderMatchesModel::Folder, 560);
    m_folderFit = new ColumnFit(m_folderTable, FolderMatchesModel::Folder);
    ItemMenu::attach(m_folderTable, [](const QModelIndex &index) {
        return index.data(FolderMatchesModel::FolderPathRole).toByteArray();
    });

    auto *keepLabel = new QLabel(Text(TextId::DuplicatesKeep), this);
    keepLabel->setBuddy(m_keep);
    m_keep->setObjectName(u"cboDuplicatesKeep"_s);
    m_keep->setAccessibleName(Text(TextId::DuplicatesKeep).remove(u'&'));
    m_keep->addItems(
        {Text(TextId::KeepOldest), Text(TextId::KeepNewest), Text(TextId::KeepChosen)});
    m_trash->setObjectName(u"btnDuplicatesTrash"_s);
    m_delete->setObjectName(u"btnDuplicatesDelete"_s);
    m_share->setObjectName(u"btnDuplicatesShare"_s);
    for (QPushButton *button : {m_trash, m_delete, m_share})
        button->setAutoDefault(false);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(minimumLabel);
    searchRow->addWidget(m_minimum);
    searchRow->addStretch(1);
    searchRow->addWidget(m_searchButton);
    // The files' tab holds what acts on the groups picked in it.
    auto *files = new QWidget(this);
    auto *keepRow = new QHBoxLayout;
    keepRow->addWidget(keepLabel);
    keepRow->addWidget(m_keep);
    keepRow->addStretch(1);
    keepRow->addWidget(m_trash);
    keepRow->addWidget(m_delete);
    keepRow->addWidget(m_share);
    auto *filesLayout = new QVBoxLayout(files);
    filesLayout->addWidget(m_table, 1);
    filesLayout->addLayout(keepRow);
    m_tabs->setObjectName(u"tabDuplicates"_s);
    m_tabs->addTab(files, Text(TextId::DuplicatesFilesTab));
    m_tabs->addTab(m_folderTable, Text(TextId::DuplicatesFoldersTab));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_folderLine);
    layout->addLayout(searchRow);
    layout->addWidget(m_bar);
    layout->addWidget(m_status);
    layout->addWidget(m_tabs, 1);

    m_ticking->setInterval(TickMs);
    connect(m_ticking, &QTimer::timeout, this, &DuplicatesWindow::showProgress);
    m_typingPause->setSingleShot(true);
    m_typingPause->setInterval(TypingPauseMs);
    connect(m_typingPause, &QTimer::timeout, this, &DuplicatesWindow::search);
    connect(m_minimum, &QDoubleSpinBox::valueChanged, this, [this] {
        if (m_scan)
            m_typingPause->start();
    });
    connect(m_searchButton, &QPushButton::clicked, this,
            [this] { m_ticking->isActive() ? stopAsked() : search(); });
    // A row the user picks is selected; the current row a view gives itself when it takes the
    // focus is not, and must not move the tree.
    connect(
        m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this](const QItemSelection &selected) {
            const QModelIndexList picked = selected.indexes();
            if (!picked.isEmpty() && picked.first().data(DuplicatesModel::CopyRole).toInt() >= 0)
                emit fileChosen(picked.first().data(DuplicatesModel::FolderPathRole).toByteArray(),
                                picked.first().data(DuplicatesModel::NameRole).toByteArray());
            updateActions();
        });
    connect(m_folderTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                const QModelIndexList picked = selected.indexes();
                const QByteArray path =
                    picked.isEmpty()
                        ? QByteArray()
                        : picked.first().data(FolderMatchesModel::FolderPathRole).toByteArray();
                if (!path.isEmpty())
                    emit folderChosen(path);
            });
    connect(m_keep, &QComboBox::currentIndexChanged, this, &DuplicatesWindow::updateActions);
    connect(m_trash, &QPushButton::clicked, this, [this] { ask(CopyRemoval::Way::Trash); });
    connect(m_delete, &QPushButton::clicked, this, [this] { ask(CopyRemoval::Way::Delete); });
    connect(m_share, &QPushButton::clicked, this, [this] { ask(CopyRemoval::Way::Share); });
    showIdle();
    updateActions();
}

void DuplicatesWindow::setFolder(std::shared_ptr<const DriveScan> scan, WalkSink::FolderId folder,
                                 const QByteArray &path)
{
    if (!scan) {
        m_searching.stop();
        m_scan.reset();
        m_path.clear();
        m_found.reset();
        m_hasResult = false;
        m_groups->clear();
        m_folders->clear();
        showIdle();
        m_status->clear();
        m_folderLine->setText(Text(TextId::BiggestNoVolume));
        updateActions();
        return;
    }
    m_scan = std::move(scan);
    m_folder = folder;
    m_path = path;
    m_folderLine->setText(FormatText(Text(TextId::DuplicatesFolder), ShownPath(path)));
    search();
}

void DuplicatesWindow::search()
{
    m_typingPause->stop();
    if (!m_scan)
        return;
    m_found.reset();
    m_hasResult = false;
    m_groups->clear();
    m_folders->clear();
    auto progress = std::make_shared<DuplicateProgress>();
    m_progress = progress;
    DuplicateOptions options;
    options.minimumSize = quint64(std::llround(m_minimum->value() * MebiByte));
    options.measure = m_measure;
    m_searching.run([scan = m_scan, folder = m_folder, path = m_path, options,
                     progress](const std::atomic<bool> &cancelled) -> std::shared_ptr<const Found> {
        DuplicateResult result = FindDuplicates(*scan, folder, options, progress.get(), &cancelled);
        // Stopped, or stopped once found: what is left to do reads the records for nothing.
        if (!result.complete || cancelled.load())
            return nullptr;
        auto found = std::make_shared<Found>();
        found->savedScan = result.savedScan;
        found->candidates = result.candidates;
        found->unreadable = result.unreadable;
        found->unreadSample = std::move(result.unreadSample);
        found->folders = FolderMatchesModel::rowsOf(*scan, std::move(result.folders));
        found->groups = DuplicatesModel::rowsOf(*scan, std::move(result.groups));
        found->canShare = SharingFileSystems.contains(
            QString::fromLatin1(QStorageInfo(QFile::decodeName(path)).fileSystemType()));
        std::vector<const QByteArray *> names;
        for (const DuplicatesModel::Group &group : found->groups->groups) {
            found->biggest = std::max({found->biggest, group.waste[0], group.waste[1]});
            for (const DuplicateCopy &copy : group.group.copies)
                names.push_back(&copy.name);
        }
        const auto measured = std::min(names.size(), MeasuredNames);
        std::partial_sort(
            names.begin(), names.begin() + qsizetype(measured), names.end(),
            [](const QByteArray *a, const QByteArray *b) { return a->size() > b->size(); });
        for (size_t at = 0; at < measured; ++at)
            found->longNames << QFile::decodeName(
                names[at]->first(std::min(names[at]->size(), LongestNameShown)));
        return found;
    });
    m_since.start();
    m_searchButton->setText(Text(TextId::DuplicatesStop));
    m_searchButton->setEnabled(true);
    m_status->setToolTip({});
    m_bar->show();
    m_ticking->start();
    showProgress();
    updateActions();
}

void DuplicatesWindow::stopSearch()
{
    if (m_ticking->isActive())
        stopAsked();
}

// The search is let go of, not waited for: the window goes on while it ends. Records about to
// go are waited for in setFolder.
void DuplicatesWindow::stopAsked()
{
    m_searching.cancel();
    showIdle();
    m_status->setText(Text(TextId::DuplicatesStopped));
}

void DuplicatesWindow::showIdle()
{
    m_ticking->stop();
    m_bar->hide();
    m_searchButton->setText(Text(TextId::DuplicatesSearch));
    m_searchButton->setEnabled(m_scan != nullptr);
}

void DuplicatesWindow::showProgress()
{
    const quint64 toRead = m_progress->bytesToRead.load(std::memory_order_relaxed);
    const quint64 read = std::min(m_progress->bytesRead.load(std::memory_order_relaxed), toRead);
    m_status->setText(ReadingText(read, toRead, m_since.elapsed()));
    // Busy while the sizes are being compared, nothing read yet.
    m_bar->setRange(0, toRead == 0 ? 0 : 1000);
    if (toRead != 0)
        m_bar->setValue(int(read * 1000 / toRead));
}

void DuplicatesWindow::searched(const std::shared_ptr<const Found> &found)
{
    showIdle();
    if (!found) {
        m_status->setText(Text(TextId::DuplicatesStopped));
        return;
    }
    m_found = found;
    m_hasResult = true;
    m_groups->setRows(found->groups);
    m_folders->setRows(found->folders);
    showFound();
    // Room for the copies' rows, which are folded when the columns are fitted: the name's
    // indent, the widest size, a date.
    const QFontMetrics metrics = m_table->fontMetrics();
    QString widest;
    for (const QString &name : found->longNames)
        if (metrics.horizontalAdvance(name) > metrics.horizontalAdvance(widest))
            widest = name;
    const int space = std::max(1, metrics.horizontalAdvance(u' '));
    const int indent = 2 * m_table->indentation();
    m_fit->setWidest(DuplicatesModel::Name, widest + QString((indent + space - 1) / space, u' '));
    for (const int column :
         {DuplicatesModel::Size, DuplicatesModel::OnDisk, DuplicatesModel::Waste})
        m_fit->setWidest(column, SizeText(found->biggest));
    m_fit->fit();
    m_folderFit->fit();
    updateActions();
}

// How many groups, what they waste in the measure shown, how many files were compared and how
// many could not be; which, and why, in the tooltip.
void DuplicatesWindow::showFound()
{
    const Found &found = *m_found;
    if (found.savedScan) {
        m_status->setText(Text(TextId::DuplicatesSavedScan));
        return;
    }
    const quint64 groups = found.groups->groups.size();
    const QString freed = Bytes(found.groups->waste[m_measure == SizeMeasure::OnDisk ? 1 : 0]);
    if (found.unreadable == 0) {
        m_status->setText(
            FormatText(Text(TextId::DuplicatesFound), groups, freed, found.candidates));
        m_status->setToolTip({});
        return;
    }
    m_status->setText(FormatText(Text(TextId::DuplicatesFoundUnread), groups, freed,
                                 found.candidates, found.unreadable));
    QStringList tip{Text(TextId::DuplicatesUnreadTip)};
    for (const DuplicateResult::Unread &unread : found.unreadSample)
        tip << ShownPath(unread.path) + u" : "_s +
                   (unread.error ? ErrorText(unread.error)
                                 : Text(TextId::DuplicatesChangedSinceScan));
    if (found.unreadable > found.unreadSample.size())
        tip << u"…"_s;
    m_status->setToolTip(tip.join(u'\n'));
}

void DuplicatesWindow::setSizeMeasure(SizeMeasure measure)
{
    if (measure == m_measure)
        return;
    m_measure = measure;
    // The groups' order and waste were worked out in both measures.
    m_groups->setSizeMeasure(measure);
    if (m_found)
        showFound();
    updateActions();
}

void DuplicatesWindow::setActRefusal(const QString &why)
{
    m_actRefusal = why;
    updateActions();
}

void DuplicatesWindow::setMinimumSize(quint64 bytes)
{
    m_minimum->setValue(double(bytes) / MebiByte);
}

bool DuplicatesWindow::isSearching() const
{
    return m_ticking->isActive();
}

QString DuplicatesWindow::statusText() const
{
    return m_status->text();
}

std::vector<DuplicatesWindow::Plan> DuplicatesWindow::plans(Keep keep) const
{
    const DuplicatesModel::Rows *rows = m_groups->rows();
    if (!rows)
        return {};
    QModelIndexList picked = m_table->selectionModel()->selectedRows();
    const QModelIndex current = m_table->currentIndex();
    if (picked.isEmpty() && current.isValid())
        picked << current;
    // The groups picked, in the order found, with their selected copies.
    std::map<int, std::vector<size_t>> groups;
    for (const QModelIndex &row : std::as_const(picked)) {
        std::vector<size_t> &copies = groups[row.data(DuplicatesModel::GroupRole).toInt()];
        if (const int copy = row.data(DuplicatesModel::CopyRole).toInt(); copy >= 0)
            copies.push_back(size_t(copy));
    }
    std::vector<Plan> plans;
    for (auto &[place, chosen] : groups) {
        const DuplicatesModel::Group &group = rows->groups[size_t(place)];
        const std::vector<DuplicateCopy> &copies = group.group.copies;
        size_t kept = 0;
        if (keep == Keep::Chosen) {
            if (chosen.empty())
                continue;
            kept = chosen.front();
            // Of two copies of a group selected, the current one.
            if (current.data(DuplicatesModel::GroupRole).toInt() == place &&
                current.data(DuplicatesModel::CopyRole).toInt() >= 0)
                kept = size_t(current.data(DuplicatesModel::CopyRole).toInt());
        } else {
            for (size_t at = 1; at < copies.size(); ++at)
                if (keep == Keep::Oldest ? copies[at].date < copies[kept].date
                                         : copies[at].date > copies[kept].date)
                    kept = at;
        }
        Plan plan;
        plan.keep = group.folders[kept] + copies[kept].name;
        for (size_t at = 0; at < copies.size(); ++at) {
            if (at == kept)
                continue;
            plan.remove.push_back(group.folders[at] + copies[at].name);
            if (copies[at].names > 1)
                plan.namedElsewhere.push_back(plan.remove.back());
        }
        plan.size = group.group.size;
        plan.freed = group.group.freedKeeping(kept, m_measure);
        plans.push_back(std::move(plan));
    }
    return plans;
}

// The buttons act on the groups picked; disabled, they say why.
void DuplicatesWindow::updateActions()
{
    const QModelIndex current = m_table->currentIndex();
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    QString why = m_actRefusal;
    bool picked = m_hasResult && (current.isValid() || !selected.isEmpty());
    if (picked && why.isEmpty() && Keep(m_keep->currentIndex()) == Keep::Chosen) {
        const auto isCopy = [](const QModelIndex &row) {
            return row.data(DuplicatesModel::CopyRole).toInt() >= 0;
        };
        if (!std::any_of(selected.begin(), selected.end(), isCopy) &&
            !(selected.isEmpty() && isCopy(current))) {
            why = Text(TextId::DuplicatesChooseCopy);
            picked = false;
        }
    }
    for (QPushButton *button : {m_trash, m_delete}) {
        button->setEnabled(picked && m_actRefusal.isEmpty());
        button->setToolTip(why);
    }
    const bool canShare = m_found && m_found->canShare;
    m_share->setEnabled(picked && m_actRefusal.isEmpty() && canShare);
    m_share->setToolTip(!m_found || canShare ? why : Text(TextId::DuplicatesNoShare));
}

void DuplicatesWindow::ask(CopyRemoval::Way way)
{
    std::vector<Plan> chosen = plans(Keep(m_keep->currentIndex()));
    if (!chosen.empty())
        emit keepOneAsked(chosen, way);
}

// Nobody reads a hidden window: its search stops, and starts again when it is next opened.
void DuplicatesWindow::hideEvent(QHideEvent *event)
{
    if (m_ticking->isActive())
        stopAsked();
    QDialog::hideEvent(event);
}
