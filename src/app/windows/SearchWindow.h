#pragma once

#include "BackgroundJob.h"
#include "FileSearch.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QTimer;
class ColumnFit;
class QTreeView;
class SearchModel;

// Finds files by name in the records of the shown volume: the search runs on a worker thread a
// moment after the user stops typing, a newer pattern cancels the search under way, and the
// biggest files found in the measure of sizes come first, and a line says how many there are and
// what they add up to. Choosing a result shows it in the tree and the list.
class SearchWindow : public QDialog
{
    Q_OBJECT

public:
    explicit SearchWindow(QWidget *parent = nullptr);

    // The records searched from now on; null for none. They must outlive the window or be
    // dropped first.
    void setRecords(std::shared_ptr<const DriveScan> scan);
    void dropRecords() { setRecords(nullptr); }
    // Ranks, shows and adds up sizes in `measure` from now on, searching again.
    void setSizeMeasure(SizeMeasure measure);
    bool isSearching() const { return m_searching.isBusy(); }
    SearchModel *model() const { return m_model; }
    QLineEdit *patternEdit() const { return m_pattern; }

signals:
    void fileChosen(const QByteArray &folder, const QByteArray &name);

private:
    void search();
    void searched(SearchResult result);
    void nameSizes();

    QLineEdit *m_pattern;
    QLabel *m_count;
    QTreeView *m_results;
    ColumnFit *m_fit = nullptr;
    SearchModel *m_model;
    QTimer *m_pause;
    std::shared_ptr<const DriveScan> m_scan; // the work under way holds it too
    SizeMeasure m_measure = SizeMeasure::Apparent;
    // Declared last, so that it goes first: the search under way reads the records.
    BackgroundJob<SearchResult> m_searching;
};
