#include "tests/fakes/Win32Fakes.h"

#include "platform/host/System.h"

namespace {

constexpr win32_testing::RenameCalls kSystemCalls = {host::system::RenameNoReplace,
                                                     host::system::Link, host::system::Unlink};

constinit win32_testing::RenameCalls g_calls = kSystemCalls;

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
    return host::system::ReportedWindowsVersion();
}
const char* AnsiCodePageText() {
    return host::system::AnsiCodePageText();
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
}  // namespace win32_testing
