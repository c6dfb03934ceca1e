#include "platform/win32/PixelMemory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

// From this size a block is mapped rather than taken from the heap.
constexpr size_t kMappedFrom = 1 << 20;

BYTE* Map(size_t bytes, int flags) {
    void* p =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<BYTE*>(p);
}

}  // namespace

// Large blocks are mapped with their pages present: one call instead of a
// fault at every page while the pixels are first written, which is most of
// the cost of filling a large picture. Huge pages were tried and dropped: on
// virtual machines that hand free memory back to the host, every fresh huge
// page may cost a fault in the host, and the job's time became erratic.
BYTE* AllocateZeroedPixels(size_t bytes) {
    if (bytes < kMappedFrom)
        return static_cast<BYTE*>(std::calloc(bytes, 1));
    return Map(bytes, MAP_POPULATE);
}

BYTE* AllocateUninitialisedPixels(size_t bytes) {
    if (bytes < kMappedFrom)
        return static_cast<BYTE*>(std::malloc(bytes > 0 ? bytes : 1));
    return Map(bytes, MAP_POPULATE);
}

void FreePixels(BYTE* pixels, size_t bytes) {
    if (pixels == nullptr)
        return;
    if (bytes < kMappedFrom) {
        std::free(pixels);
    } else {
        ::munmap(pixels, bytes);
    }
}
