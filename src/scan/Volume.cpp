#include "Volume.h"

#include "Paths.h"

QByteArray Volume::root() const
{
    return AddSlash(mountPoint);
}
