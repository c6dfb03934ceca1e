#include "platform/win32/Version.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/LastError.h"

namespace {

class VersionTest : public ::testing::Test {
protected:
    void TearDown() override { win32_testing::ResetReportedVersion(); }
};

OSVERSIONINFOA RecordOfSize(DWORD size) {
    OSVERSIONINFOA info;
    std::memset(&info, 0xA5, sizeof(info));
    info.dwOSVersionInfoSize = size;
    return info;
}

TEST_F(VersionTest, ReportsNt61WithAnEmptyServicePackText) {
    OSVERSIONINFOA info = RecordOfSize(sizeof(OSVERSIONINFOA));
    ASSERT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_STREQ(info.szCSDVersion, "");
    EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
}

TEST_F(VersionTest, RefusesEveryRecordSizeButItsOwnAndLeavesTheRecordAlone) {
    // 156 is the extended record, which this program never passes.
    for (DWORD size : {0u, 147u, 149u, 156u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        OSVERSIONINFOA info = RecordOfSize(size);
        const OSVERSIONINFOA before = info;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetVersionExA(&info), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(std::memcmp(&info, &before, sizeof(info)), 0);
    }
}

TEST_F(VersionTest, RefusesANullRecord) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetVersionExA(nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(VersionTest, ReportsTheVersionATestSetsUntilItIsReset) {
    win32_testing::SetReportedVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    OSVERSIONINFOA info = RecordOfSize(sizeof(OSVERSIONINFOA));
    ASSERT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);

    win32_testing::ResetReportedVersion();
    ASSERT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 6u);
}

}  // namespace
