#pragma once

#include "ChangeSource.h"
#include "UniqueFd.h"

#include <QByteArrayList>
#include <QHash>

struct inotify_event;

// A watch on each folder, which any user may place, within the user's limit of watches
// (fs.inotify.max_user_watches) that the folders of a large volume can exceed. A folder's watch
// follows the folder itself, not its path: when it moves, the caller watches it again under
// its new path, and the watch is the same one.
class InotifySource : public ChangeSource
{
public:
    // Null with `error` set when the kernel gives no instance (EMFILE: the user's limit).
    static std::unique_ptr<InotifySource> Open(const QByteArray &root, int &error);

    int fd() const override { return m_fd.get(); }
    void readEvents(Changes &into) override;
    bool watchesEachFolder() const override { return true; }
    // EINVAL for a folder outside the root.
    bool watch(const QByteArray &folder) override;
    void unwatch(const QByteArray &folder) override;
    void unwatchBelow(const QByteArray &folder) override;

    // How many watches this user may still add: the system's limit less those the user's
    // processes hold, as far as their descriptors can be read; -1 when the limit is unknown.
    static qint64 WatchesAvailable();

private:
    InotifySource(int fd, const QByteArray &root);
    void take(const inotify_event &event, Changes &into);
    void report(QByteArrayView relative, Changes &into) const;
    QByteArrayView pathAt(quint32 at) const;
    void forget(int watch);

    UniqueFd m_fd;
    QByteArray m_root;
    // Each watch's folder, below the root: a volume's folders take one apiece, so their paths
    // are kept end to end, NUL after each, and found by where they start.
    QHash<int, quint32> m_pathAt;
    QByteArray m_paths;
    qsizetype m_unused = 0; // bytes of paths no watch has any more
};
