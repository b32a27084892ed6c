#include "ChangeSource.h"

#include "FanotifySource.h"
#include "InotifySource.h"

std::unique_ptr<ChangeSource> ChangeSource::Fanotify(const QByteArray &root, int &error)
{
    return FanotifySource::Open(root, error);
}

std::unique_ptr<ChangeSource> ChangeSource::Inotify(const QByteArray &root, int &error)
{
    return InotifySource::Open(root, error);
}
