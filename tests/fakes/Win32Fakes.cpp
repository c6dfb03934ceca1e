#include "tests/fakes/Win32Fakes.h"

#include <string>

#include "platform/host/System.h"

namespace {

constexpr win32_testing::RenameCalls kSystemCalls = {host::system::RenameNoReplace,
                                                     host::system::Link, host::system::Unlink};

constinit win32_testing::RenameCalls g_calls = kSystemCalls;
constinit host::WindowsVersion g_version = host::system::ReportedWindowsVersion();
std::string g_codePageText = host::system::AnsiCodePageText();

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
    return g_codePageText.c_str();
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
    g_version = host::system::ReportedWindowsVersion();
}
void SetAnsiCodePageText(const char* text) {
    g_codePageText = text;
}
void ResetLocaleAnswers() {
    SetAnsiCodePageText(host::system::AnsiCodePageText());
}
}  // namespace win32_testing
