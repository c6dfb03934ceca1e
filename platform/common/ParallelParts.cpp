#include "platform/common/ParallelParts.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

size_t ProcessorCount() {
    static const size_t processors = std::max(1u, std::thread::hardware_concurrency());
    return processors;
}

void RunInParts(size_t size, size_t minPart, size_t alignment,
                const std::function<void(size_t, size_t, size_t)>& work) {
    const size_t parts = std::max<size_t>(
        1, std::min({ProcessorCount(), kMostParts, size / std::max<size_t>(minPart, 1)}));
    std::vector<size_t> starts;
    for (size_t part = 0; part < parts; ++part) {
        const size_t start = size / parts * part / alignment * alignment;
        if (starts.empty() || start > starts.back())
            starts.push_back(start);
    }
    starts.push_back(size);

    std::vector<std::thread> threads;
    std::vector<size_t> leftOver;
    for (size_t part = 1; part + 1 < starts.size(); ++part) {
        try {
            threads.emplace_back(work, part, starts[part], starts[part + 1]);
        } catch (const std::system_error&) {
            leftOver.push_back(part);
        }
    }
    work(0, starts[0], starts[1]);
    for (const size_t part : leftOver)
        work(part, starts[part], starts[part + 1]);
    for (std::thread& thread : threads)
        thread.join();
}
