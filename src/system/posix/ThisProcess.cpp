#include "ThisProcess.h"

#include "FileSystem.h"
#include "FolderListing.h"
#include "UniqueFd.h"

#include <algorithm>
#include <climits>

#include <sys/resource.h>
#include <unistd.h>

namespace ThisProcess {

int FreeDescriptors()
{
    struct rlimit limit
    {
    };
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur > rlim_t(INT_MAX / 2))
        return INT_MAX / 2;
    const int allowed = int(limit.rlim_cur);
    const UniqueFd open(FileSystem::OpenFolder("/proc/self/fd"));
    if (!open.isOpen())
        return allowed - 16; // a guess at what a process holds before its work begins
    int used = -1;           // the listing's own descriptor
    FolderListing listing(open.get());
    FolderListing::Entry entry;
    while (listing.next(entry))
        ++used;
    return std::max(0, allowed - used);
}

void LowerThreadPriority(int niceness)
{
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), niceness);
}

quint32 UserId()
{
    return ::getuid();
}

QByteArray HostName()
{
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? QByteArray(name) : QByteArray();
}

quint64 PeakResidentBytes()
{
    struct rusage usage
    {
    };
    ::getrusage(RUSAGE_SELF, &usage);
    return quint64(usage.ru_maxrss) * 1024; // counted in KiB
}

} // namespace ThisProcess
