// What the platform layer asks of the machine it runs on: the system calls
// through which files are written and renamed, and what the Windows
// stand-ins report about the system. The programs link the plain definitions
// in platform/host; the test programs link fakes of their own in their place,
// which can fail a call or report another system.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include "platform/win32/WinTypes.h"

namespace host {

// The system's calls: their results, with errno set on failure.
int RenameNoReplace(const char* from, const char* to);  // renameat2 with RENAME_NOREPLACE
int Link(const char* from, const char* to);             // links the name, not its target
int Unlink(const char* path);
ssize_t Writev(int fd, const iovec* pieces, int count);
ssize_t Pread(int fd, void* buffer, size_t size, off_t offset);
int Fsync(int fd);
int Close(int fd);
int Rename(const char* from, const char* to);

// The version GetVersionExA reports: NT 6.1, the generation whose behaviour
// this port follows.
struct WindowsVersion {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    DWORD build;
};
WindowsVersion ReportedWindowsVersion();

// The locale's ANSI code page as decimal text: "65001", as file names and
// text on a Linux desktop are UTF-8.
const char* AnsiCodePageText();

}  // namespace host
