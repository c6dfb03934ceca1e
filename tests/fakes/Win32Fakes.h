// The controls of the fake host that every test program links in place of
// platform/host (see platform/win32/Host.h). Until a test changes them the
// fakes act as the real system. The version (NT 6.1) and the locale's code
// page (65001) are always the system's.
#pragma once

#include "platform/win32/WinTypes.h"

namespace win32_testing {

// The calls MoveFileA, CreateHardLinkA and DeleteFileA make, each returning 0
// or -1 with errno, so that tests can play file systems that lack a way of
// renaming or programs that get in between.
struct RenameCalls {
    int (*renameNoReplace)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
    int (*unlink)(const char* path);
};
RenameCalls SystemRenameCalls();
// Returns the calls that were in use.
RenameCalls SetRenameCalls(const RenameCalls& calls);

}  // namespace win32_testing
