// The programs' side of the platform's link-time seams: the system's own
// calls and answers. Test programs link tests/fakes in place of this file.
#include "platform/win32/Host.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "platform/gdiplus/CodecRegistry.h"
#include "platform/gdiplus/GdiplusStartup.h"
#include "platform/win32/Version.h"

namespace host {

int RenameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int Link(const char* from, const char* to) {
    return ::linkat(AT_FDCWD, from, AT_FDCWD, to, 0);
}

int Unlink(const char* path) {
    return ::unlink(path);
}

ssize_t Writev(int fd, const iovec* pieces, int count) {
    return ::writev(fd, pieces, count);
}

int Fsync(int fd) {
    return ::fsync(fd);
}

int Close(int fd) {
    return ::close(fd);
}

int Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

WindowsVersion ReportedWindowsVersion() {
    return {VER_PLATFORM_WIN32_NT, 6, 1, 7601};
}

const char* AnsiCodePageText() {
    return "65001";
}

Status GdiplusStarting() {
    return Ok;
}

void GdiplusShutDown() {}

}  // namespace host

const std::vector<CodecEntry>& Codecs() {
    return BuiltInCodecs();
}
