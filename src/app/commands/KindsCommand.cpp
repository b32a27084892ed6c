#include "KindsCommand.h"

#include "FolderCollection.h"
#include "FolderTreeView.h"
#include "KindCensus.h"
#include "KindsWindow.h"
#include "MapPane.h"
#include "MapView.h"
#include "ScanController.h"
#include "SettingsStore.h"
#include "WorkArea.h"

#include <QMimeDatabase>

KindsCommand::KindsCommand(WorkArea *workArea, ScanController *scans, const SettingsStore *settings,
                           const TwipsScale &twips, QWidget *window)
    : QObject(window)
    , m_workArea(workArea)
    , m_scans(scans)
    , m_tool(this, window, scans, settings, SettingName::KindsWindow, twips, [this] { follow(); })
{
    // The MIME database takes a third of a second to load, once per run: loaded aside as the
    // window starts, it is there when the list first asks for icons and when endings are learned.
    m_learning.run([](const std::atomic<bool> &) {
        return QMimeDatabase()
            .mimeTypeForFile(QStringLiteral("x.txt"), QMimeDatabase::MatchExtension)
            .isValid();
    });
    // The lookups start from the event loop, not in the midst of showing the scan's list: their
    // thread takes a core, and the window's first paint of the scan waits for the threads Qt
    // paints with.
    m_learnSoon.setSingleShot(true);
    m_learnSoon.setInterval(0);
    connect(&m_learnSoon, &QTimer::timeout, this, &KindsCommand::learnKinds);
    connect(scans, &ScanController::listOutdated, &m_learnSoon, qOverload<>(&QTimer::start));
    connect(scans, &ScanController::recordsGoing, this, [this] {
        m_learnSoon.stop();
        m_learning.stop();
        m_learned = nullptr;
    });
}

// Telling a kind from a name goes through the MIME database, a few microseconds for each new
// ending and a third of a second to load: after a scan, every ending of the volume is looked up
// once on a worker thread, so that the first count of its kinds finds them known.
void KindsCommand::learnKinds()
{
    std::shared_ptr<const DriveScan> scan =
        m_scans->folders().locate(m_scans->shownDrive().root()).first;
    if (!scan || scan == m_learned)
        return;
    m_learned = scan;
    m_learning.run([scan](const std::atomic<bool> &cancelled) {
        return CountKinds(*scan, 0, SizeMeasure::Apparent, &cancelled).complete;
    });
}

void KindsCommand::setSizeMeasure(SizeMeasure measure)
{
    m_tool.setSizeMeasure(measure);
}

void KindsCommand::save() const
{
    m_tool.save();
}

void KindsCommand::show()
{
    m_tool.open([this](KindsWindow &window) {
        connect(&window, &KindsWindow::fileChosen, this, &KindsCommand::chooseFile);
        connect(&window, &KindsWindow::kindSelected, this, [this](int kind) {
            m_workArea->mapPane()->view()->setEmphasis(kind < 0 ? std::nullopt
                                                                : std::optional(FileKind(kind)));
        });
        connect(m_workArea->folderTree(), &FolderTreeView::selectedFolderChanged, this,
                [this] { m_tool.followIfShown(); });
    });
}

// The folder selected in the tree; not while the tree moves to a file chosen here.
void KindsCommand::follow()
{
    if (m_choosing)
        return;
    const QByteArray path = m_workArea->folderTree()->selectedfolder();
    const auto [scan, folder] = m_scans->folders().locate(path);
    m_tool.window()->setFolder(scan, folder, path);
}

void KindsCommand::chooseFile(const QByteArray &folder, const QByteArray &name)
{
    m_choosing = true;
    m_workArea->selectFile(folder, name);
    m_choosing = false;
}
