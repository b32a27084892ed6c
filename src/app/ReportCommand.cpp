#include "ReportCommand.h"

#include "DriveScan.h"
#include "ReportWindow.h"
#include "ScanController.h"
#include "SettingsStore.h"

ReportCommand::ReportCommand(ScanController *scans, SettingsStore *settings,
                             const TwipsScale &twips, QWidget *window)
    : QObject(window)
    , m_scans(scans)
    , m_settings(settings)
    , m_twips(twips)
    , m_parent(window)
{}

void ReportCommand::run()
{
    if (!m_window) {
        m_window = new ReportWindow(m_parent);
        if (m_settings)
            LoadToolWindow(*m_settings, *m_window, SettingName::ReportWindow, m_twips);
        connect(m_scans, &ScanController::recordsGoing, m_window, &ReportWindow::dropRecords);
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

void ReportCommand::save() const
{
    if (m_settings && m_window)
        SaveToolWindow(*m_settings, *m_window, SettingName::ReportWindow, m_twips);
}

// The figures are read here, where the records are owned; the window's worker never reads them.
void ReportCommand::follow()
{
    const Volume drive = m_scans->shownDrive();
    const auto [scan, root] = m_scans->folders().locate(drive.root());
    std::optional<ScanFigures> figures;
    if (scan)
        figures = ScanFigures{scan->allocatedOf(root), scan->sizeOf(root), scan->unreadFolders(),
                              scan->unreadFiles(), scan->vanishedCount()};
    m_window->setVolume(drive.mountPoint, figures,
                        drive.kind == DriveKind::Saved    ? ReportScope::Saved
                        : drive.kind == DriveKind::Folder ? ReportScope::Folder
                                                          : ReportScope::Volume);
}
