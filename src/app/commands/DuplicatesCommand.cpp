#include "DuplicatesCommand.h"

#include "ActCommand.h"
#include "ActTexts.h"
#include "FolderTreeView.h"
#include "FormatText.h"
#include "ScanController.h"
#include "SettingsStore.h"
#include "TextTable.h"
#include "WorkArea.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The paths a question names before it says how many more there are.
constexpr qsizetype NamedPaths = 12;
// The copies left alone a report names.
constexpr qsizetype NamedOutcomes = 15;

using Way = CopyRemoval::Way;
using Status = CopyRemoval::Status;

// Why a copy was left as it was, in a sentence; empty for one that was freed.
QString OutcomeText(const CopyRemoval::Outcome &outcome, Way way)
{
    const QString path = ShownPath(outcome.path);
    const ItemRemoval::Result &removal = outcome.removal;
    const int error = outcome.error ? outcome.error : removal.error;
    switch (outcome.status) {
    case Status::Done:
        return {};
    case Status::Differs:
        return FormatText(Text(TextId::LeftDiffers), path);
    case Status::Changed:
        if (!removal.changed.ok() && removal.changed.change != HeldPath::Change::NotOnThisMachine)
            return FormatText(Text(TextId::LeftChanged),
                              removal.changed.where.isEmpty() ? path
                                                              : ShownPath(removal.changed.where),
                              ChangeHowText(removal.changed));
        return FormatText(Text(TextId::LeftChangedPlain), path);
    case Status::Refused:
    case Status::Failed:
        if (removal.refusal != Refusal::None)
            return RefusalText(removal.refusal, outcome.path);
        if (!removal.trashUnusable.isEmpty())
            return FormatText(Text(TextId::LeftFailed), path,
                              TrashProblemText(removal.error, removal.trashUnusable));
        if (error == 0) // refused: one file's two names, which frees nothing
            return FormatText(Text(TextId::LeftSameFile), path);
        if (way == Way::Share && outcome.status == Status::Refused)
            return FormatText(Text(TextId::LeftNoShare), path);
        return FormatText(Text(TextId::LeftFailed), path, ErrorText(error));
    case Status::Stopped:
        return FormatText(Text(TextId::LeftStopped), path);
    }
    return {};
}

} // namespace

QString DuplicatesCommand::PlansText(const std::vector<DuplicatesWindow::Plan> &plans)
{
    QStringList lines;
    qsizetype unnamed = 0;
    for (const DuplicatesWindow::Plan &plan : plans) {
        if (lines.size() >= NamedPaths) {
            unnamed += qsizetype(plan.remove.size());
            continue;
        }
        if (!lines.isEmpty())
            lines << QString();
        lines << FormatText(Text(TextId::DuplicatesKept), ShownPath(plan.keep))
              << Text(TextId::DuplicatesGoing);
        for (const QByteArray &path : plan.remove) {
            if (lines.size() < NamedPaths)
                lines << u"    "_s + ShownPath(path);
            else
                ++unnamed;
        }
    }
    if (unnamed > 0)
        lines << FormatText(Text(TextId::DuplicatesMore), unnamed);
    qsizetype named = 0;
    for (const DuplicatesWindow::Plan &plan : plans)
        for (const QByteArray &path : plan.namedElsewhere)
            if (++named <= NamedPaths)
                lines << QString()
                      << FormatText(Text(TextId::DuplicatesOtherNames), ShownPath(path));
    return lines.join(u'\n');
}

DuplicatesCommand::DuplicatesCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                                     SettingsStore *settings, const TwipsScale &twips)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_workArea(workArea)
    , m_scans(scans)
    , m_tool(this, mainWindow, scans, settings, SettingName::DuplicatesWindow, twips,
             [this] { follow(); })
{
    connect(m_scans, &ScanController::phaseChanged, this, &DuplicatesCommand::phaseChanged);
    // The views follow a walk's records before it is said to have ended: the buttons wait for
    // its end to be offered again.
    connect(m_scans, &ScanController::scanEnded, this, [this] {
        if (m_tool.window())
            sayWhetherActable();
    });
}

void DuplicatesCommand::setSizeMeasure(SizeMeasure measure)
{
    m_tool.setSizeMeasure(measure);
}

void DuplicatesCommand::save() const
{
    m_tool.save();
}

void DuplicatesCommand::open()
{
    m_opening = true;
    m_tool.open([this](DuplicatesWindow &window) {
        PlaceBeside(window, *m_mainWindow);
        connect(&window, &DuplicatesWindow::fileChosen, m_workArea, &WorkArea::selectFile);
        connect(&window, &DuplicatesWindow::folderChosen, m_workArea->folderTree(),
                &FolderTreeView::setSelectedfolder);
        connect(&window, &DuplicatesWindow::keepOneAsked, this, &DuplicatesCommand::keepOne);
    });
    m_opening = false;
}

// Opened, the window takes the tree's folder; afterwards it keeps its own while the shown
// volume's records hold it. It is searched again for new records (a rescan's) and after an edit
// or a refresh of them: copies may have gone. The live view's changes leave the groups as found,
// each copy being checked again before it is touched.
void DuplicatesCommand::follow()
{
    DuplicatesWindow *window = m_tool.window();
    sayWhetherActable();
    const ScanPhase phase = m_scans->phase();
    if (phase == ScanPhase::ScanningDrive || phase == ScanPhase::Rescanning)
        return; // searched once the walk has ended
    const QByteArray root = m_scans->shownDrive().root();
    QByteArray path = m_opening ? m_workArea->folderTree()->selectedfolder() : window->folderPath();
    if (!path.startsWith(root))
        path = root;
    auto [scan, folder] = m_scans->folders().locate(path);
    if (!scan) {
        path = root;
        std::tie(scan, folder) = m_scans->folders().locate(root);
    }
    if (!scan) {
        if (window->records())
            window->dropRecords();
        return;
    }
    const bool edited = std::exchange(m_edited, false);
    if (scan != window->records() || path != window->folderPath())
        window->setFolder(scan, folder, path);
    else if (edited || (m_opening && !window->hasResult() && !window->isSearching()))
        window->search();
    sayWhetherActable();
}

// A walk reads the disk and may replace the records: the search under way stops for it. An
// edit or a refresh changes the records the groups were found in.
void DuplicatesCommand::phaseChanged()
{
    DuplicatesWindow *window = m_tool.window();
    if (!window)
        return;
    const ScanPhase phase = m_scans->phase();
    if (phase == ScanPhase::ScanningDrive || phase == ScanPhase::Rescanning)
        window->stopSearch();
    if (phase == ScanPhase::Editing || phase == ScanPhase::Rescanning)
        m_edited = true;
    sayWhetherActable();
}

void DuplicatesCommand::sayWhetherActable()
{
    DuplicatesWindow *window = m_tool.window();
    QString why;
    if (m_scans->isScanning())
        why = Text(TextId::RefusedScanning);
    else if (window->records() && !m_scans->recordsToActOn(window->folderPath()))
        why = FormatText(Text(TextId::SavedScanItem), ShownPath(window->folderPath()));
    window->setActRefusal(why);
}

void DuplicatesCommand::keepOne(const std::vector<DuplicatesWindow::Plan> &plans, Way way)
{
    DuplicatesWindow *window = m_tool.window();
    if (plans.empty())
        return;
    if (m_scans->isScanning()) {
        ActCommand::warn(window, Text(TextId::RefusedScanning));
        return;
    }
    if (!m_scans->recordsToActOn(plans.front().keep)) {
        ActCommand::warn(window,
                         FormatText(Text(TextId::SavedScanItem), ShownPath(window->folderPath())));
        return;
    }
    quint64 copies = 0;
    quint64 freed = 0;
    for (const DuplicatesWindow::Plan &plan : plans) {
        copies += plan.remove.size();
        freed += plan.freed;
    }
    QString details = PlansText(plans) + u"\n\n"_s +
                      FormatText(Text(TextId::DuplicatesChecked), AmountText(freed, std::nullopt));
    if (way == Way::Trash)
        details += u' ' + Text(TextId::DuplicatesTrashLater);
    const TextId question = way == Way::Trash    ? TextId::DuplicatesTrashQuestion
                            : way == Way::Delete ? TextId::DuplicatesDeleteQuestion
                                                 : TextId::DuplicatesShareQuestion;
    const TextId action = way == Way::Trash    ? TextId::TrashButton
                          : way == Way::Delete ? TextId::DeleteButton
                                               : TextId::DuplicatesShareAct;
    if (!ActCommand::confirm(window, Text(question), details, Text(action)))
        return;
    // The second question is the stronger one: how much goes, and that no trash keeps it.
    const QString amount = AmountText(freed, std::nullopt);
    const QString last = copies == 1
                             ? FormatText(Text(TextId::DuplicatesDeleteLastOne), amount)
                             : FormatText(Text(TextId::DuplicatesDeleteLast), copies, amount);
    if (way == Way::Delete &&
        !ActCommand::confirm(window, last, QString(), Text(TextId::DeleteButton)))
        return;
    const QString progress = way == Way::Trash    ? Text(TextId::ItemTrash).remove(u'&')
                             : way == Way::Delete ? Text(TextId::ItemDelete).remove(u'&')
                                                  : Text(TextId::DuplicatesSharing);
    auto outcomes = std::make_shared<std::vector<CopyRemoval::Outcome>>();
    const bool started = m_scans->runEdit(
        plans.front().keep, progress,
        [plans, way, outcomes](DriveScan &records) {
            for (const DuplicatesWindow::Plan &plan : plans) {
                std::vector<CopyRemoval::Outcome> done =
                    CopyRemoval(records, way).run(plan.keep, plan.remove, plan.size);
                outcomes->insert(outcomes->end(), std::make_move_iterator(done.begin()),
                                 std::make_move_iterator(done.end()));
            }
        },
        // The window is searched again as the views follow the edit, before this.
        [this, outcomes, way] { report(*outcomes, way); });
    if (!started)
        ActCommand::warn(window, Text(TextId::RefusedScanning));
}

void DuplicatesCommand::report(const std::vector<CopyRemoval::Outcome> &outcomes, Way way)
{
    QStringList lines;
    qsizetype left = 0;
    for (const CopyRemoval::Outcome &outcome : outcomes) {
        const QString text = OutcomeText(outcome, way);
        if (text.isEmpty())
            continue;
        if (++left <= NamedOutcomes)
            lines << text;
    }
    if (left == 0)
        return;
    if (left > NamedOutcomes)
        lines << FormatText(Text(TextId::DuplicatesMore), left - NamedOutcomes);
    lines.prepend(left == 1 ? Text(TextId::DuplicatesLeftOne)
                            : FormatText(Text(TextId::DuplicatesLeft), left));
    ActCommand::warn(m_tool.window(), lines.join(u'\n'));
}
