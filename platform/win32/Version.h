// The operating-system version as kernel32 reports it to narrow callers.
#pragma once

#include "platform/win32/WinTypes.h"

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// The caller sets dwOSVersionInfoSize to sizeof(OSVERSIONINFOA); any other
// size fails with ERROR_INSUFFICIENT_BUFFER and leaves the record unchanged.
BOOL GetVersionExA(OSVERSIONINFOA* info);

// Seam for tests: the version that GetVersionExA reports. By default it is
// NT 6.1, the generation whose behaviour this port follows.
namespace win32_testing {
void SetReportedVersion(DWORD platformId, DWORD majorVersion, DWORD minorVersion);
void ResetReportedVersion();
}  // namespace win32_testing
