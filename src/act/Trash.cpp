#include "Trash.h"

#include <QDateTime>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray HomeTrash()
{
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/'))
        data = qgetenv("HOME") + "/.local/share";
    return data + "/Trash/";
}

bool SameDevice(const QByteArray &a, const QByteArray &b)
{
    struct stat sa, sb;
    return ::lstat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev;
}

// The folder at the top of the volume holding `path`: the last one on the way up that is on the
// same device.
QByteArray TopOfVolume(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return {};
    QByteArray top = path;
    while (top.size() > 1) {
        const qsizetype slash = top.lastIndexOf('/', top.endsWith('/') ? top.size() - 2 : -1);
        const QByteArray up = slash <= 0 ? QByteArray("/") : top.first(slash);
        struct stat above;
        if (::stat(up.constData(), &above) != 0 || above.st_dev != st.st_dev)
            break;
        top = up;
    }
    return top.endsWith('/') ? top : top + '/';
}

// A folder of the trash: made with only its owner's access when missing, refused when it is a
// link or someone else's.
bool UsableFolder(const QByteArray &path, bool make)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        if (!make || errno != ENOENT || ::mkdir(path.constData(), 0700) != 0)
            return false;
        return ::lstat(path.constData(), &st) == 0;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        errno = EPERM;
        return false;
    }
    return true;
}

bool UsableTrash(const QByteArray &trash, bool make)
{
    return UsableFolder(trash.chopped(1), make) && UsableFolder(trash + "files", make) &&
           UsableFolder(trash + "info", make);
}

} // namespace

QByteArray Trash::folderFor(const QByteArray &path, bool make)
{
    const QByteArray home = HomeTrash();
    const QByteArray homeData = home.chopped(sizeof("/Trash/") - 1);
    if (SameDevice(path, homeData)) {
        if (UsableFolder(homeData, make) && UsableTrash(home, make))
            return home;
        return {};
    }
    const QByteArray top = TopOfVolume(path);
    if (top.isEmpty())
        return {};
    const QByteArray uid = QByteArray::number(::getuid());
    // A shared .Trash counts only when sticky and not a link: otherwise anyone could read what
    // others throw away.
    struct stat shared;
    const QByteArray sharedPath = top + ".Trash";
    if (::lstat(sharedPath.constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0) {
        const QByteArray mine = sharedPath + '/' + uid + '/';
        if (UsableTrash(mine, make))
            return mine;
    }
    const QByteArray own = top + ".Trash-" + uid + '/';
    if (UsableTrash(own, make))
        return own;
    return {};
}

int Trash::move(const QByteArray &path, QByteArray *trashedAs)
{
    errno = 0;
    const QByteArray trash = folderFor(path, true);
    if (trash.isEmpty())
        return errno != 0 ? errno : ENOTSUP;
    const QByteArray name = path.sliced(path.lastIndexOf('/', path.size() - 2) + 1);
    const QByteArray base = name.endsWith('/') ? name.chopped(1) : name;
    // A trash at the top of a volume keeps paths relative to that top, so the volume can be
    // mounted elsewhere and its trash still restores.
    const QByteArray source = path.endsWith('/') ? path.chopped(1) : path;
    QByteArray original = source;
    const QByteArray top =
        trash.contains("/.Trash") ? trash.first(trash.indexOf("/.Trash") + 1) : QByteArray();
    if (!top.isEmpty() && original.startsWith(top))
        original = original.sliced(top.size());
    const QByteArray info =
        "[Trash Info]\nPath=" + original.toPercentEncoding("/") +
        "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toUtf8() +
        "\n";
    // The info file, made exclusively, claims the name in the trash.
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QByteArray trashed = attempt == 1 ? base : base + '.' + QByteArray::number(attempt);
        const QByteArray infoPath = trash + "info/" + trashed + ".trashinfo";
        const int fd = ::open(infoPath.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const bool written = ::write(fd, info.constData(), size_t(info.size())) == info.size();
        const int closed = ::close(fd);
        const QByteArray target = trash + "files/" + trashed;
        // Never over something already in files/ without its info.
        if (!written || closed != 0 ||
            ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) != 0) {
            const int error = !written || closed != 0 || errno == 0 ? EIO : errno;
            ::unlink(infoPath.constData());
            if (error == EEXIST)
                continue;
            return error;
        }
        if (trashedAs)
            *trashedAs = target;
        return 0;
    }
    return EEXIST;
}
