#include "AddressSpace.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include <sys/resource.h>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace AddressSpace {

quint64 Left()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<quint64>::max();
    // What is mapped now, in pages: the first figure of statm.
    unsigned long long pages = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "re")) {
        if (std::fscanf(statm, "%llu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const quint64 used = pages * quint64(::sysconf(_SC_PAGESIZE));
    return quint64(limit.rlim_cur) > used ? quint64(limit.rlim_cur) - used : 0;
}

void FitMallocArenas()
{
#ifdef __GLIBC__
    const quint64 left = Left();
    if (left == std::numeric_limits<quint64>::max())
        return;
    // An arena's heap in glibc: twice the largest mmap threshold, so 64 MiB on 64-bit systems.
    constexpr quint64 ArenaBytes = 2 * 4 * 1024 * 1024 * sizeof(long);
    ::mallopt(M_ARENA_MAX, int(std::clamp<quint64>(left / 4 / ArenaBytes, 1, 64)));
#endif
}

} // namespace AddressSpace
