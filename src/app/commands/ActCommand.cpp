#include "ActCommand.h"

#include "ActTexts.h"
#include "FolderRecord.h"
#include "FormatText.h"
#include "ItemRemoval.h"
#include "Paths.h"
#include "RemovalCheck.h"
#include "ScanController.h"
#include "TextTable.h"
#include "Trash.h"
#include "Walker.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// What the records hold of an item: its bytes, its files, and the size and date to compare
// with the disk's.
struct Recorded
{
    quint64 size = 0;
    quint64 files = 0;
    qint64 date = 0;
    bool found = false;
};

Recorded RecordOf(const DriveScan &scan, const QByteArray &path)
{
    Recorded item;
    if (const qsizetype folder = scan.indexOf(RemoveSlash(path) + '/'); folder >= 0) {
        const auto top = WalkSink::FolderId(folder);
        item = {scan.sizeOf(top), 0, scan.dateOf(top), true};
        for (const WalkSink::FolderId below : scan.foldersBelow(top))
            item.files += scan.fileCountOf(below);
        return item;
    }
    const QByteArray file = RemoveSlash(path);
    const qsizetype slash = file.lastIndexOf('/');
    const qsizetype folder = scan.indexOf(file.first(slash + 1));
    if (folder < 0)
        return item;
    FileRecord record;
    for (FileRecordReader reader = scan.filesOf(WalkSink::FolderId(folder)); reader.next(record);)
        if (record.name == QByteArrayView(file).sliced(slash + 1))
            return {record.size, 1, record.date, true};
    return item;
}

// Runs aside: a trash can be large.
quint64 TrashSize(const QByteArray &trash)
{
    DriveScan scan(trash);
    return Walk(trash, scan) ? scan.totalSize() : 0;
}

} // namespace

ActCommand::ActCommand(ScanController *scans, QWidget *window)
    : QObject(window)
    , m_scans(scans)
    , m_window(window)
{}

void ActCommand::addEntries(QMenu *menu, const QByteArray &path)
{
    // A saved scan's items are on no disk here: nothing is offered on them.
    const bool recorded =
        !m_scans->isScanning() && m_scans->recordsToActOn(path) &&
        (!m_scans->folders().find(RemoveSlash(path) + '/').isNull() ||
         !m_scans->folders().find(path.first(path.lastIndexOf('/') + 1)).isNull());
    const auto add = [&](const char *name, TextId text, QKeySequence keys, auto action) {
        QAction *entry = menu->addAction(Text(text));
        entry->setObjectName(QString::fromLatin1(name));
        entry->setShortcut(keys);
        entry->setEnabled(recorded);
        connect(entry, &QAction::triggered, this, [this, path, action] { (this->*action)(path); });
    };
    menu->addSeparator();
    add("mnuItemRefresh", TextId::ItemRefresh, {}, &ActCommand::refresh);
    add("mnuItemTrash", TextId::ItemTrash, QKeySequence(Qt::Key_Delete), &ActCommand::moveToTrash);
    add("mnuItemDelete", TextId::ItemDelete, QKeySequence(Qt::ShiftModifier | Qt::Key_Delete),
        &ActCommand::deletePermanently);
}

void ActCommand::refresh(const QByteArray &path)
{
    // A file's row refreshes the folder that holds it.
    QByteArray folder = path;
    if (!path.endsWith('/') && m_scans->folders().find(path + '/').isNull())
        folder = path.first(path.lastIndexOf('/') + 1);
    else if (!folder.endsWith('/'))
        folder += '/';
    if (m_scans->isScanning()) {
        warn(Text(TextId::RefusedScanning));
        return;
    }
    if (!m_scans->recordsToActOn(folder)) {
        warn(FormatText(Text(TextId::SavedScanItem), ShownPath(path)));
        return;
    }
    m_scans->refreshFolder(folder);
}

std::optional<ActCommand::Chosen> ActCommand::choose(const QByteArray &path, TextId nothingDone)
{
    if (m_scans->isScanning()) {
        warn(Text(TextId::RefusedScanning));
        return {};
    }
    const QByteArray item = RemoveSlash(path);
    // As a folder, so that a volume's root finds its own records and is refused for what it is.
    const std::shared_ptr<const DriveScan> scan =
        m_scans->recordsToActOn(item.endsWith('/') ? item : item + '/');
    if (!scan) {
        warn(FormatText(Text(TextId::SavedScanItem), ShownPath(item)));
        return {};
    }
    if (toldRefusal(item, {}, CheckRemoval(scan->rootPath(), item, CurrentMountPoints()),
                    nothingDone))
        return {};
    const Recorded recorded = RecordOf(*scan, item);
    if (!recorded.found) {
        warn(FormatText(Text(TextId::RefusedMissing), ShownPath(item)));
        return {};
    }
    Chosen chosen{HeldPath::open(*scan, item), AmountText(recorded.size, recorded.files), {}};
    if (toldRefusal(item, chosen.held.check(), Refusal::None, nothingDone))
        return {};
    chosen.details = chosen.amount;
    if (ChangedSinceScan(item, recorded.size, recorded.date))
        chosen.details += u"\n\n"_s + FormatText(Text(TextId::RemovalChanged), ShownPath(item));
    return chosen;
}

bool ActCommand::toldRefusal(const QByteArray &item, const HeldPath::Check &changed,
                             Refusal refusal, TextId nothingDone)
{
    if (!changed.ok()) {
        warn(ChangeText(changed, nothingDone));
        return true;
    }
    if (refusal == Refusal::None)
        return false;
    warn(RefusalText(refusal, item));
    return true;
}

bool ActCommand::toldActRefusal(const QByteArray &item, const ItemRemoval::Result &result,
                                TextId nothingDone)
{
    // Checked before the questions, a mount inside is the item's nature; checked again after
    // them, it is what changed meanwhile.
    if (result.changed.ok() && result.refusal == Refusal::MountPoint) {
        warn(FormatText(Text(nothingDone), ShownPath(item), Text(TextId::ChangeMountedInside)));
        return true;
    }
    return toldRefusal(item, result.changed, result.refusal, nothingDone);
}

bool ActCommand::confirm(QWidget *window, const QString &question, const QString &details,
                         const QString &action)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quarnel"), question,
                    QMessageBox::NoButton, window);
    box.setInformativeText(details);
    QPushButton *act = box.addButton(action, QMessageBox::DestructiveRole);
    // The button that does nothing is the one a hurried Enter presses.
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == act;
}

void ActCommand::warn(QWidget *window, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, Text(TextId::ErrorTitle), text, QMessageBox::Ok, window);
    box.exec();
}

void ActCommand::moveToTrash(const QByteArray &path)
{
    std::optional<Chosen> chosen = choose(path, TextId::ChangedNothingTrashed);
    if (!chosen)
        return;
    // A trash is always on the item's volume; one not made yet holds nothing. It is sized
    // aside, and the question asked once it is: no record is held meanwhile, and no walk or edit
    // can start before the answer.
    const QByteArray trash = Trash::folderFor(chosen->held.path());
    auto held = std::make_shared<Chosen>(std::move(*chosen));
    m_scans->runAside(Text(TextId::ItemTrash).remove(u'&'),
                      [this, held, trash]() -> ScanController::Continuation {
                          const quint64 size = trash.isEmpty() ? 0 : TrashSize(trash);
                          return [this, held, size] { trashSized(held, size); };
                      });
}

void ActCommand::trashSized(const std::shared_ptr<Chosen> &chosen, quint64 trashSize)
{
    const QByteArray &item = chosen->held.path();
    const QString details =
        chosen->details + u"\n\n"_s +
        FormatText(Text(TextId::TrashSameVolume), AmountText(trashSize, std::nullopt));
    if (!confirm(FormatText(Text(TextId::TrashQuestion), ShownPath(item)), details,
                 Text(TextId::TrashButton)))
        return;
    auto result = std::make_shared<ItemRemoval::Result>();
    m_scans->runEdit(
        item, Text(TextId::ItemTrash).remove(u'&'),
        [chosen, result](DriveScan &records) {
            *result = ItemRemoval(records).moveToTrash(chosen->held);
        },
        [this, chosen, result] { trashed(chosen, *result); });
}

void ActCommand::trashed(const std::shared_ptr<Chosen> &chosen, const ItemRemoval::Result &result)
{
    const QByteArray &item = chosen->held.path();
    if (!result.refused() || toldActRefusal(item, result, TextId::ChangedNothingTrashed))
        return;
    // No trash could be used on that volume: deleting is offered, never done silently.
    if (!result.trashUnusable.isEmpty()) {
        if (confirm(FormatText(Text(TextId::NoTrashDelete),
                               TrashProblemText(result.error, result.trashUnusable),
                               ShownPath(item)),
                    chosen->details, Text(TextId::DeleteButton)))
            deleteConfirmed(chosen);
        return;
    }
    warn(FormatText(Text(TextId::TrashFailed), ShownPath(item), ErrorText(result.error)));
}

void ActCommand::deletePermanently(const QByteArray &path)
{
    std::optional<Chosen> chosen = choose(path, TextId::ChangedNothingDeleted);
    if (!chosen)
        return;
    if (!confirm(FormatText(Text(TextId::DeleteQuestion), ShownPath(chosen->held.path())),
                 chosen->details, Text(TextId::DeleteButton)))
        return;
    deleteConfirmed(std::make_shared<Chosen>(std::move(*chosen)));
}

void ActCommand::deleteConfirmed(const std::shared_ptr<Chosen> &chosen)
{
    const QByteArray &item = chosen->held.path();
    // The second question is the stronger one: what goes, and that no trash keeps it.
    if (!confirm(FormatText(Text(TextId::DeleteLastQuestion), ShownPath(item), chosen->amount),
                 QString(), Text(TextId::DeleteButton)))
        return;
    auto result = std::make_shared<ItemRemoval::Result>();
    m_scans->runEdit(
        item, Text(TextId::ItemDelete).remove(u'&'),
        [chosen, result](DriveScan &records) {
            *result = ItemRemoval(records).deletePermanently(chosen->held);
        },
        [this, chosen, result] { deleted(chosen->held.path(), *result); });
}

void ActCommand::deleted(const QByteArray &item, const ItemRemoval::Result &result)
{
    if (toldActRefusal(item, result, TextId::ChangedNothingDeleted))
        return;
    if (result.error != 0) {
        warn(FormatText(Text(TextId::DeleteFailed), ShownPath(item), ErrorText(result.error)));
        return;
    }
    if (!result.remaining.empty())
        warn(RemainingText(result.remaining));
}
