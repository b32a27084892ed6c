#pragma once

#include "SizeMeasure.h"
#include "ToolWindow.h"
#include "TwipsScale.h"

#include <QObject>

class QWidget;
class ScanController;
class SearchWindow;
class SettingsStore;
class WorkArea;

// The search's command: its window searches the shown volume's records, and a result chosen there
// is selected in the tree and the list; the rest of its life is a tool window's. Owned by the main
// window through Qt's parenting.
class SearchCommand : public QObject
{
    Q_OBJECT

public:
    // settings may be null: the window's place is then neither restored nor saved.
    SearchCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                  SettingsStore *settings, const TwipsScale &twips);

    void open();
    void setSizeMeasure(SizeMeasure measure);
    // Writes the window's place and size, if it was ever opened.
    void save() const;
    // Null until first opened.
    SearchWindow *window() const { return m_tool.window(); }

private:
    void follow();

    WorkArea *m_workArea;
    ScanController *m_scans;
    ToolWindow<SearchWindow> m_tool;
};
