#include "image/CScratchBuffers.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cstring>

TEST(CScratchBuffersTest, SmallBuffersComeFromTheFrameAndLargerOnesFromTheHeap) {
    struct Case {
        size_t size;
        bool frame;
    };
    for (const Case& c :
         {Case{1, true}, Case{1024, true}, Case{1025, false}, Case{1064, false}, Case{0, true}}) {
        CScratchBuffers scratch;
        void* p = scratch.Allocate(c.size);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(scratch.IsFrameBuffer(p), c.frame) << c.size;
        std::memset(p, 0x5A, c.size);
    }
}

TEST(CScratchBuffersTest, AFullArenaFallsBackToTheHeapAndEveryBlockIsUsable) {
    CScratchBuffers scratch;
    void* first = scratch.Allocate(1024);
    void* second = scratch.Allocate(1024);
    void* third = scratch.Allocate(1024);
    void* fourth = scratch.Allocate(5000);
    EXPECT_TRUE(scratch.IsFrameBuffer(first));
    EXPECT_TRUE(scratch.IsFrameBuffer(second));
    EXPECT_FALSE(scratch.IsFrameBuffer(third));
    EXPECT_FALSE(scratch.IsFrameBuffer(fourth));
    // Buffers must not overlap; the sanitizer build catches writes past a heap block.
    std::memset(first, 1, 1024);
    std::memset(second, 2, 1024);
    std::memset(third, 3, 1024);
    std::memset(fourth, 4, 5000);
    EXPECT_EQ(static_cast<BYTE*>(first)[1023], 1);
    EXPECT_EQ(static_cast<BYTE*>(second)[0], 2);
    // Releasing early is allowed and the destructor then has nothing left to free.
    scratch.Release();
}

namespace {

// Depth of recursion at which a small buffer first came from the heap, or -1.
int FramesUntilHeap(int depth) {
    CScratchBuffers scratch;
    void* p = scratch.Allocate(512);
    static_cast<volatile char*>(p)[0] = 1;
    if (!scratch.IsFrameBuffer(p))
        return depth;
    if (depth == 100000)
        return -1;
    return FramesUntilHeap(depth + 1);
}

void* RunProbe(void* result) {
    *static_cast<int*>(result) = FramesUntilHeap(0);
    return nullptr;
}

}  // namespace

TEST(CScratchBuffersTest, AThreadWithLittleStackLeftUsesTheHeap) {
    // On a 256 KiB stack the frames (each holding a 2 KiB arena) use up the
    // room long before the stack itself ends.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    int depth = -2;
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, RunProbe, &depth), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_GT(depth, 10);
    EXPECT_LT(depth, 130);
}
