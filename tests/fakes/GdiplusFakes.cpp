#include "tests/fakes/GdiplusFakes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/gdiplus/GdiplusStartup.h"
#include "platform/host/System.h"

namespace {

using gdiplus_testing::WriteStep;

std::atomic<int> g_writeError{0}, g_stepError{0}, g_startups{0}, g_shutdowns{0}, g_failures{0};
std::atomic<int> g_readError{0};
std::atomic<size_t> g_writeAfter{0}, g_readAfter{0};
std::atomic<WriteStep> g_step{WriteStep::Sync};
// What this thread has written of the file it writes; one file at a time.
thread_local size_t t_written = 0;

bool Fails(WriteStep step) {
    const int error = g_stepError.load();
    if (error == 0 || g_step.load() != step)
        return false;
    errno = error;
    return true;
}

std::vector<CodecEntry>& Table() {
    static std::vector<CodecEntry> codecs = BuiltInCodecs();
    return codecs;
}

}  // namespace

namespace host {
ssize_t Writev(int fd, const iovec* pieces, int count) {
    if (g_writeError.load() == 0)
        return host::system::Writev(fd, pieces, count);
    // As far as the limit, then the error.
    const size_t room = g_writeAfter.load() - std::min(t_written, g_writeAfter.load());
    if (room == 0) {
        errno = g_writeError.load();
        return -1;
    }
    const iovec piece = {pieces[0].iov_base, std::min(room, pieces[0].iov_len)};
    const ssize_t n = host::system::Writev(fd, &piece, 1);
    t_written += n > 0 ? static_cast<size_t>(n) : 0;
    return n;
}
ssize_t Pread(int fd, void* buffer, size_t size, off_t offset) {
    const size_t limit = g_readAfter.load();
    if (g_readError.load() == 0 || static_cast<size_t>(offset) + size <= limit)
        return host::system::Pread(fd, buffer, size, offset);
    if (static_cast<size_t>(offset) >= limit) {
        errno = g_readError.load();
        return -1;
    }
    return host::system::Pread(fd, buffer, limit - static_cast<size_t>(offset), offset);
}
int Fsync(int fd) {
    return Fails(WriteStep::Sync) ? -1 : host::system::Fsync(fd);
}
int Close(int fd) {
    t_written = 0;
    return host::system::Close(fd) != 0 || Fails(WriteStep::Close) ? -1 : 0;
}
int Rename(const char* from, const char* to) {
    return Fails(WriteStep::Rename) ? -1 : host::system::Rename(from, to);
}
Status GdiplusStarting() {
    g_startups.fetch_add(1);
    int pending = g_failures.load();
    while (pending > 0 && !g_failures.compare_exchange_weak(pending, pending - 1)) {
    }
    return pending > 0 ? GenericError : Ok;
}
void GdiplusShutDown() {
    g_shutdowns.fetch_add(1);
}
}  // namespace host

const std::vector<CodecEntry>& Codecs() {
    return Table();
}

namespace gdiplus_testing {
void InjectWriteError(int error, size_t afterBytes) {
    g_writeAfter.store(afterBytes);
    g_writeError.store(error);
    t_written = 0;
}
void InjectReadError(int error, size_t afterBytes) {
    g_readAfter.store(afterBytes);
    g_readError.store(error);
}
void InjectStepError(WriteStep step, int error) {
    g_step.store(step);
    g_stepError.store(error);
}
StartupCounts GetStartupCounts() {
    return {g_startups.load(), g_shutdowns.load()};
}
void FailNextStartups(int count) {
    g_failures.store(count);
}
void AddCodec(const CodecEntry& entry) {
    Table().push_back(entry);
}
}  // namespace gdiplus_testing
