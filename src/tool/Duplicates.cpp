#include "Duplicates.h"

#include "DriveScan.h"
#include "DuplicateSearch.h"
#include "PathEscape.h"

#include <cstdio>
#include <cstring>
#include <thread>

int PrintDuplicates(const DriveScan &scan, const Arguments &args)
{
    DuplicateOptions options;
    options.minimumSize = args.minimumSize;
    options.measure = args.diskUsage ? SizeMeasure::OnDisk : SizeMeasure::Apparent;
    options.readers = int(std::max(4u, std::thread::hardware_concurrency()));
    const DuplicateResult result = FindDuplicates(scan, 0, options);

    QByteArray out;
    const auto flush = [&out] {
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        out.clear();
    };
    for (const DuplicateGroup &group : result.groups) {
        out += QByteArray::number(group.size) + " bytes each, " +
               QByteArray::number(group.copies.size()) + " copies, " +
               QByteArray::number(group.waste(options.measure)) + " bytes to free\n";
        for (const DuplicateCopy &copy : group.copies)
            out += EscapePath(scan.pathOf(copy.folder) + copy.name) + '\n';
        out += '\n';
        if (out.size() > (1 << 16))
            flush();
    }
    for (const FolderMatch &match : result.folders) {
        out += "folders " + QByteArray::number(match.percent) + "% identical, " +
               QByteArray::number(match.bytes) + " bytes\n";
        for (const WalkSink::FolderId folder : match.folders)
            out += EscapePath(scan.pathOf(folder).chopped(1)) + '\n';
        out += '\n';
    }
    flush();
    for (const DuplicateResult::Unread &unread : result.unreadSample)
        std::fprintf(stderr, "quarnel-scan: %s %s: %s\n", unread.error ? "cannot read" : "left out",
                     EscapePath(unread.path).constData(),
                     unread.error ? std::strerror(unread.error) : "changed since the walk");
    if (result.unreadable > quint32(result.unreadSample.size()))
        std::fprintf(stderr, "quarnel-scan: %u more files left out\n",
                     result.unreadable - quint32(result.unreadSample.size()));
    return std::fflush(stdout) == 0 && result.unreadable == 0 ? 0 : 1;
}
