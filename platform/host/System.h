// The system's own answers to the platform's seams (platform/win32/Host.h).
// The programs' host functions (Host.cpp) are these; the test programs' fakes
// fall back on them whenever a test has not asked for something else.
#pragma once

#include <fcntl.h>
#include <stdio.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/win32/Host.h"
#include "platform/win32/Version.h"

namespace host::system {

inline int RenameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

// Links the name itself, not what a symbolic link points at, as rename does.
inline int Link(const char* from, const char* to) {
    return ::linkat(AT_FDCWD, from, AT_FDCWD, to, 0);
}

inline int Unlink(const char* path) {
    return ::unlink(path);
}

inline ssize_t Writev(int fd, const iovec* pieces, int count) {
    return ::writev(fd, pieces, count);
}

inline ssize_t Pread(int fd, void* buffer, size_t size, off_t offset) {
    return ::pread(fd, buffer, size, offset);
}

inline int Fsync(int fd) {
    return ::fsync(fd);
}

inline int Close(int fd) {
    return ::close(fd);
}

inline int Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

constexpr WindowsVersion ReportedWindowsVersion() {
    return {VER_PLATFORM_WIN32_NT, 6, 1, 7601};
}

constexpr const char* AnsiCodePageText() {
    return "65001";
}

}  // namespace host::system
