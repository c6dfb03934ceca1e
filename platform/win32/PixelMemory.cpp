#include "platform/win32/PixelMemory.h"

#include <sys/mman.h>
#include <sys/resource.h>

#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/common/ParallelParts.h"

namespace {

// From this size a block is mapped rather than taken from the heap.
constexpr size_t kMappedFrom = 1 << 20;
// Less than this is not worth another thread.
constexpr size_t kPopulatedPerThread = 4 << 20;
constexpr size_t kPage = 4096;

// From this size a block is unmapped on a thread of its own.
constexpr size_t kReleasedAsideFrom = 16 << 20;

// Unmapping a large block hands each of its pages back one by one: for a
// decoded picture of 137 MiB that took as long as writing and flushing its
// half-size file. The job need not wait for it, so the block goes on a
// thread of its own, one block at a time. Every new block waits until the
// last one is gone, so that the process never holds both where it did not
// before; under an address-space limit, where memory still held while the
// job goes on could make another allocation fail, blocks go at once.
class AsideRelease {
public:
    void Release(BYTE* pixels, size_t bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        Join();
        rlimit space{};
        if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur == RLIM_INFINITY) {
            try {
                thread_ = std::thread([pixels, bytes] { ::munmap(pixels, bytes); });
                return;
            } catch (const std::exception&) {
                // No thread to be had: unmapped here.
            }
        }
        ::munmap(pixels, bytes);
    }

    void Wait() {
        std::lock_guard<std::mutex> lock(mutex_);
        Join();
    }

private:
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }

    std::mutex mutex_;
    std::thread thread_;
};

// Never destroyed: static objects may still free blocks as the process
// ends, and a release still running then ends with the process.
AsideRelease& Releases() {
    static AsideRelease* const releases = new AsideRelease;
    return *releases;
}

BYTE* Map(size_t bytes) {
    Releases().Wait();
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
    } else if (bytes < kReleasedAsideFrom) {
        ::munmap(pixels, bytes);
    } else {
        Releases().Release(pixels, bytes);
    }
}
