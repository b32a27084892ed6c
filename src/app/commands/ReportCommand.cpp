#include "ReportCommand.h"

#include "DriveScan.h"
#include "ReportWindow.h"
#include "ScanController.h"
#include "SettingsStore.h"

ReportCommand::ReportCommand(ScanController *scans, SettingsStore *settings,
                             const TwipsScale &twips, QWidget *window)
    : QObject(window)
    , m_scans(scans)
    , m_tool(this, window, scans, settings, SettingName::ReportWindow, twips, [this] { follow(); })
{}

void ReportCommand::run()
{
    m_tool.open();
}

void ReportCommand::save() const
{
    m_tool.save();
}

// The figures are read here, where the records are owned; the window's worker never reads them.
void ReportCommand::follow()
{
    const Volume drive = m_scans->shownDrive();
    const auto [scan, root] = m_scans->folders().locate(drive.root());
    std::optional<ScanFigures> figures;
    if (scan) {
        figures = ScanFigures{scan->allocatedOf(root), scan->sizeOf(root), scan->unreadFolders(),
                              scan->unreadFiles(), scan->vanishedCount()};
        figures->excluded = scan->excludedCount();
        for (const FolderNote &note :
             figures->excluded > 0 ? scan->folderNotes() : std::vector<FolderNote>())
            if (note.kind == FolderNote::Excluded && figures->excludedSample.size() < 5)
                figures->excludedSample.append(scan->pathOf(note.folder) + note.name);
    }
    m_tool.window()->setVolume(drive.mountPoint, figures,
                               drive.kind == DriveKind::Saved    ? ReportScope::Saved
                               : drive.kind == DriveKind::Folder ? ReportScope::Folder
                                                                 : ReportScope::Volume);
}
