#include "KindNames.h"

#include "TextTable.h"

QString KindName(FileKind kind)
{
    // Disk images came after the other kinds' texts were numbered.
    if (kind == FileKind::DiskImage)
        return Text(TextId::MapKindDiskImages);
    // Logs are text, yet no source: the key says where they went.
    if (kind == FileKind::Other)
        return Text(TextId::MapKindOthers);
    const int index = int(kind) - (kind > FileKind::DiskImage ? 1 : 0);
    return Text(TextId(int(TextId::MapKindPictures) + index));
}

QStringList KindNames()
{
    QStringList names;
    for (int kind = 0; kind <= int(FileKind::Folder); ++kind)
        names.append(KindName(FileKind(kind)));
    return names;
}
