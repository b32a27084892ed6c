#include "ReportingScan.h"

#include "PathEscape.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void ReportingScan::skippedFolder(FolderId parent, QByteArrayView name, int error)
{
    m_scan.skippedFolder(parent, name, error);
    report("cannot read", m_scan.pathOf(parent).append(name), error, error != EACCES);
}

void ReportingScan::unreadEntry(FolderId folder, QByteArrayView name, int error)
{
    m_scan.unreadEntry(folder, name, error);
    if (!name.isEmpty())
        report("cannot read", m_scan.pathOf(folder).append(name), error, true);
    else if (error == EACCES) // listed but not searchable: its entries have no sizes
        report("cannot read the entries of", m_scan.pathOf(folder), error, false);
    else
        report("cannot list all of", m_scan.pathOf(folder), error, true);
}

void ReportingScan::cycleFolder(FolderId parent, QByteArrayView name)
{
    const QByteArray path = EscapePath(m_scan.pathOf(parent).append(name));
    std::lock_guard lock(m_lock);
    std::fprintf(stderr,
                 "quarnel-scan: not entering %s: it is a folder above it again (a bind "
                 "mount), already counted\n",
                 path.constData());
}

void ReportingScan::report(const char *what, const QByteArray &path, int error, bool incomplete)
{
    const QByteArray escaped = EscapePath(path);
    std::lock_guard lock(m_lock);
    std::fprintf(stderr, "quarnel-scan: %s %s: %s\n", what, escaped.constData(),
                 std::strerror(error));
    if (incomplete)
        m_incomplete.store(true);
}
