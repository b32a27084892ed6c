#include "RemoteScanCommand.h"

#include "DriveScan.h"
#include "ExcludePatterns.h"
#include "FormatText.h"
#include "Formatting.h"
#include "MainStatusBar.h"
#include "Paths.h"
#include "RemoteDialog.h"
#include "RemoteScan.h"
#include "RemoteTexts.h"
#include "SavedRootName.h"
#include "ScanController.h"
#include "SettingsStore.h"
#include "TextTable.h"

#include <QDateTime>
#include <QFile>
#include <QMessageBox>
#include <QSet>

namespace {

constexpr QStringView MachinesSetting = u"RemoteMachines"; // the recent ones, newest first
constexpr QStringView FolderSetting = u"RemoteFolder";
constexpr int RecentMachines = 8;

} // namespace

RemoteScanCommand::RemoteScanCommand(ScanController *scans, const SettingsStore *settings,
                                     QWidget *window)
    : QObject(window)
    , m_scans(scans)
    , m_settings(settings)
    , m_window(window)
{}

void RemoteScanCommand::command()
{
    if (m_scans->isScanning())
        return;
    QStringList recent;
    QString folder;
    if (m_settings) {
        if (const auto machines = ReadSetting(*m_settings, MachinesSetting, SettingKind::Text))
            recent = machines->toString().split(u'\n', Qt::SkipEmptyParts);
        if (const auto value = ReadSetting(*m_settings, FolderSetting, SettingKind::Text))
            folder = value->toString();
    }
    RemoteDialog dialog(recent, folder, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (m_settings) {
        recent.removeAll(dialog.machine());
        recent.prepend(dialog.machine());
        WriteSetting(*m_settings, MachinesSetting, recent.mid(0, RecentMachines).join(u'\n'),
                     SettingKind::Text);
        WriteSetting(*m_settings, FolderSetting, dialog.folder(), SettingKind::Text);
    }
    walk(dialog.machine(), dialog.folder());
}

bool RemoteScanCommand::walk(const QString &machine, const QString &folder)
{
    if (m_scans->isScanning())
        return false;
    RemoteTarget target;
    if (const RemoteTarget::Problem problem = RemoteTarget::Parse(machine, {}, target);
        problem != RemoteTarget::Problem::None) {
        warn(TargetProblemText(problem, machine));
        return false;
    }
    const QString name = QString::fromUtf8(target.destination);
    const QString place = name + u':' + folder;
    QSet<QByteArray> taken;
    for (const Volume &drive : m_scans->drives())
        taken.insert(drive.root());
    auto scan = std::make_shared<RemoteScan>(target, QFile::encodeName(folder));
    if (const auto &exclude = m_scans->excludePatterns())
        scan->setExcludePatterns(exclude->patterns());
    // Named after the machine as the user calls it, the name their ssh knows it by.
    scan->setRootNaming(
        [taken, machine = target.destination](const QByteArray &, const QByteArray &root) {
            return SavedRootName(machine, machine, root,
                                 [&](const QByteArray &named) { return taken.contains(named); });
        });
    const auto progress = [scan, place]() -> QString {
        const quint64 bytes = scan->bytesReceived();
        if (bytes == 0)
            return FormatText(Text(TextId::RemoteConnecting), place);
        const QString entries = GroupedText(scan->entriesRead());
        const QString megabytes = MegabyteText(bytes).trimmed();
        const QString walker = WalkerName(scan->walker());
        return walker.isEmpty()
                   ? FormatText(Text(TextId::RemoteProgressUnnamed), place, entries, megabytes)
                   : FormatText(Text(TextId::RemoteProgress), place, walker, entries, megabytes);
    };
    return m_scans->runStoppable(
        [this, scan, place, name, folder]() -> ScanController::Continuation {
            std::shared_ptr<DriveScan> records = scan->run();
            return [this, scan, records, place, name, folder] {
                if (!records) {
                    if (scan->failure().problem == RemoteFailure::Stopped)
                        m_scans->statusBar()->setPanelText(
                            1, FormatText(Text(TextId::RemoteStopped), place));
                    else
                        warn(RemoteFailureText(scan->failure(), name, folder));
                    return;
                }
                const qint64 savedAt =
                    scan->savedAt() > 0 ? scan->savedAt() : QDateTime::currentSecsSinceEpoch();
                SavedOrigin origin = records->origin() ? *records->origin() : SavedOrigin{};
                origin.savedAt = savedAt;
                if (origin.host.isEmpty()) // ncdu does not name the machine: the user did
                    origin.host = scan->host().isEmpty() ? name.toUtf8() : scan->host();
                records->setOrigin(origin);
                m_scans->driveCommand(m_scans->addSavedDrive(records, savedAt));
                const QString walker = WalkerName(scan->walker());
                const QString entries = GroupedText(scan->entriesRead());
                m_scans->statusBar()->setPanelText(
                    1, walker.isEmpty()
                           ? FormatText(Text(TextId::RemoteWalkedUnnamed), place, entries)
                           : FormatText(Text(TextId::RemoteWalked), place, walker, entries));
            };
        },
        [scan] { scan->stop(); }, progress);
}

void RemoteScanCommand::warn(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, Text(TextId::ErrorTitle), text, QMessageBox::Ok,
                    m_window);
    box.exec();
}
