#pragma once

#include "BackgroundJob.h"
#include "SizeMeasure.h"
#include "ToolWindow.h"
#include "TwipsScale.h"

#include <QObject>

class KindsWindow;
class ScanController;
class SettingsStore;
class WorkArea;

// The kinds of file window's command and its ties to the rest of the window: it counts the
// folder selected in the tree, again after each scan, shows a chosen file in the tree and the
// list, and has the map bring out the selected kind; the rest of its life is a tool window's.
// Owned by the main window through Qt's parenting.
class KindsCommand : public QObject
{
    Q_OBJECT

public:
    // settings: where the window's place and size are kept, or null.
    KindsCommand(WorkArea *workArea, ScanController *scans, const SettingsStore *settings,
                 const TwipsScale &twips, QWidget *window);

    void show();
    void setSizeMeasure(SizeMeasure measure);
    // Keeps the window's place and size, if it was ever shown.
    void save() const;
    KindsWindow *window() const { return m_tool.window(); }

private:
    void follow();
    void chooseFile(const QByteArray &folder, const QByteArray &name);

    WorkArea *m_workArea;
    ScanController *m_scans;
    ToolWindow<KindsWindow> m_tool;
    bool m_choosing = false; // the tree moves to a file chosen here: the count stays
    BackgroundJob<bool> m_loading{[](bool) {}}; // the MIME database
};
