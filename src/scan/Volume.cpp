#include "Volume.h"

#include "Paths.h"

int DrivePicture(DriveKind kind)
{
    switch (kind) {
    case DriveKind::Floppy:
        return 1;
    case DriveKind::Fixed:
        return 2;
    case DriveKind::CdRom:
        return 3;
    case DriveKind::Removable:
        return 4;
    case DriveKind::Remote:
        return 5;
    case DriveKind::Unknown:
    case DriveKind::RamDisk:
        break;
    }
    return 6;
}

QByteArray Volume::root() const
{
    return AddSlash(mountPoint);
}
