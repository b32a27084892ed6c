#pragma once

#include "SizeMeasure.h"
#include "ToolWindow.h"
#include "TwipsScale.h"

#include <QObject>

class BiggestWindow;
class QWidget;
class ScanController;
class SettingsStore;
class WorkArea;

// The command of the biggest files' window and its ties to the rest: the window opens beside the
// main window unless the settings place it, reads the shown volume's records, and answers a chosen
// row by selecting the file in the tree and the list; the rest of its life is a tool window's.
// Owned by the main window through Qt's parenting.
class BiggestCommand : public QObject
{
    Q_OBJECT

public:
    // settings may be null: nothing is restored or saved.
    BiggestCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                   SettingsStore *settings, const TwipsScale &twips);

    void open();
    void setSizeMeasure(SizeMeasure measure);
    // Writes the window's place and size, if it was ever opened.
    void save() const;
    // Null until first opened.
    BiggestWindow *window() const { return m_tool.window(); }

private:
    void follow();

    QWidget *m_mainWindow;
    WorkArea *m_workArea;
    ScanController *m_scans;
    ToolWindow<BiggestWindow> m_tool;
};
