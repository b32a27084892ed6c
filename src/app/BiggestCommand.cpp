#include "BiggestCommand.h"

#include "BiggestWindow.h"
#include "ScanController.h"
#include "SettingsStore.h"
#include "WorkArea.h"

#include <QAction>

BiggestCommand::BiggestCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                               QAction *entry, SettingsStore *settings, const TwipsScale &twips)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_workArea(workArea)
    , m_scans(scans)
    , m_settings(settings)
    , m_twips(twips)
{
    connect(entry, &QAction::triggered, this, &BiggestCommand::open);
}

void BiggestCommand::setSizeMeasure(SizeMeasure measure)
{
    m_measure = measure;
    if (m_window)
        m_window->setSizeMeasure(measure);
}

void BiggestCommand::save() const
{
    if (m_settings && m_window)
        SaveToolWindow(*m_settings, *m_window, SettingName::BiggestWindow, m_twips);
}

void BiggestCommand::open()
{
    if (!m_window) {
        m_window = new BiggestWindow(m_mainWindow);
        m_window->setSizeMeasure(m_measure);
        m_window->placeBeside(*m_mainWindow);
        if (m_settings)
            LoadToolWindow(*m_settings, *m_window, SettingName::BiggestWindow, m_twips);
        connect(m_window, &BiggestWindow::fileChosen, m_workArea, &WorkArea::selectFile);
        connect(m_scans, &ScanController::recordsGoing, m_window, &BiggestWindow::dropRecords);
        connect(m_scans, &ScanController::listOutdated, this, [this] {
            if (m_window->isVisible())
                follow();
        });
    }
    follow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

// The shown volume's records, or none when no volume is scanned.
void BiggestCommand::follow()
{
    m_window->setRecords(m_scans->folders().locate(m_scans->shownDrive().root()).first);
}
