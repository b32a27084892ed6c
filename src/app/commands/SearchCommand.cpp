#include "SearchCommand.h"

#include "ScanController.h"
#include "SearchWindow.h"
#include "SettingsStore.h"
#include "WorkArea.h"

SearchCommand::SearchCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                             SettingsStore *settings, const TwipsScale &twips)
    : QObject(mainWindow)
    , m_workArea(workArea)
    , m_scans(scans)
    , m_tool(this, mainWindow, scans, settings, SettingName::SearchWindow, twips,
             [this] { follow(); })
{}

void SearchCommand::open()
{
    m_tool.open([this](SearchWindow &window) {
        connect(&window, &SearchWindow::fileChosen, m_workArea, &WorkArea::selectFile);
    });
}

void SearchCommand::setSizeMeasure(SizeMeasure measure)
{
    m_tool.setSizeMeasure(measure);
}

void SearchCommand::save() const
{
    m_tool.save();
}

// The shown volume's records, or none when no volume is scanned.
void SearchCommand::follow()
{
    m_tool.window()->setRecords(m_scans->folders().locate(m_scans->shownDrive().root()).first);
}
