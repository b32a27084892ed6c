#include "BiggestCommand.h"

#include "BiggestWindow.h"
#include "ScanController.h"
#include "SettingsStore.h"
#include "WorkArea.h"

BiggestCommand::BiggestCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                               SettingsStore *settings, const TwipsScale &twips)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_workArea(workArea)
    , m_scans(scans)
    , m_tool(this, mainWindow, scans, settings, SettingName::BiggestWindow, twips,
             [this] { follow(); })
{}

void BiggestCommand::setSizeMeasure(SizeMeasure measure)
{
    m_tool.setSizeMeasure(measure);
}

void BiggestCommand::save() const
{
    m_tool.save();
}

void BiggestCommand::open()
{
    m_tool.open([this](BiggestWindow &window) {
        window.placeBeside(*m_mainWindow);
        connect(&window, &BiggestWindow::fileChosen, m_workArea, &WorkArea::selectFile);
    });
}

// The shown volume's records, or none when no volume is scanned.
void BiggestCommand::follow()
{
    m_tool.window()->setRecords(m_scans->folders().locate(m_scans->shownDrive().root()).first);
}
