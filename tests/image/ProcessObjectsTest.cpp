// The objects images share in a process: the codec library's guard and the
// scratch buffers.
#include <gtest/gtest.h>
#include <pthread.h>

#include "image/CDibImage.h"
#include "image/CGdiplusGuard.h"
#include "image/CScratchBuffers.h"
#include "image/ProcessObjects.h"
#include "platform/gdiplus/GdiplusStartup.h"
#include "tests/fakes/GdiplusFakes.h"

namespace {

// Start-ups and shutdowns since construction.
struct Calls {
    gdiplus_testing::StartupCounts base = gdiplus_testing::GetStartupCounts();
    int Startups() const { return gdiplus_testing::GetStartupCounts().startups - base.startups; }
    int Shutdowns() const { return gdiplus_testing::GetStartupCounts().shutdowns - base.shutdowns; }
};

TEST(ProcessObjectsTest, TheGuardStartsTheLibraryOnceAndTheLastImageOrTeardownStopsIt) {
    Calls calls;
    {
        CGdiplusGuard guard;
        gdiplus_testing::FailNextStartups(1);
        EXPECT_FALSE(guard.Start());
        EXPECT_TRUE(guard.Start()) << "a failed start is tried again";
        EXPECT_TRUE(guard.Start());
        EXPECT_EQ(calls.Startups(), 2);
        guard.RegisterImage();
        guard.RegisterImage();
        guard.UnregisterImage();
        EXPECT_NE(guard.Token(), 0u) << "one image still lives";
        guard.UnregisterImage();
        EXPECT_EQ(calls.Shutdowns(), 1);
        EXPECT_EQ(guard.Token(), 0u);
        guard.Start();
    }
    EXPECT_EQ(calls.Shutdowns(), 2) << "teardown stops a running library";
    {
        CDibImage a;
        {
            CDibImage b;
            EXPECT_TRUE(theGdiplusGuard.Start());
        }
        EXPECT_TRUE(GdiplusIsRunning()) << "image a still lives";
    }
    EXPECT_FALSE(GdiplusIsRunning());
}

// The depth at which a small buffer first came from the heap, or -1.
int FramesUntilHeap(int depth) {
    CScratchBuffers scratch;
    void* p = scratch.Allocate(512);
    static_cast<volatile char*>(p)[0] = 1;
    if (!scratch.IsFrameBuffer(p))
        return depth;
    return depth == 100000 ? -1 : FramesUntilHeap(depth + 1);
}

TEST(ProcessObjectsTest, AThreadWithLittleStackLeftTakesScratchBuffersFromTheHeap) {
    // On 256 KiB of stack, frames of a 2 KiB arena each use the room up long
    // before the stack itself ends.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    int depth = -2;
    pthread_t thread;
    const auto probe = [](void* result) -> void* {
        *static_cast<int*>(result) = FramesUntilHeap(0);
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, probe, &depth), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_GT(depth, 10);
    EXPECT_LT(depth, 130);
}

}  // namespace
