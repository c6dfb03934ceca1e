#include "tests/fakes/Win32Fakes.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cstring>

#include "platform/win32/Host.h"
#include "platform/win32/Version.h"

namespace {

constexpr win32_testing::RenameCalls kSystemCalls = {
    [](const char* from, const char* to) {
        return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    },
    [](const char* from, const char* to) { return ::linkat(AT_FDCWD, from, AT_FDCWD, to, 0); },
    ::unlink};
constexpr host::WindowsVersion kNt61 = {VER_PLATFORM_WIN32_NT, 6, 1, 7601};

constinit win32_testing::RenameCalls g_calls = kSystemCalls;
constinit host::WindowsVersion g_version = kNt61;
char g_codePageText[32] = "65001";

}  // namespace

namespace host {
int RenameNoReplace(const char* from, const char* to) {
    return g_calls.renameNoReplace(from, to);
}
int Link(const char* from, const char* to) {
    return g_calls.link(from, to);
}
int Unlink(const char* path) {
    return g_calls.unlink(path);
}
WindowsVersion ReportedWindowsVersion() {
    return g_version;
}
const char* AnsiCodePageText() {
    return g_codePageText;
}
}  // namespace host

namespace win32_testing {
RenameCalls SystemRenameCalls() {
    return kSystemCalls;
}
RenameCalls SetRenameCalls(const RenameCalls& calls) {
    const RenameCalls previous = g_calls;
    g_calls = calls;
    return previous;
}
void SetReportedVersion(DWORD platformId, DWORD majorVersion, DWORD minorVersion) {
    g_version = {platformId, majorVersion, minorVersion, 0};
}
void ResetReportedVersion() {
    g_version = kNt61;
}
void SetAnsiCodePageText(const char* text) {
    std::strncpy(g_codePageText, text, sizeof(g_codePageText) - 1);
}
void ResetLocaleAnswers() {
    SetAnsiCodePageText("65001");
}
}  // namespace win32_testing
