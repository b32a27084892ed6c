#pragma once

#include "BackgroundJob.h"
#include "BiggestFiles.h"

#include <QDialog>

class BiggestModel;
class QLabel;
class QSortFilterProxyModel;
class ColumnFit;
class QTreeView;

// The biggest files of the whole shown volume, in the size measure asked for, worked out on a
// worker thread from the records. The table sorts by any column; choosing a row shows the file in
// the tree and the list.
class BiggestWindow : public QDialog
{
    Q_OBJECT

public:
    explicit BiggestWindow(QWidget *parent = nullptr);

    // The records read from now on, read again at once; null for none. They must outlive the
    // window or be dropped first.
    void setRecords(std::shared_ptr<const DriveScan> scan);
    void dropRecords() { setRecords(nullptr); }
    // Which files are kept and their first order; both sizes are always shown.
    void setSizeMeasure(SizeMeasure measure);
    SizeMeasure sizeMeasure() const { return m_measure; }
    // Beside `main`: to its right when the screen has room, else over its right half.
    void placeBeside(const QWidget &main);

    bool isComputing() const { return m_computing.isBusy(); }
    BiggestModel *model() const { return m_model; }
    QTreeView *table() const { return m_table; }
    QString countText() const;

signals:
    void fileChosen(const QByteArray &folder, const QByteArray &name);

private:
    void compute();
    void computed(SearchResult result);
    void sortByMeasure();

    QLabel *m_count;
    QTreeView *m_table;
    ColumnFit *m_fit = nullptr;
    BiggestModel *m_model;
    QSortFilterProxyModel *m_sorted;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    std::shared_ptr<const DriveScan> m_scan; // the work under way holds it too
    // Declared last, so that it goes first: the work under way reads the records.
    BackgroundJob<SearchResult> m_computing;
};
