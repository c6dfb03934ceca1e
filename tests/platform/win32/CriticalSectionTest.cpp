#include "platform/win32/CriticalSection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(CriticalSectionTest, TheHoldingThreadEntersAgainWhileOthersWait) {
    CRITICAL_SECTION lock;
    InitializeCriticalSection(&lock);
    EnterCriticalSection(&lock);
    EnterCriticalSection(&lock);  // would deadlock on a plain mutex

    std::atomic<bool> entered{false};
    std::thread other([&] {
        EnterCriticalSection(&lock);
        entered = true;
        LeaveCriticalSection(&lock);
    });
    LeaveCriticalSection(&lock);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(entered) << "one Leave must not release a lock entered twice";
    LeaveCriticalSection(&lock);
    other.join();
    EXPECT_TRUE(entered);
    DeleteCriticalSection(&lock);
}
