#pragma once

#include "BackgroundJob.h"
#include "CopyRemoval.h"
#include "DuplicateSearch.h"

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

class ColumnFit;
class DuplicatesModel;
class FolderMatchesModel;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeView;

// The files of identical content below one folder, and the folders that copy each other, read
// from the disk on a worker thread: a bar says how far the reading has got and how long it may
// still take, and the search stops whenever asked. Groups come the biggest waste first, each
// unfolding to its copies; choosing a copy shows it in the tree and the list. The user picks the
// groups and which copy to keep; what is done with the others is the command's.
class DuplicatesWindow : public QDialog
{
    Q_OBJECT

public:
    enum class Keep { Oldest, Newest, Chosen };
    // One group's copies to free: the kept copy's path and the others'.
    struct Plan
    {
        QByteArray keep;
        std::vector<QByteArray> remove;
        quint64 size = 0;  // of each copy
        quint64 freed = 0; // what removing them frees, in the measure shown
        // Copies going that have other names left: the space comes back only with the last.
        std::vector<QByteArray> namedElsewhere;
    };

    explicit DuplicatesWindow(QWidget *parent = nullptr);

    // The folder searched from now on, searched at once; null records for none. The records
    // must outlive the window or be dropped first: the search under way is waited for.
    void setFolder(std::shared_ptr<const DriveScan> scan, WalkSink::FolderId folder,
                   const QByteArray &path);
    void dropRecords() { setFolder(nullptr, 0, {}); }
    // The same folder again: after the copies were acted on, say.
    void search();
    // Stops the search under way, if any: a walk is to start.
    void stopSearch();
    void setSizeMeasure(SizeMeasure measure);
    // Why the copies may not be acted on now; empty when they may.
    void setActRefusal(const QString &why);
    void setMinimumSize(quint64 bytes);

    const std::shared_ptr<const DriveScan> &records() const { return m_scan; }
    const QByteArray &folderPath() const { return m_path; }
    // A search is under way, as the window shows: one stopped may still be ending aside.
    bool isSearching() const;
    // Whether the groups shown are of the folder's last search, complete.
    bool hasResult() const { return m_hasResult; }
    DuplicatesModel *model() const { return m_groups; }
    FolderMatchesModel *folderModel() const { return m_folders; }
    QTreeView *table() const { return m_table; }
    QString statusText() const;
    // The groups the user picked, each with the copy to keep: those of the selected rows, or
    // of the current row when none is selected. With Keep::Chosen, only the groups one of whose
    // copies is selected.
    std::vector<Plan> plans(Keep keep) const;

signals:
    void fileChosen(const QByteArray &folder, const QByteArray &name);
    void folderChosen(const QByteArray &path);
    void keepOneAsked(const std::vector<DuplicatesWindow::Plan> &plans, CopyRemoval::Way way);

protected:
    void hideEvent(QHideEvent *event) override;

private:
    struct Found;
    void searched(const std::shared_ptr<const Found> &found);
    void stopAsked();
    void showProgress();
    void showFound();
    void showIdle();
    void updateActions();
    void ask(CopyRemoval::Way way);

    QLabel *m_folderLine;
    QDoubleSpinBox *m_minimum;
    QPushButton *m_searchButton; // Chercher, or Arrêter while a search runs
    QProgressBar *m_bar;
    QLabel *m_status;
    QTabWidget *m_tabs;
    QTreeView *m_table;
    QTreeView *m_folderTable;
    ColumnFit *m_fit = nullptr;
    ColumnFit *m_folderFit = nullptr;
    DuplicatesModel *m_groups;
    FolderMatchesModel *m_folders;
    QComboBox *m_keep;
    QPushButton *m_trash;
    QPushButton *m_delete;
    QPushButton *m_share;
    QTimer *m_ticking;     // the progress, read while a search runs
    QTimer *m_typingPause; // a minimum being typed is searched once the typing pauses
    QElapsedTimer m_since; // the search's start
    std::shared_ptr<DuplicateProgress> m_progress; // the search under way's
    std::shared_ptr<const Found> m_found;
    QString m_actRefusal;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    bool m_hasResult = false;
    std::shared_ptr<const DriveScan> m_scan; // the search under way holds it too
    WalkSink::FolderId m_folder = 0;
    QByteArray m_path;
    // Declared last, so that it goes first: the search under way reads the records.
    BackgroundJob<std::shared_ptr<const Found>> m_searching;
};
