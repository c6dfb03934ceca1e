#include "image/CMemoryDCPool.h"

#include <gtest/gtest.h>

#include "platform/win32/Gdi.h"

TEST(CMemoryDCPoolTest, TheContextGivenLastIsTakenFirst) {
    CMemoryDCPool pool;
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    pool.Give(a);
    pool.Give(b);
    EXPECT_EQ(pool.Slot(0), b);
    EXPECT_EQ(pool.Slot(1), a);
    EXPECT_EQ(pool.Slot(2), nullptr);
    EXPECT_EQ(pool.Take(), b);
    EXPECT_EQ(pool.Slot(0), nullptr);
    EXPECT_EQ(pool.Take(), a);
    DeleteDC(a);
    DeleteDC(b);
}

TEST(CMemoryDCPoolTest, AnEmptyPoolMakesANewContext) {
    CMemoryDCPool pool;
    const int before = gdi_testing::LiveDeviceContexts();
    HDC made = pool.Take();
    EXPECT_NE(made, nullptr);
    EXPECT_EQ(gdi_testing::LiveDeviceContexts(), before + 1);
    pool.Give(made);
}

TEST(CMemoryDCPoolTest, GivingMovesContextsUpOnlyToTheFirstEmptySlot) {
    CMemoryDCPool pool;
    HDC dc[3];
    for (HDC& d : dc)
        d = CreateCompatibleDC(nullptr);
    pool.Give(dc[0]);
    pool.Give(dc[1]);
    pool.Give(dc[2]);  // slots: 2, 1, 0, -
    EXPECT_EQ(pool.Take(), dc[2]);
    EXPECT_EQ(pool.Take(), dc[1]);  // slots: -, -, 0, -
    pool.Give(dc[1]);               // fills slot 0 only
    EXPECT_EQ(pool.Slot(0), dc[1]);
    EXPECT_EQ(pool.Slot(1), nullptr);
    EXPECT_EQ(pool.Slot(2), dc[0]);
    pool.Give(dc[2]);  // pushes 1 into the empty slot 1; slot 2 stays
    EXPECT_EQ(pool.Slot(0), dc[2]);
    EXPECT_EQ(pool.Slot(1), dc[1]);
    EXPECT_EQ(pool.Slot(2), dc[0]);
    EXPECT_EQ(pool.Slot(3), nullptr);
}

TEST(CMemoryDCPoolTest, AFifthGiveDeletesTheContextPushedOutOfTheLastSlot) {
    const int before = gdi_testing::LiveDeviceContexts();
    {
        CMemoryDCPool pool;
        HDC dc[5];
        for (HDC& d : dc)
            d = CreateCompatibleDC(nullptr);
        for (int i = 0; i < 4; ++i)
            pool.Give(dc[i]);
        EXPECT_EQ(gdi_testing::LiveDeviceContexts(), before + 5);
        pool.Give(dc[4]);
        EXPECT_EQ(gdi_testing::LiveDeviceContexts(), before + 4);
        EXPECT_EQ(pool.Slot(0), dc[4]);
        EXPECT_EQ(pool.Slot(1), dc[3]);
        EXPECT_EQ(pool.Slot(2), dc[2]);
        EXPECT_EQ(pool.Slot(3), dc[1]);
    }
    // The pool's teardown deletes the four it still held.
    EXPECT_EQ(gdi_testing::LiveDeviceContexts(), before);
}
