#pragma once

#include "ChangeSource.h"
#include "UniqueFd.h"

#include <QByteArrayView>
#include <QHash>

#include <vector>

// One mark on the whole file system the root lies on: no watch to place nor any limit of them,
// but only for a process with CAP_SYS_ADMIN, and on kernels of 5.9 or later. Events name a
// folder by its file handle, which becomes a path again through the root's descriptor; the
// mark sees the rest of the file system too, which is left out.
class FanotifySource : public ChangeSource
{
public:
    static std::unique_ptr<FanotifySource> Open(const QByteArray &root, int &error);

    int fd() const override { return m_group.get(); }
    void readEvents(Changes &into) override;
    bool watchesEachFolder() const override { return false; }
    bool watch(const QByteArray &) override { return true; }
    void unwatch(const QByteArray &) override {}
    void unwatchBelow(const QByteArray &) override {}

private:
    // Handles already turned into paths during one read: many events share a folder. An empty
    // path for a handle that leads nowhere any more.
    using KnownFolders = QHash<QByteArray, QByteArray>;

    FanotifySource(UniqueFd group, UniqueFd mount, const QByteArray &root);
    void take(QByteArrayView records, quint64 mask, Changes &into, KnownFolders &known);
    // `id`: the file system's id, then its struct file_handle.
    QByteArray folderOf(QByteArrayView id, KnownFolders &known) const;
    void report(const QByteArray &folder, Changes &into) const;

    UniqueFd m_group;
    UniqueFd m_mount; // the root, for open_by_handle_at
    QByteArray m_root;
    std::vector<char> m_buffer;
};
