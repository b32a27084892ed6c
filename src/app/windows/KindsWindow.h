#pragma once

#include "BackgroundJob.h"
#include "KindCensus.h"

#include <QDialog>

class KindsModel;
class QLabel;
class QProgressBar;
class QTimer;
class QSortFilterProxyModel;
class ColumnFit;
class QTreeView;
class SearchModel;

// The kinds of file of one folder and everything below it, by kind and extension, counted on a
// worker thread; a newer folder or measure cancels the count under way, and a count that lasts
// says so, with a busy bar, rather than leave the window blank. Activating a kind or an
// extension lists its files, the biggest first, below; choosing one shows it in the tree and the
// list.
class KindsWindow : public QDialog
{
    Q_OBJECT

public:
    explicit KindsWindow(QWidget *parent = nullptr);

    // The folder counted from now on; null records for none. The records must outlive the window
    // or be dropped first.
    void setFolder(std::shared_ptr<const DriveScan> scan, WalkSink::FolderId folder,
                   const QByteArray &path);
    void dropRecords() { setFolder(nullptr, 0, {}); }
    void setSizeMeasure(SizeMeasure measure);
    bool isCounting() const { return m_counting.isBusy() || m_listing.isBusy(); }
    QTreeView *kindsView() const { return m_kindsView; }
    QTreeView *filesView() const { return m_filesView; }
    KindsModel *model() const { return m_model; }

signals:
    void fileChosen(const QByteArray &folder, const QByteArray &name);
    // The kind of the selected row; -1 when none is selected or the window is hidden.
    void kindSelected(int kind);

protected:
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void nameSizes();
    void count();
    void counted(KindCensus census);
    void showCounting();
    void listFiles(const QModelIndex &row);
    void listed(SearchResult result);
    void selectionMoved();

    QLabel *m_folderLine;
    QProgressBar *m_busy;
    QTimer *m_slowCount; // shows the busy bar once a count has lasted
    QTreeView *m_kindsView;
    ColumnFit *m_kindsFit = nullptr;
    KindsModel *m_model;
    QSortFilterProxyModel *m_sorted;
    QLabel *m_filesLine;
    QTreeView *m_filesView;
    ColumnFit *m_filesFit = nullptr;
    SearchModel *m_files;
    std::shared_ptr<const DriveScan> m_scan; // the work under way holds it too
    WalkSink::FolderId m_folder = 0;
    QByteArray m_path;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    QString m_listedName; // the kind or extension whose files are listed
    // Declared last, so that they go first: the work under way reads the records.
    BackgroundJob<KindCensus> m_counting;
    BackgroundJob<SearchResult> m_listing;
};
