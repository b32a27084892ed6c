#pragma once

#include "DriveScan.h"
#include "WalkSink.h"

#include <QByteArray>
#include <QByteArrayView>

#include <atomic>
#include <mutex>
#include <vector>

// Reports what could not be read as it is met, then records like any scan.
class ReportingScan final : public WalkSink
{
public:
    explicit ReportingScan(DriveScan &scan)
        : m_scan(scan)
    {}
    FolderId openedFolder(FolderId parent, QByteArrayView name, qint64 date, quint32 ordinal,
                          quint64 inode) override
    {
        return m_scan.openedFolder(parent, name, date, ordinal, inode);
    }
    void listedFolder(FolderId folder, const FileRecordWriter &files, CountedBytes counted,
                      quint32 subfolderEntries) override
    {
        m_scan.listedFolder(folder, files, counted, subfolderEntries);
    }
    void skippedFolder(FolderId parent, QByteArrayView name, int error) override;
    void unreadEntry(FolderId folder, QByteArrayView name, int error) override;
    void cycleFolder(FolderId parent, QByteArrayView name) override;
    void otherVolume(FolderId parent, QByteArrayView name) override
    {
        m_scan.otherVolume(parent, name);
    }
    void excludedEntry(FolderId folder, QByteArrayView name, bool isFolder) override
    {
        m_scan.excludedEntry(folder, name, isFolder);
    }
    void moveBytes(FolderId from, FolderId to, CountedBytes bytes) override
    {
        m_scan.moveBytes(from, to, bytes);
    }
    void keepHardLinks(std::vector<HardLink> links) override
    {
        m_scan.keepHardLinks(std::move(links));
    }
    void walkedDevice(quint64 device) override { m_scan.walkedDevice(device); }
    FolderId parentOf(FolderId folder) const override { return m_scan.parentOf(folder); }
    quint32 ordinalOf(FolderId folder) const override { return m_scan.ordinalOf(folder); }
    quint64 inodeOf(FolderId folder) const override { return m_scan.inodeOf(folder); }
    QByteArray pathOf(FolderId folder) const override { return m_scan.pathOf(folder); }

    // Something was left out for another reason than permissions.
    bool incomplete() const { return m_incomplete.load(); }

private:
    void report(const char *what, const QByteArray &path, int error, bool incomplete);

    DriveScan &m_scan;
    std::mutex m_lock;
    std::atomic<bool> m_incomplete{false};
};
