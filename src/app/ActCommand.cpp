#include "ActCommand.h"

#include "FolderRecord.h"
#include "FormatText.h"
#include "Formatting.h"
#include "ItemRemoval.h"
#include "MountTable.h"
#include "RemovalCheck.h"
#include "RunAside.h"
#include "ScanController.h"
#include "TextTable.h"
#include "Trash.h"
#include "Walker.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QByteArray ItemPath(const QByteArray &path)
{
    return path.size() > 1 && path.endsWith('/') ? path.chopped(1) : path;
}

QString Shown(const QByteArray &path)
{
    return QFile::decodeName(ItemPath(path));
}

QString AmountText(quint64 bytes)
{
    if (bytes == 0)
        return u"0 Kb"_s;
    return bytes < 1048576 ? KilobyteText(bytes).trimmed() + u" Kb"_s
                           : MegabyteText(bytes).trimmed() + u" Mb"_s;
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArrayList MountPoints()
{
    QFile table(u"/proc/self/mountinfo"_s);
    QByteArrayList points;
    if (table.open(QIODevice::ReadOnly))
        for (const MountEntry &entry : ParseMountInfo(table.readAll()))
            points.append(entry.mountPoint);
    return points;
}

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
    if (const qsizetype folder = scan.indexOf(ItemPath(path) + '/'); folder >= 0) {
        const auto top = WalkSink::FolderId(folder);
        item = {scan.sizeOf(top), 0, scan.dateOf(top), true};
        for (const WalkSink::FolderId below : scan.foldersBelow(top))
            item.files += scan.fileCountOf(below);
        return item;
    }
    const QByteArray file = ItemPath(path);
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

// Walked aside: a trash can be large, and the window stays live meanwhile.
quint64 TrashSize(const QByteArray &trash)
{
    quint64 size = 0;
    RunAside([&] {
        DriveScan scan(trash);
        size = Walk(trash, scan) ? scan.totalSize() : 0;
    });
    return size;
}

} // namespace

ActCommand::ActCommand(ScanController *scans, QWidget *window)
    : QObject(window)
    , m_scans(scans)
    , m_window(window)
{}

const DriveScan *ActCommand::holderOf(const QByteArray &path) const
{
    const QByteArray item = ItemPath(path);
    return m_scans->folders().locate(item.first(item.lastIndexOf('/') + 1)).first;
}

void ActCommand::addEntries(QMenu *menu, const QByteArray &path)
{
    const bool recorded =
        !m_scans->isScanning() && path.startsWith('/') &&
        (holderOf(path) || !m_scans->folders().find(ItemPath(path) + '/').isNull());
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
    m_scans->refreshFolder(folder);
}

bool ActCommand::refused(const DriveScan &scan, const QByteArray &path)
{
    if (m_scans->isScanning()) {
        warn(Text(TextId::RefusedScanning));
        return true;
    }
    TextId why = TextId::ItemOpen;
    switch (CheckRemoval(scan.rootPath(), ItemPath(path), MountPoints())) {
    case Refusal::None:
        return false;
    case Refusal::OutsideVolume:
        why = TextId::RefusedOutside;
        break;
    case Refusal::VolumeRoot:
        why = TextId::RefusedRoot;
        break;
    case Refusal::MountPoint:
        why = TextId::RefusedMountPoint;
        break;
    case Refusal::TrashFolder:
        why = TextId::RefusedTrash;
        break;
    case Refusal::Missing:
        why = TextId::RefusedMissing;
        break;
    }
    warn(FormatText(Text(why), Shown(path)));
    return true;
}

QString ActCommand::describe(const DriveScan &scan, const QByteArray &path) const
{
    const Recorded item = RecordOf(scan, path);
    QString text = FormatText(Text(TextId::RemovalSize), AmountText(item.size),
                              SizeText(item.files).trimmed());
    if (item.found && ChangedSinceScan(ItemPath(path), item.size, item.date))
        text += u"\n\n"_s + FormatText(Text(TextId::RemovalChanged), Shown(path));
    return text;
}

bool ActCommand::confirm(const QString &question, const QString &details, const QString &action)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quarnel"), question,
                    QMessageBox::NoButton, m_window);
    box.setInformativeText(details);
    QPushButton *act = box.addButton(action, QMessageBox::DestructiveRole);
    // The button that does nothing is the one a hurried Enter presses.
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == act;
}

void ActCommand::warn(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, Text(TextId::ErrorTitle), text, QMessageBox::Ok,
                    m_window);
    box.exec();
}

void ActCommand::moveToTrash(const QByteArray &path)
{
    const DriveScan *holder = holderOf(path);
    if (!holder || refused(*holder, path))
        return;
    // A trash is always on the item's volume; one not made yet holds nothing.
    const QByteArray trash = Trash::folderFor(ItemPath(path), false);
    const QString details = describe(*holder, path) + u"\n\n"_s +
                            FormatText(Text(TextId::TrashSameVolume),
                                       AmountText(trash.isEmpty() ? 0 : TrashSize(trash)));
    if (!confirm(FormatText(Text(TextId::TrashQuestion), Shown(path)), details,
                 Text(TextId::TrashButton)))
        return;
    ItemRemoval::Result result;
    m_scans->runEdit(path, Text(TextId::ItemTrash).remove(u'&'), [&](DriveScan &records) {
        result = ItemRemoval(records).moveToTrash(ItemPath(path));
    });
    if (result.error == 0)
        return;
    // No trash could be used on that volume: deleting is offered, never done silently.
    if (Trash::folderFor(ItemPath(path), false).isEmpty()) {
        if (confirm(FormatText(Text(TextId::NoTrashDelete), ErrorText(result.error), Shown(path)),
                    describe(*holder, path), Text(TextId::DeleteButton)))
            deleteConfirmed(path);
        return;
    }
    warn(FormatText(Text(TextId::TrashFailed), Shown(path), ErrorText(result.error)));
}

void ActCommand::deletePermanently(const QByteArray &path)
{
    const DriveScan *holder = holderOf(path);
    if (!holder || refused(*holder, path))
        return;
    if (!confirm(FormatText(Text(TextId::DeleteQuestion), Shown(path)), describe(*holder, path),
                 Text(TextId::DeleteButton)))
        return;
    deleteConfirmed(path);
}

void ActCommand::deleteConfirmed(const QByteArray &path)
{
    const DriveScan *holder = holderOf(path);
    if (!holder)
        return;
    const Recorded item = RecordOf(*holder, path);
    // The second question is the stronger one: what goes, and that no trash keeps it.
    if (!confirm(FormatText(Text(TextId::DeleteLastQuestion), Shown(path),
                            FormatText(Text(TextId::RemovalSize), AmountText(item.size),
                                       SizeText(item.files).trimmed())),
                 QString(), Text(TextId::DeleteButton)))
        return;
    ItemRemoval::Result result;
    m_scans->runEdit(path, Text(TextId::ItemDelete).remove(u'&'), [&](DriveScan &records) {
        result = ItemRemoval(records).deletePermanently(ItemPath(path));
    });
    if (result.error != 0) {
        warn(FormatText(Text(TextId::DeleteFailed), Shown(path), ErrorText(result.error)));
        return;
    }
    if (result.remaining.empty())
        return;
    QStringList lines{FormatText(Text(TextId::DeletePartly), qulonglong(result.remaining.size()))};
    for (size_t i = 0; i < std::min<size_t>(result.remaining.size(), 8); ++i)
        lines.append(QFile::decodeName(result.remaining[i].path) + u" : "_s +
                     ErrorText(result.remaining[i].error));
    warn(lines.join(u'\n'));
}
