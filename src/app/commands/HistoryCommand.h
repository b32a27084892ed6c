#pragma once

#include "BackgroundJob.h"
#include "HistoryWindow.h"
#include "ScanComparison.h"
#include "SizeMeasure.h"
#include "ToolWindow.h"
#include "TwipsScale.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>

class QWidget;
class ScanController;
class SettingsStore;
class WorkArea;

// The history of walks in the window: every complete walk is recorded once it ends, aside, and
// the walks kept are thinned as the settings say; a recording that fails leaves the walk as it is
// and says why in the status bar and the history window. The window "Historique" follows the
// folder selected in the tree; comparing the list with a walk of the history, adding a saved scan
// to it and forgetting it are commands here too. The work on the file runs on the background pool,
// one job after the other, each with its own connection. Owned by the main window through Qt's
// parenting.
class HistoryCommand : public QObject
{
    Q_OBJECT
public:
    // file: the history's; empty keeps no history in this run. settings may be null: the history
    // keeps every walk, and the window's place is neither restored nor saved.
    HistoryCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                   SettingsStore *settings, const TwipsScale &twips, QString file);

    // Where the history of the user's store is kept, or of a store a test names: beside it.
    static QString FileFor(const SettingsStore *settings);
    // What a list compared with a walk is compared with: its folders' totals and its biggest
    // files, read from the history.
    static HistoryError ReadTotals(HistoryDatabase &history, qint64 volume, qint64 walk,
                                   ScanComparison::Totals &totals);

    const QString &file() const { return m_file; }
    void open();
    void setSizeMeasure(SizeMeasure measure);
    void save() const;
    // Null until first opened.
    HistoryWindow *window() const { return m_tool.window(); }

    // Records the walk of the volume with this root that has just ended.
    void record(const QByteArray &root);
    // Adds the saved scan shown to the history; false when none is shown.
    bool addShown();
    void forgetCommand();
    void settingsCommand();
    // Work on the file is under way or waiting.
    bool isBusy() const { return m_work.isBusy() || !m_waiting.empty(); }
    // Why the last recording failed; empty when it worked.
    const QString &problem() const { return m_problem; }

signals:
    // The list is now compared with a walk of the history.
    void comparisonChanged(std::shared_ptr<const ScanComparison> earlier);
    // A recording, an addition or a forgetting ended.
    void historyChanged();

private:
    using Continuation = std::function<void()>;
    void follow();
    HistoryWindow::Place placeOf(const QByteArray &path) const;
    // Runs work on the file after the work before it; its continuation runs on this thread.
    void inTurn(std::function<Continuation()> work);
    void compare(qint64 volume, qint64 walk, qint64 date);
    void recorded(const QString &problem);
    std::function<HistoryError(HistoryDatabase &)> thinning() const;
    void say(const QString &text);

    QWidget *m_mainWindow;
    WorkArea *m_workArea;
    ScanController *m_scans;
    SettingsStore *m_settings;
    QString m_file;
    QString m_problem;
    ToolWindow<HistoryWindow> m_tool;
    std::deque<std::function<Continuation()>> m_waiting;
    // Declared last, so that it goes first: the work under way may read the records.
    BackgroundJob<Continuation> m_work;
};
