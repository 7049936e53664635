#include "controls/LogBlock.h"

#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <new>
#include <sys/mman.h>

std::shared_ptr<char> mapLogBlock(std::size_t size)
{
    void *block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    return std::shared_ptr<char>(static_cast<char *>(block), [size](char *mapped) {
        // Fails only for a range that was never mapped, a fault of ours:
        // nothing to undo, the block stays mapped.
        if (munmap(mapped, size) != 0)
            qWarning("Cannot unmap a log block: %s", std::strerror(errno));
    });
}
