#include "image/CGdiplusGuard.h"

#include <gtest/gtest.h>

#include "image/CDibImage.h"
#include "image/ProcessObjects.h"
#include "platform/gdiplus/GdiplusStartup.h"

namespace {

// Start-up and shutdown calls made since construction.
struct CallCounter {
    gdiplus_testing::StartupCounts base = gdiplus_testing::GetStartupCounts();
    int Startups() const { return gdiplus_testing::GetStartupCounts().startups - base.startups; }
    int Shutdowns() const { return gdiplus_testing::GetStartupCounts().shutdowns - base.shutdowns; }
};

}  // namespace

TEST(CGdiplusGuardTest, StartingTwiceStartsTheLibraryOnce) {
    CallCounter calls;
    CGdiplusGuard guard;
    EXPECT_TRUE(guard.Start());
    EXPECT_TRUE(guard.Start());
    EXPECT_EQ(calls.Startups(), 1);
    EXPECT_NE(guard.Token(), 0u);
    guard.Stop();
    guard.Stop();
    EXPECT_EQ(calls.Shutdowns(), 1);
    EXPECT_EQ(guard.Token(), 0u);
}

TEST(CGdiplusGuardTest, AFailedStartLeavesTheGuardStoppedAndTheNextStartTriesAgain) {
    CallCounter calls;
    CGdiplusGuard guard;
    gdiplus_testing::FailNextStartups(1);
    EXPECT_FALSE(guard.Start());
    EXPECT_EQ(guard.Token(), 0u);
    EXPECT_TRUE(guard.Start());
    EXPECT_EQ(calls.Startups(), 2);
}

TEST(CGdiplusGuardTest, TheLastLiveImageStopsTheLibrary) {
    CallCounter calls;
    CGdiplusGuard guard;
    guard.RegisterImage();
    guard.RegisterImage();
    guard.Start();
    guard.UnregisterImage();
    EXPECT_NE(guard.Token(), 0u) << "one image still lives";
    EXPECT_EQ(calls.Shutdowns(), 0);
    guard.UnregisterImage();
    EXPECT_EQ(guard.Token(), 0u);
    EXPECT_EQ(calls.Shutdowns(), 1);
    // The library can be started again afterwards.
    EXPECT_TRUE(guard.Start());
    EXPECT_EQ(calls.Startups(), 2);
}

TEST(CGdiplusGuardTest, ImagesThatNeverStartedTheLibraryStopNothing) {
    CallCounter calls;
    CGdiplusGuard guard;
    guard.RegisterImage();
    guard.UnregisterImage();
    EXPECT_EQ(calls.Shutdowns(), 0);
    EXPECT_EQ(guard.LiveImages(), 0);
}

TEST(CGdiplusGuardTest, TeardownShutsARunningLibraryDownOnce) {
    CallCounter calls;
    {
        CGdiplusGuard running;
        running.Start();
        CGdiplusGuard idle;
    }
    EXPECT_EQ(calls.Startups(), 1);
    EXPECT_EQ(calls.Shutdowns(), 1);
}

TEST(CGdiplusGuardTest, TheProcessGuardCountsEveryImage) {
    CallCounter calls;
    const LONG live = theGdiplusGuard.LiveImages();
    {
        CDibImage a;
        {
            CDibImage b;
            EXPECT_EQ(theGdiplusGuard.LiveImages(), live + 2);
            EXPECT_TRUE(theGdiplusGuard.Start());
        }
        EXPECT_TRUE(GdiplusIsRunning()) << "image a still lives";
    }
    EXPECT_EQ(theGdiplusGuard.LiveImages(), live);
    EXPECT_FALSE(GdiplusIsRunning());
    EXPECT_EQ(calls.Startups(), 1);
    EXPECT_EQ(calls.Shutdowns(), 1);
}
