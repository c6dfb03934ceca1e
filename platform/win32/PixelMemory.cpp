#include "platform/win32/PixelMemory.h"

#include <sys/mman.h>

#include <cstdlib>

#include "platform/common/ParallelParts.h"

namespace {

// From this size a block is mapped rather than taken from the heap.
constexpr size_t kMappedFrom = 1 << 20;
// Less than this is not worth another thread.
constexpr size_t kPopulatedPerThread = 4 << 20;
constexpr size_t kPage = 4096;

BYTE* Map(size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<BYTE*>(p);
}

}  // namespace

// Large blocks are mapped with their pages made present up front, a share
// of them on each processor: faulting the pages in one by one as the pixels
// are first written, or on one processor, was most of the cost of filling a
// large picture. Huge pages were tried and dropped: on virtual machines that
// hand free memory back to the host, every fresh huge page may cost a fault
// in the host, and the job's time became erratic.
BYTE* AllocateZeroedPixels(size_t bytes) {
    if (bytes < kMappedFrom)
        return static_cast<BYTE*>(std::calloc(bytes, 1));
    BYTE* p = Map(bytes);
    if (p != nullptr) {
        // A kernel without the call leaves the pages to be faulted in.
        RunInParts(bytes, kPopulatedPerThread, kPage, [p](size_t, size_t begin, size_t end) {
            ::madvise(p + begin, end - begin, MADV_POPULATE_WRITE);
        });
    }
    return p;
}

BYTE* AllocateZeroedPixelsOnDemand(size_t bytes) {
    if (bytes < kMappedFrom)
        return static_cast<BYTE*>(std::calloc(bytes, 1));
    return Map(bytes);
}

BYTE* AllocateUninitialisedPixels(size_t bytes) {
    if (bytes < kMappedFrom)
        return static_cast<BYTE*>(std::malloc(bytes > 0 ? bytes : 1));
    return Map(bytes);
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
