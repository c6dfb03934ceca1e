// The programs' side of the platform's link-time seams: the system's own
// calls and answers. Test programs link tests/fakes in place of this file.
#include "platform/gdiplus/CodecRegistry.h"
#include "platform/gdiplus/GdiplusStartup.h"
#include "platform/host/System.h"

namespace host {

int RenameNoReplace(const char* from, const char* to) {
    return system::RenameNoReplace(from, to);
}

int Link(const char* from, const char* to) {
    return system::Link(from, to);
}

int Unlink(const char* path) {
    return system::Unlink(path);
}

ssize_t Writev(int fd, const iovec* pieces, int count) {
    return system::Writev(fd, pieces, count);
}

ssize_t Pread(int fd, void* buffer, size_t size, off_t offset) {
    return system::Pread(fd, buffer, size, offset);
}

int Fsync(int fd) {
    return system::Fsync(fd);
}

int Close(int fd) {
    return system::Close(fd);
}

int Rename(const char* from, const char* to) {
    return system::Rename(from, to);
}

WindowsVersion ReportedWindowsVersion() {
    return system::ReportedWindowsVersion();
}

const char* AnsiCodePageText() {
    return system::AnsiCodePageText();
}

Status GdiplusStarting() {
    return Ok;
}

void GdiplusShutDown() {}

}  // namespace host

const std::vector<CodecEntry>& Codecs() {
    return BuiltInCodecs();
}
