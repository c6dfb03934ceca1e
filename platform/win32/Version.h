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

// The caller sets dwOSVersionInfoSize to sizeof(OSVERSIONINFOA); any other
// size fails with ERROR_INSUFFICIENT_BUFFER and leaves the record unchanged.
// The version is the host's answer (platform/win32/Host.h): NT 6.1.
BOOL GetVersionExA(OSVERSIONINFOA* info);
