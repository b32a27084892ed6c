#include "Icons.h"

#include <QHash>

#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

QIcon OwnIcon(const QString &name, std::initializer_list<int> sizes = {16, 24, 48})
{
    QIcon icon;
    for (const int size : sizes)
        icon.addFile(u":/icons/%1-%2.png"_s.arg(name).arg(size), QSize(size, size));
    return icon;
}

// The theme is asked on every call, as it can change while the program runs; our fallback is
// built only once per name.
QIcon Themed(const QString &themeName, const QString &ownName)
{
    static QHash<QString, QIcon> own;
    auto it = own.find(ownName);
    if (it == own.end())
        it = own.insert(ownName, OwnIcon(ownName));
    return QIcon::fromTheme(themeName, *it);
}

} // namespace

QIcon ToolIcon(const QString &key)
{
    struct Entry
    {
        QString key, theme, own;
    };
    static const Entry entries[] = {
        {u"SIZEDISK"_s, u"drive-harddisk"_s, u"size-disk"_s},
        {u"SIZEPARENT"_s, u"folder"_s, u"size-parent"_s},
        {u"PRINT"_s, u"document-print"_s, u"print"_s},
        {u"UP"_s, u"go-up"_s, u"up"_s},
        {u"REFRESH"_s, u"view-refresh"_s, u"refresh"_s},
        {u"STOP"_s, u"process-stop"_s, u"stop"_s},
        {u"MAP"_s, u"view-grid"_s, u"map"_s},
        // No theme has a picture for "blocks taken", so ours is always used.
        {u"ONDISK"_s, u"quarnel-on-disk"_s, u"on-disk"_s},
    };
    for (const Entry &e : entries)
        if (e.key == key)
            return Themed(e.theme, e.own);
    return {};
}

QIcon DriveIcon(DriveKind kind)
{
    switch (kind) {
    case DriveKind::Floppy:
        return Themed(u"media-floppy"_s, u"drive-floppy"_s);
    case DriveKind::Fixed:
        return Themed(u"drive-harddisk"_s, u"drive-fixed"_s);
    case DriveKind::CdRom:
        return Themed(u"drive-optical"_s, u"drive-cdrom"_s);
    case DriveKind::Removable:
        return Themed(u"drive-removable-media"_s, u"drive-removable"_s);
    case DriveKind::Remote:
        return Themed(u"folder-remote"_s, u"drive-remote"_s);
    case DriveKind::RamDisk:
        // Themes that have no memory picture would give the hard disk's: ours stays apart.
        return Themed(u"media-memory"_s, u"drive-unknown"_s);
    case DriveKind::Folder:
        return FolderIcon();
    case DriveKind::Saved:
        return Themed(u"document-open-recent"_s, u"drive-remote"_s);
    case DriveKind::Unknown:
        break;
    }
    return Themed(u"drive-harddisk"_s, u"drive-unknown"_s);
}

QIcon FolderIcon()
{
    return Themed(u"folder"_s, u"folder"_s);
}

QIcon FileIcon()
{
    return Themed(u"text-x-generic"_s, u"file"_s);
}

QIcon AppIcon()
{
    static const QIcon icon = OwnIcon(u"quarnel"_s, {16, 24, 32, 48, 64, 128, 256});
    return icon;
}
