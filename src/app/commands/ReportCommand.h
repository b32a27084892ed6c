#pragma once

#include "ToolWindow.h"
#include "TwipsScale.h"

#include <QObject>

class QWidget;
class ReportWindow;
class ScanController;
class SettingsStore;

// The report's command: its window shows the shown volume with the figures its scan found; the
// rest of its life is a tool window's. Owned by the window through Qt's parenting.
class ReportCommand : public QObject
{
    Q_OBJECT

public:
    // settings may be null: the window's place is then neither restored nor saved.
    ReportCommand(ScanController *scans, SettingsStore *settings, const TwipsScale &twips,
                  QWidget *window);

    void run();
    // Saves the window's place and size, if it was ever made.
    void save() const;
    ReportWindow *window() const { return m_tool.window(); }

private:
    void follow();

    ScanController *m_scans;
    ToolWindow<ReportWindow> m_tool;
};
