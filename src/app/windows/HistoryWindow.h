#pragma once

#include "BackgroundJob.h"
#include "HistoryDatabase.h"
#include "SizeMeasure.h"

#include <QDialog>

#include <memory>
#include <vector>

class HistoryGrowthModel;
class QComboBox;
class QDateTimeAxis;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QTreeView;
class QValueAxis;

// The history of one folder: a chart of its size at each walk, in both measures, and below it the
// subfolders that grew most between two of those walks. A click on a point picks the first date,
// a second click (or a shift-click) the other; two lists pick them from the keyboard. The history
// is read on worker threads, each with its own connection to the file.
class HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    // Where a folder's history is: its volume in the file and its path below the walked root.
    struct Place
    {
        QString file;            // empty: no history is kept in this run
        VolumeIdentity identity; // null when the folder's volume cannot be told
        QByteArray root;         // the walked root, ending with "/"
        QByteArray relative;     // "" for the root, "a/b/" below it
    };

    explicit HistoryWindow(QWidget *parent = nullptr);

    // The folder shown from now on, its history read at once; none to show nothing.
    void setPlace(const Place &place);
    void dropRecords() { setPlace({}); }
    // The history changed (a walk recorded, some forgotten): read again.
    void reload() { setPlace(m_place); }
    void setSizeMeasure(SizeMeasure measure);
    // Why the last walk could not be recorded; empty when it was.
    void setRecordProblem(const QString &text);
    // The walks compared, by their place among the points; the growth between them is read.
    void pickWalks(int first, int second);

    const Place &place() const { return m_place; }
    qint64 volume() const { return m_volume; }
    // The folder at each walk it was recorded at, oldest first, as the chart shows them.
    const std::vector<HistoryDatabase::Value> &points() const { return m_points; }
    // The two walks picked, the earlier first; -1 when fewer than two are known.
    int firstPicked() const { return m_first; }
    int secondPicked() const { return m_second; }
    bool isReading() const { return m_reading.isBusy() || m_growing.isBusy(); }
    bool hasGrowth() const { return m_hasGrowth; }
    QChartView *chart() const { return m_chart; }
    QLineSeries *series(SizeMeasure measure) const;
    HistoryGrowthModel *model() const { return m_model; }
    QTreeView *table() const { return m_table; }
    QString statusText() const;
    // The tooltip of a walk's point.
    QString pointText(int walk) const;

signals:
    void folderChosen(const QByteArray &relative);
    // The list is to show what changed since the first walk picked, made at `date`.
    void compareAsked(qint64 volume, qint64 walk, qint64 date);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Read
    {
        HistoryError error;
        qint64 volume = 0;
        std::vector<HistoryDatabase::Value> points;
    };
    struct Grown
    {
        HistoryError error;
        std::vector<HistoryDatabase::Growth> rows;
    };
    void readDone(const std::shared_ptr<const Read> &read);
    void grownDone(const std::shared_ptr<const Grown> &grown);
    void showPoints();
    void showPicked();
    void pointClicked(int walk, bool other);
    int walkAt(QPoint at, int reach) const;
    void readGrowth();
    void say();

    QLabel *m_folderLine;
    QChartView *m_chart;
    QLineSeries *m_apparent;
    QLineSeries *m_onDisk;
    QScatterSeries *m_marks; // the two dates picked
    QDateTimeAxis *m_dates;
    QValueAxis *m_sizes;
    QComboBox *m_from;
    QComboBox *m_to;
    QLabel *m_note;
    QTreeView *m_table;
    HistoryGrowthModel *m_model;
    QPushButton *m_compare;
    QLabel *m_status;

    Place m_place;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    qint64 m_volume = 0;
    std::vector<HistoryDatabase::Value> m_points;
    HistoryError m_error;
    QString m_recordProblem;
    int m_first = -1;
    int m_second = -1;
    bool m_secondNext = false; // the next plain click picks the second date
    bool m_picked = false;     // the dates are the user's, not the last two walks
    bool m_hasGrowth = false;
    bool m_showing = false; // the lists are being filled: their changes pick nothing
    BackgroundJob<std::shared_ptr<const Read>> m_reading;
    BackgroundJob<std::shared_ptr<const Grown>> m_growing;
};
