#include "platform/win32/Version.h"

#include <cstring>

#include "platform/win32/LastError.h"

namespace {

struct ReportedVersion {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    DWORD build;
};

constexpr ReportedVersion kNt61 = {VER_PLATFORM_WIN32_NT, 6, 1, 7601};
constinit ReportedVersion g_reported = kNt61;

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = g_reported.major;
    info->dwMinorVersion = g_reported.minor;
    info->dwBuildNumber = g_reported.build;
    info->dwPlatformId = g_reported.platformId;
    std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
    return TRUE;
}

namespace win32_testing {

void SetReportedVersion(DWORD platformId, DWORD majorVersion, DWORD minorVersion) {
    g_reported = {platformId, majorVersion, minorVersion, 0};
}

void ResetReportedVersion() {
    g_reported = kNt61;
}

}  // namespace win32_testing
