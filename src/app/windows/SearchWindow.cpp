#include "SearchWindow.h"

#include "ColumnFit.h"
#include "FoundText.h"
#include "ItemMenu.h"
#include "SearchModel.h"
#include "TextTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The results kept and shown, the biggest first; the count says how many there are in all.
constexpr size_t KeptResults = 1000;
// How long typing must pause before the search starts.
constexpr int TypingPauseMs = 250;

} // namespace

SearchWindow::SearchWindow(QWidget *parent)
    : QDialog(parent)
    , m_pattern(new QLineEdit(this))
    , m_count(new QLabel(this))
    , m_results(new QTreeView(this))
    , m_model(new SearchModel(this))
    , m_pause(new QTimer(this))
    , m_searching([this](SearchResult result) { searched(std::move(result)); })
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(Text(TextId::SearchTitle));
    setModal(false);
    resize(720, 460);
    auto *label = new QLabel(Text(TextId::SearchPattern), this);
    label->setBuddy(m_pattern);
    m_pattern->setObjectName(QStringLiteral("txtPattern"));
    m_pattern->setAccessibleName(Text(TextId::SearchPattern).remove(u'&'));
    m_pattern->setClearButtonEnabled(true);
    m_count->setObjectName(QStringLiteral("lblFound"));
    m_results->setObjectName(QStringLiteral("LVFound"));
    m_results->setAccessibleName(Text(TextId::SearchTitle));
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setModel(m_model);
    nameSizes();
    m_results->header()->resizeSection(SearchModel::Name, 220);
    m_results->header()->resizeSection(SearchModel::Folder, 260);
    m_fit = new ColumnFit(m_results, SearchModel::Folder);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_pattern);
    layout->addWidget(m_count);
    layout->addWidget(m_results, 1);

    m_pause->setSingleShot(true);
    m_pause->setInterval(TypingPauseMs);
    connect(m_pause, &QTimer::timeout, this, &SearchWindow::search);
    connect(m_pattern, &QLineEdit::textChanged, this, [this] { m_pause->start(); });
    ItemMenu::attach(m_results, [](const QModelIndex &index) {
        return index.data(SearchModel::FolderPathRole).toByteArray() +
               index.data(SearchModel::NameRole).toByteArray();
    });
    // A row the user picks is selected; the current row a view gives itself when it takes the
    // focus is not, and must not move the tree.
    connect(m_results->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_results->selectionModel()->selectedRows();
        if (!rows.isEmpty())
            emit fileChosen(rows.first().data(SearchModel::FolderPathRole).toByteArray(),
                            rows.first().data(SearchModel::NameRole).toByteArray());
    });
}

void SearchWindow::setRecords(std::shared_ptr<const DriveScan> scan)
{
    if (scan == m_scan && scan)
        return;
    m_searching.stop();
    m_scan = std::move(scan);
    m_model->clear();
    m_count->clear();
    if (m_scan)
        search();
}

void SearchWindow::setSizeMeasure(SizeMeasure measure)
{
    if (measure == m_measure)
        return;
    m_measure = measure;
    nameSizes();
    search();
}

// The size column shows the measure the files are ranked in, and says which.
void SearchWindow::nameSizes()
{
    using Field = SearchModel::Field;
    m_model->setFields({Field::Name, Field::Folder,
                        m_measure == SizeMeasure::OnDisk ? Field::OnDisk : Field::Size,
                        Field::Date});
    m_model->setHeaders(
        {Text(TextId::ColumnName), Text(TextId::SearchFolderColumn),
         Text(m_measure == SizeMeasure::OnDisk ? TextId::ColumnOnDisk : TextId::ColumnSize),
         Text(TextId::ColumnDate)});
}

void SearchWindow::search()
{
    const NamePattern pattern(m_pattern->text());
    if (!m_scan || pattern.isEmpty()) {
        m_searching.cancel();
        m_model->clear();
        m_count->clear();
        return;
    }
    m_searching.run(
        [scan = m_scan, pattern, measure = m_measure](const std::atomic<bool> &cancelled) {
            return SearchRecords(*scan, pattern, measure, KeptResults, &cancelled);
        });
}

void SearchWindow::searched(SearchResult result)
{
    m_count->setText(FoundText(quint64(result.found), result.bytes));
    m_model->setResult(*m_scan, std::move(result));
    m_fit->fit();
}
