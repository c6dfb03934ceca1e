// Work over a large block of memory shared out among the processors.
#pragma once

#include <cstddef>
#include <functional>

// The processors this process may use, at least 1; read once, as asking
// the system costs a file read every time.
size_t ProcessorCount();

// Beyond this many parts the memory, not the processors, sets the pace.
constexpr size_t kMostParts = 4;

// Splits [0, size) into parts of at least minPart bytes, at most one per
// processor and at most kMostParts, each starting on a multiple of
// `alignment`, and runs work(part, begin, end) on them at once, parts
// numbered from 0 in order: the calling thread takes the first, a thread of
// its own each of the others. A part whose thread cannot be started runs on
// the calling thread. Returns when every part is done.
void RunInParts(size_t size, size_t minPart, size_t alignment,
                const std::function<void(size_t part, size_t begin, size_t end)>& work);
