#pragma once

#include "DuplicatesWindow.h"
#include "SizeMeasure.h"
#include "ToolWindow.h"
#include "TwipsScale.h"

#include <QObject>

class QWidget;
class ScanController;
class SettingsStore;
class WorkArea;

// The command of the duplicate files' window and its ties to the rest: opened, the window
// searches the folder selected in the tree (the shown volume's root when none), and keeps that
// folder until opened again or its records go; a walk stops its search, an edit has it search
// again. A copy chosen is shown in the tree and the list, a folder chosen in the tree. Keeping
// one copy of the groups picked asks first, naming what goes, then frees the others as an edit
// of the records and says which copies were left alone and why. Nothing is acted on during a walk,
// nor in a saved scan. Owned by the main window through Qt's parenting.
class DuplicatesCommand : public QObject
{
    Q_OBJECT

public:
    // settings may be null: nothing is restored or saved.
    DuplicatesCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                      SettingsStore *settings, const TwipsScale &twips);

    void open();
    void setSizeMeasure(SizeMeasure measure);
    // Writes the window's place and size, if it was ever opened.
    void save() const;
    // Null until first opened.
    DuplicatesWindow *window() const { return m_tool.window(); }
    // What the question before keeping one copy names: the copies kept and those that go, as many
    // as a question can name and how many more, then the copies that have other names.
    static QString PlansText(const std::vector<DuplicatesWindow::Plan> &plans);

private:
    void follow();
    void phaseChanged();
    void sayWhetherActable();
    void keepOne(const std::vector<DuplicatesWindow::Plan> &plans, CopyRemoval::Way way);
    void report(const std::vector<CopyRemoval::Outcome> &outcomes, CopyRemoval::Way way);

    QWidget *m_mainWindow;
    WorkArea *m_workArea;
    ScanController *m_scans;
    ToolWindow<DuplicatesWindow> m_tool;
    bool m_opening = false; // the window takes the tree's folder
    bool m_edited = false;  // the records changed in place since the window followed them
};
