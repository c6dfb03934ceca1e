// Pages of a block made present on a thread of their own, a bounded distance
// ahead of a writer that fills the block in order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

#include "platform/win32/WinTypes.h"

class PagesAhead {
public:
    // The writer starts at `start` and moves towards lower addresses when
    // `downward`, else towards higher ones, over `bytes` bytes. Nothing runs
    // for a block too small to gain from it, or when no thread can be had.
    PagesAhead(BYTE* start, size_t bytes, bool downward);
    ~PagesAhead();
    PagesAhead(const PagesAhead&) = delete;
    PagesAhead& operator=(const PagesAhead&) = delete;

    // The writer has written this many bytes from its start.
    void WriterAt(size_t written);

private:
    void Run();

    BYTE* start_;
    size_t bytes_;
    bool downward_;
    std::mutex mutex_;
    std::condition_variable wanted_;
    size_t target_ = 0;  // populate up to here
    bool stop_ = false;
    std::thread thread_;
};
