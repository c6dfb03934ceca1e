#include "platform/win32/ParallelParts.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

TEST(ParallelPartsTest, PartsCoverTheRangeOnceInAlignedPiecesOnSeveralThreads) {
    struct Case {
        size_t size, minPart, alignment;
    };
    const Case cases[] = {{0, 16, 1},
                          {1, 16, 1},
                          {100, 16, 1},
                          {100, 16, 8},
                          {4096 * 9 + 5, 4096, 4096},
                          {1000, 1, 3},
                          {64 << 20, 16 << 20, 4096}};
    const size_t processors = std::max(1u, std::thread::hardware_concurrency());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::mutex mutex;
        std::map<size_t, std::pair<size_t, size_t>> parts;  // by part number
        std::set<std::thread::id> threads;
        RunInParts(c.size, c.minPart, c.alignment, [&](size_t part, size_t begin, size_t end) {
            const std::lock_guard<std::mutex> lock(mutex);
            EXPECT_TRUE(parts.emplace(part, std::make_pair(begin, end)).second) << "part " << part;
            threads.insert(std::this_thread::get_id());
        });
        ASSERT_FALSE(parts.empty());
        EXPECT_LE(parts.size(), std::min(processors, kMostParts));
        EXPECT_EQ(threads.size(), parts.size());
        size_t next = 0, number = 0;
        for (const auto& [part, range] : parts) {
            EXPECT_EQ(part, number++);
            EXPECT_EQ(range.first, next);
            EXPECT_EQ(range.first % c.alignment, 0u);
            EXPECT_LE(range.first, range.second);
            next = range.second;
        }
        EXPECT_EQ(next, c.size);
    }
}
