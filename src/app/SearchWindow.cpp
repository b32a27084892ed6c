#include "SearchWindow.h"

#include "FormatText.h"
#include "SearchModel.h"
#include "TextTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPromise>
#include <QThreadPool>
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
    m_model->setHeaders({Text(TextId::ColumnName), Text(TextId::SearchFolderColumn),
                         Text(TextId::ColumnSize), Text(TextId::ColumnDate)});
    m_results->header()->resizeSection(SearchModel::Name, 220);
    m_results->header()->resizeSection(SearchModel::Folder, 260);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_pattern);
    layout->addWidget(m_count);
    layout->addWidget(m_results, 1);

    m_pause->setSingleShot(true);
    m_pause->setInterval(TypingPauseMs);
    connect(m_pause, &QTimer::timeout, this, &SearchWindow::search);
    connect(m_pattern, &QLineEdit::textChanged, this, [this] { m_pause->start(); });
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &SearchWindow::searched);
    connect(m_results->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    emit fileChosen(current.data(SearchModel::FolderPathRole).toByteArray(),
                                    current.data(SearchModel::NameRole).toByteArray());
            });
}

SearchWindow::~SearchWindow()
{
    stop();
}

void SearchWindow::stop()
{
    if (m_cancel)
        m_cancel->store(true);
    m_watcher.waitForFinished();
    m_again = false;
}

void SearchWindow::setRecords(const DriveScan *scan)
{
    if (scan == m_scan && scan)
        return;
    stop();
    m_scan = scan;
    m_model->clear();
    m_count->clear();
    if (m_scan)
        search();
}

void SearchWindow::search()
{
    if (m_watcher.isRunning()) {
        m_cancel->store(true);
        m_again = true;
        return;
    }
    m_again = false;
    const NamePattern pattern(m_pattern->text());
    if (!m_scan || pattern.isEmpty()) {
        m_model->clear();
        m_count->clear();
        return;
    }
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    auto promise = std::make_shared<QPromise<SearchResult>>();
    m_watcher.setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, scan = m_scan, pattern, cancel = m_cancel] {
        promise->start();
        promise->addResult(SearchRecords(*scan, pattern, KeptResults, cancel.get()));
        promise->finish();
    });
}

void SearchWindow::searched()
{
    if (m_again) {
        search();
        return;
    }
    if (!m_scan || m_watcher.future().resultCount() == 0)
        return;
    SearchResult result = m_watcher.result();
    if (!result.complete)
        return;
    m_count->setText(FormatText(Text(TextId::SearchFound), result.found));
    m_model->setResult(*m_scan, std::move(result));
}
