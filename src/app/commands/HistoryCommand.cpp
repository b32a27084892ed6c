#include "HistoryCommand.h"

#include "ActCommand.h"
#include "ActTexts.h"
#include "FolderTreeView.h"
#include "FormatText.h"
#include "HistoryDialogs.h"
#include "HistoryTexts.h"
#include "MainStatusBar.h"
#include "ScanComparison.h"
#include "ScanController.h"
#include "SettingsStore.h"
#include "TextTable.h"
#include "WorkArea.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

HistoryDialogs::Keeping KeepingOf(const SettingsStore *settings)
{
    HistoryDialogs::Keeping keeping;
    if (!settings)
        return keeping;
    if (const auto walks = ReadSetting(*settings, SettingName::HistoryKeep, SettingKind::Number))
        keeping.walks = std::max(0, walks->toInt());
    if (const auto thin = ReadSetting(*settings, SettingName::HistoryThin, SettingKind::Number))
        keeping.thin = thin->toInt() != 0;
    return keeping;
}

} // namespace

HistoryCommand::HistoryCommand(QWidget *mainWindow, WorkArea *workArea, ScanController *scans,
                               SettingsStore *settings, const TwipsScale &twips, QString file)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_workArea(workArea)
    , m_scans(scans)
    , m_settings(settings)
    , m_file(std::move(file))
    , m_tool(this, mainWindow, scans, settings, SettingName::HistoryWindow, twips,
             [this] { follow(); })
    , m_work([this](const Continuation &next) {
        next();
        if (!m_waiting.empty()) {
            auto work = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_work.run([work = std::move(work)](const std::atomic<bool> &) { return work(); });
        }
    })
{
    connect(m_workArea->folderTree(), &FolderTreeView::selectedFolderChanged, this,
            [this] { m_tool.followIfShown(); });
}

QString HistoryCommand::FileFor(const SettingsStore *settings)
{
    if (!settings)
        return {};
    if (settings->isUserStore())
        return HistoryDatabase::DefaultFile();
    return QFileInfo(settings->fileName()).dir().filePath(u"history.sqlite"_s);
}

void HistoryCommand::setSizeMeasure(SizeMeasure measure)
{
    m_tool.setSizeMeasure(measure);
}

void HistoryCommand::save() const
{
    m_tool.save();
}

void HistoryCommand::open()
{
    m_tool.open([this](HistoryWindow &window) {
        PlaceBeside(window, *m_mainWindow);
        connect(&window, &HistoryWindow::folderChosen, this, [this](const QByteArray &relative) {
            const HistoryWindow::Place &place = m_tool.window()->place();
            m_workArea->folderTree()->setSelectedfolder(place.root + relative);
        });
        connect(&window, &HistoryWindow::compareAsked, this, &HistoryCommand::compare);
    });
}

// The folder selected in the tree, in the records that hold it.
void HistoryCommand::follow()
{
    HistoryWindow *window = m_tool.window();
    window->setRecordProblem(m_problem);
    window->setPlace(placeOf(m_workArea->folderTree()->selectedfolder()));
}

HistoryWindow::Place HistoryCommand::placeOf(const QByteArray &path) const
{
    HistoryWindow::Place place;
    const auto [scan, folder] = m_scans->folders().locate(path);
    if (!scan)
        return place;
    place.file = m_file;
    place.root = scan->rootPath();
    place.relative = path.sliced(place.root.size());
    // A saved scan's records name no device of this machine.
    place.identity = m_scans->recordsToActOn(place.root)
                         ? VolumeIdentity::OfWalkedFolder(place.root, scan->device())
                         : VolumeIdentity::OfSavedScan(*scan);
    return place;
}

void HistoryCommand::inTurn(std::function<Continuation()> work)
{
    if (m_work.isBusy()) {
        m_waiting.push_back(std::move(work));
        return;
    }
    m_work.run([work = std::move(work)](const std::atomic<bool> &) { return work(); });
}

// The keeping the settings ask for, as work on the file after each recording.
std::function<HistoryError(HistoryDatabase &)> HistoryCommand::thinning() const
{
    const HistoryDialogs::Keeping keeping = KeepingOf(m_settings);
    return [keeping](HistoryDatabase &history) {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        HistoryError error;
        if (keeping.walks > 0)
            error = history.thin(KeepRule{KeepRule::Kind::Newest, keeping.walks}, now);
        if (error.ok() && keeping.thin)
            error = history.thin(KeepRule{KeepRule::Kind::Thinned, 0}, now);
        return error;
    };
}

void HistoryCommand::record(const QByteArray &root)
{
    std::shared_ptr<const DriveScan> scan = m_scans->recordsToActOn(root);
    if (m_file.isEmpty() || !scan || scan->rootPath() != root)
        return;
    const qint64 date = QDateTime::currentSecsSinceEpoch();
    // The walk's records are held by the job: a walk that replaces them frees them after it.
    inTurn([this, scan, date, file = m_file, thin = thinning()]() -> Continuation {
        const VolumeIdentity identity =
            VolumeIdentity::OfWalkedFolder(scan->rootPath(), scan->device());
        if (identity.isNull()) {
            const QString problem =
                FormatText(Text(TextId::HistoryNotRecorded),
                           FormatText(Text(TextId::HistoryNowhere), ShownPath(scan->rootPath())));
            return [this, problem] { recorded(problem); };
        }
        HistoryDatabase history(file);
        HistoryError error = history.record(*scan, identity, date);
        if (error.ok())
            error = thin(history);
        const QString problem = error.ok() ? QString()
                                           : FormatText(Text(TextId::HistoryNotRecorded),
                                                        HistoryErrorText(error, file));
        return [this, problem] { recorded(problem); };
    });
}

void HistoryCommand::recorded(const QString &problem)
{
    m_problem = problem;
    if (!problem.isEmpty())
        m_scans->statusBar()->setPanelText(1, problem);
    if (HistoryWindow *window = m_tool.window()) {
        window->setRecordProblem(problem);
        if (window->isVisible())
            window->reload();
    }
    emit historyChanged();
}

bool HistoryCommand::addShown()
{
    const Volume shown = m_scans->shownDrive();
    const std::shared_ptr<const DriveScan> scan = m_scans->folders().scanHolding(shown.root());
    if (m_file.isEmpty() || shown.kind != DriveKind::Saved || !scan || m_scans->isScanning())
        return false;
    const QString label = ShownPath(shown.root());
    inTurn([this, scan, label, file = m_file, thin = thinning()]() -> Continuation {
        HistoryDatabase history(file);
        HistoryError error = history.addSavedScan(*scan);
        if (error.ok())
            error = thin(history);
        const QString text = error.ok() ? FormatText(Text(TextId::HistoryAdded), label)
                                        : FormatText(Text(TextId::HistoryNotRecorded),
                                                     HistoryErrorText(error, file));
        return [this, text, failed = !error.ok()] {
            failed ? ActCommand::warn(m_mainWindow, text) : say(text);
            if (HistoryWindow *window = m_tool.window(); window && window->isVisible())
                window->reload();
            emit historyChanged();
        };
    });
    return true;
}

void HistoryCommand::forgetCommand()
{
    if (m_file.isEmpty())
        return;
    const HistoryWindow::Place place = placeOf(m_scans->shownDrive().root());
    const QString shown = place.identity.isNull() ? QString() : ShownPath(place.root);
    const auto which = HistoryDialogs::askForget(m_mainWindow, shown);
    if (!which)
        return;
    inTurn([this, which = *which, identity = place.identity, shown,
            file = m_file]() -> Continuation {
        HistoryDatabase history(file);
        HistoryError error;
        QString text = Text(TextId::HistoryForgotten);
        if (which == HistoryDialogs::Forget::All) {
            error = history.forgetAll();
        } else {
            HistoryDatabase::Volume volume;
            error = history.findVolume(identity, volume);
            if (error.ok())
                error = history.forget(volume.id);
            else if (error.kind() == HistoryError::Kind::NotFound)
                error = {}, text = FormatText(Text(TextId::HistoryNoForget), shown);
        }
        // A damaged file holds nothing that can be read: it goes aside whole, kept for a
        // rescue, and a new one takes its place.
        if (error.kind() == HistoryError::Kind::Damaged) {
            QString movedTo;
            error = history.reset(&movedTo);
            if (error.ok())
                text =
                    FormatText(Text(TextId::HistoryMoved), ShownPath(QFile::encodeName(movedTo)));
        }
        if (!error.ok())
            text = FormatText(Text(TextId::HistoryNotForgotten), HistoryErrorText(error, file));
        return [this, text, failed = !error.ok()] {
            failed ? ActCommand::warn(m_mainWindow, text) : say(text);
            m_problem.clear();
            if (HistoryWindow *window = m_tool.window()) {
                window->setRecordProblem({});
                if (window->isVisible())
                    window->reload();
            }
            emit historyChanged();
        };
    });
}

void HistoryCommand::settingsCommand()
{
    const auto keeping = HistoryDialogs::askKeeping(m_mainWindow, KeepingOf(m_settings));
    if (!keeping || !m_settings)
        return;
    WriteSetting(*m_settings, SettingName::HistoryKeep, keeping->walks, SettingKind::Number);
    WriteSetting(*m_settings, SettingName::HistoryThin, keeping->thin ? -1 : 0,
                 SettingKind::Number);
}

HistoryError HistoryCommand::ReadTotals(HistoryDatabase &history, qint64 volume, qint64 walk,
                                        ScanComparison::Totals &totals)
{
    std::vector<std::pair<QByteArray, HistoryDatabase::Value>> folders;
    HistoryError error = history.folderValues(volume, walk, folders);
    for (const auto &[path, value] : folders)
        totals.folders[path] = {value.apparent, value.onDisk};
    std::vector<HistoryDatabase::BigFile> files;
    if (error.ok())
        error = history.biggestFiles(walk, files);
    for (const HistoryDatabase::BigFile &big : files)
        totals.files[big.path] = {big.apparent, big.onDisk};
    // A walk of fewer files than the history keeps of each left none out.
    std::vector<HistoryDatabase::Walk> walks;
    if (error.ok())
        error = history.walks(volume, walks);
    for (const HistoryDatabase::Walk &made : walks)
        if (made.id == walk)
            totals.everyFile = made.files == files.size();
    return error;
}

// The list shows what changed since a walk: the history holds the folders' totals and the
// biggest files of that walk, read here whole.
void HistoryCommand::compare(qint64 volume, qint64 walk, qint64 date)
{
    const QByteArray root = m_scans->shownDrive().root();
    HistoryWindow *window = m_tool.window();
    if (!window || window->place().root != root)
        return;
    inTurn([this, volume, walk, date, root, file = m_file]() -> Continuation {
        HistoryDatabase history(file);
        ScanComparison::Totals totals;
        if (const HistoryError error = ReadTotals(history, volume, walk, totals); !error.ok()) {
            const QString text =
                FormatText(Text(TextId::HistoryUnreadable), HistoryErrorText(error, file));
            return [this, text] { ActCommand::warn(m_tool.window(), text); };
        }
        auto earlier = std::make_shared<const ScanComparison>(totals, root, date);
        return [this, earlier, root] {
            // Another volume may be shown by now: the comparison was of this one.
            if (m_scans->shownDrive().root() != root)
                return;
            // The status bar says the folder's growth since then, as for a saved scan.
            emit comparisonChanged(earlier);
        };
    });
}

void HistoryCommand::say(const QString &text)
{
    m_scans->statusBar()->setPanelText(1, text);
}
