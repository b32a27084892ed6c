#include "KindsCommand.h"

#include "FolderCollection.h"
#include "FolderTreeView.h"
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
    // window starts, it is there when the list first asks for icons and when the kinds are first
    // counted. The kinds themselves are counted only when the window asks for them: a count of
    // every file behind the user's back would keep a core busy long after the walk.
    m_loading.run([](const std::atomic<bool> &) {
        return QMimeDatabase()
            .mimeTypeForFile(QStringLiteral("x.txt"), QMimeDatabase::MatchExtension)
            .isValid();
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
