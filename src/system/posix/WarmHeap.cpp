#include "WarmHeap.h"

#include <cstdlib>

#include <unistd.h>

namespace WarmHeap {

void *Reserve(std::size_t bytes)
{
#ifdef __GLIBC__
    // glibc maps a large block apart from the heap and unmaps it when it is freed, taking its
    // pages away; but freeing one raises that size threshold to the block's size, and the heap's
    // trimming threshold to twice that. A slightly larger block freed first makes the one below
    // come from the heap, and stay there once freed. The volatile keeps the pair from being
    // optimised away.
    void *volatile raise = std::malloc(bytes + 256 * 1024);
    std::free(raise);
#endif
    return std::malloc(bytes);
}

void Release(void *block, std::size_t bytes)
{
    if (block == nullptr)
        return;
    const auto page = std::size_t(::sysconf(_SC_PAGESIZE));
    auto *bytesOf = static_cast<volatile char *>(block);
    for (std::size_t at = 0; at < bytes; at += page)
        bytesOf[at] = 0;
    std::free(block);
}

} // namespace WarmHeap
