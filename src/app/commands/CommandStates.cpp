#include "CommandStates.h"

#include <QAction>
#include <QWidget>

#include <array>

namespace {

enum class Print { Off, FollowsList };

// What the saved scans' commands may do: nothing while the records change, open a file when the
// shown volume has no complete scan, and save or compare once it has one.
enum class Saved { Off, Open, All };

struct PhaseRow
{
    ScanPhase phase;
    bool tree; // the folder tree and the two size commands
    bool stop;
    Print print;
    Saved saved;
};

// The list can be printed whenever it shows a scanned folder's rows, even during a walk (a
// folder walked already). With no record left, the tree and the size commands have nothing to
// show, and rows still in the list are stale: nothing to print.
constexpr std::array<PhaseRow, 9> Table = {{
    {ScanPhase::Start, false, false, Print::Off, Saved::Open},
    {ScanPhase::ScanningDrive, true, true, Print::FollowsList, Saved::Off},
    {ScanPhase::Rescanning, true, true, Print::FollowsList, Saved::Off},
    {ScanPhase::Scanned, true, false, Print::FollowsList, Saved::All},
    {ScanPhase::StoppedWithRecords, true, false, Print::FollowsList, Saved::Open},
    {ScanPhase::StoppedWithoutRecords, false, false, Print::Off, Saved::Open},
    {ScanPhase::Editing, true, false, Print::FollowsList, Saved::Off},
    {ScanPhase::Waiting, true, false, Print::FollowsList, Saved::Off},
    {ScanPhase::Fetching, true, true, Print::FollowsList, Saved::Off},
}};

constexpr bool InPhaseOrder()
{
    for (size_t i = 0; i < Table.size(); ++i)
        if (size_t(Table[i].phase) != i)
            return false;
    return true;
}
static_assert(InPhaseOrder(), "a phase's row is found by its number");

void Enable(const QList<QAction *> &actions, bool enabled)
{
    for (QAction *action : actions)
        action->setEnabled(enabled);
}

} // namespace

void SetCommandStates(const Commands &commands, const WindowState &state)
{
    const PhaseRow &row = Table[size_t(state.phase)];
    commands.folderTree->setEnabled(row.tree);
    Enable(commands.sizeCommands, row.tree);
    Enable(commands.stop, row.stop);
    Enable(commands.print, row.print == Print::FollowsList && state.listHasRows);
    Enable(commands.openScan, row.saved != Saved::Off);
    Enable(commands.scanShown, row.saved == Saved::All);
    Enable(commands.savedShown, row.saved == Saved::All && state.savedShown);
    Enable(commands.alwaysOn, true);
    commands.endComparison->setEnabled(state.comparing);
    commands.sizeDisk->setChecked(state.percentBase == PercentBase::Disk);
    commands.sizeParent->setChecked(state.percentBase != PercentBase::Disk);
    commands.viewDriveBar->setChecked(state.driveBarShown);
    commands.viewStatusBar->setChecked(state.statusBarShown);
}
