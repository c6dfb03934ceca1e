#include "platform/win32/PagesAhead.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <system_error>

namespace {

// The lead over the writer, and the piece populated at a time. The writer
// never meets a page fault while the other thread keeps up, and the block
// holds at most the lead more pages than the writer has filled: a file that
// turns out to be damaged part-way has not cost the whole picture.
constexpr size_t kLead = 8 << 20;
constexpr size_t kPiece = 1 << 20;
constexpr uintptr_t kPage = 4096;

}  // namespace

PagesAhead::PagesAhead(BYTE* start, size_t bytes, bool downward)
    : start_(start), bytes_(bytes), downward_(downward) {
    if (bytes < 2 * kLead)
        return;
    target_ = kLead;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // The writer faults its pages in itself, as without this.
    }
}

PagesAhead::~PagesAhead() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wanted_.notify_one();
    thread_.join();
}

void PagesAhead::WriterAt(size_t written) {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        const size_t target = std::min(bytes_, written + kLead);
        if (target < target_ + kPiece)
            return;
        target_ = target;
    }
    wanted_.notify_one();
}

void PagesAhead::Run() {
    size_t done = 0;
    for (;;) {
        size_t target;
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, [&] { return stop_ || target_ > done; });
            if (stop_)
                return;
            target = target_;
        }
        // Whole pages inside the writer's range [done, target) only; the
        // call faults them in writable without touching their bytes, so the
        // writer may be filling the pages before them meanwhile.
        uintptr_t low, high;
        if (downward_) {
            low = reinterpret_cast<uintptr_t>(start_) - target;
            high = reinterpret_cast<uintptr_t>(start_) - done;
        } else {
            low = reinterpret_cast<uintptr_t>(start_) + done;
            high = reinterpret_cast<uintptr_t>(start_) + target;
        }
        low = (low + kPage - 1) & ~(kPage - 1);
        high &= ~(kPage - 1);
        // A kernel without the call leaves the pages to the writer.
        if (high > low &&
            ::madvise(reinterpret_cast<void*>(low), high - low, MADV_POPULATE_WRITE) != 0)
            return;
        done = target;
    }
}
