#pragma once

#include "BackgroundJob.h"
#include "DiskReport.h"

#include <QDialog>

#include <optional>

class QLabel;
class QPushButton;
class QTextBrowser;

// Where the used space of the shown volume goes: what the volume says is used against what the
// scan found on disk, and the parts of the difference that can be named. The volume and the
// processes are read on a worker thread, again on each refresh since processes come and go.
class ReportWindow : public QDialog
{
    Q_OBJECT

public:
    explicit ReportWindow(QWidget *parent = nullptr);

    // The volume reported on from now on, with its scan's figures (none when it has no scan)
    // and what the scan covers; reads it again.
    void setVolume(const QByteArray &mountPoint, std::optional<ScanFigures> scan,
                   ReportScope scope = ReportScope::Volume);
    // The records are going: their figures are no longer shown.
    void dropRecords();
    // Reads the volume and the processes again.
    void refresh();

    bool isReading() const { return m_reading.isBusy(); }
    const std::optional<DiskReport> &report() const { return m_report; }
    QTextBrowser *view() const { return m_view; }

private:
    void read(DiskReport report);
    void showReport();

    QTextBrowser *m_view;
    QLabel *m_status;
    QPushButton *m_refresh;
    QByteArray m_mountPoint;
    std::optional<ScanFigures> m_scan;
    ReportScope m_scope = ReportScope::Volume;
    std::optional<DiskReport> m_report;
    BackgroundJob<DiskReport> m_reading;
};
