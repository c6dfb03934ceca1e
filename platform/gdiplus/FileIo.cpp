#include "platform/gdiplus/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>

#include "platform/gdiplus/ImageBuffer.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/LastError.h"

namespace {

// No picture we decode needs a file larger than its pixels plus headers.
constexpr unsigned long long kMaxFileBytes = kMaxImageBytes + (64ull << 20);

std::atomic<int> g_injectedError{0};
std::atomic<size_t> g_injectAfter{0};

Status FromErrno(int error) {
    SetLastError(Win32ErrorFromErrno(error));
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return FileNotFound;
        case EACCES:
        case EPERM:
            return AccessDenied;
        case ENOMEM:
            return OutOfMemory;
        default:
            return Win32Error;
    }
}

// write() until done; honours the injected fault.
bool WriteAll(int fd, const BYTE* data, size_t size) {
    size_t written = 0;
    const int injected = g_injectedError.load();
    const size_t limit = g_injectAfter.load();
    while (written < size) {
        size_t chunk = size - written;
        if (injected != 0) {
            if (written >= limit) {
                errno = injected;
                return false;
            }
            if (chunk > limit - written) chunk = limit - written;
        }
        const ssize_t n = ::write(fd, data + written, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

// The umask can only be read by setting it; do that once, before any worker
// thread could be creating files.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

std::string FolderOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return name.substr(0, slash);
}

std::string BaseOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

bool FileNameFromPath(const WCHAR* path, std::string& name) {
    if (path == nullptr || path[0] == 0) return false;
    const int size = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string converted(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, path, -1, converted.data(), size, nullptr, nullptr) !=
        size) {
        return false;
    }
    converted.pop_back();  // the terminating zero
    // An embedded zero would silently name another file.
    if (converted.find('\0') != std::string::npos) return false;
    name = std::move(converted);
    return true;
}

Status ReadWholeFile(const std::string& name, int& descriptor, FileBytes& bytes) {
    descriptor = -1;
    // Non-blocking, so that a FIFO in the file's place cannot hang the open.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return FromErrno(errno);
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return Win32Error;
    }
    if (static_cast<unsigned long long>(info.st_size) > kMaxFileBytes) {
        ::close(fd);
        return ValueOverflow;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    // Read into memory that is not zeroed first; a large picture would
    // otherwise be written twice.
    bytes.data.reset(new (std::nothrow) BYTE[size > 0 ? size : 1]);
    if (bytes.data == nullptr) {
        ::close(fd);
        return OutOfMemory;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes.data.get() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const Status status = FromErrno(errno);
            ::close(fd);
            return status;
        }
        if (n == 0) break;  // the file shrank while we read it
        done += static_cast<size_t>(n);
    }
    bytes.size = done;
    descriptor = fd;
    return Ok;
}

Status WriteWholeFileReplacing(const std::string& name, const std::vector<BYTE>& data) {
    std::string temporary = FolderOf(name) + "/." + BaseOf(name) + ".XXXXXX";
    if (BaseOf(name).size() + 8 > 255) {
        // The temporary name must fit the folder's name limit too.
        temporary = FolderOf(name) + "/.dorvalune.XXXXXX";
    }
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return FromErrno(errno);

    mode_t mode;
    struct stat existing;
    if (::stat(name.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        mode = 0666 & ~ProcessUmask();
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data.data(), data.size()) &&
              ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), name.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return FromErrno(error);
    }
    // The folder is not flushed: the new file's data is on disk before the
    // rename, so a crash can only undo the rename, which leaves the old file
    // in place. Flushing the folder as well doubled the cost of small files.
    return Ok;
}

namespace gdiplus_testing {
void InjectWriteError(int error, size_t afterBytes) {
    g_injectAfter.store(afterBytes);
    g_injectedError.store(error);
}
}  // namespace gdiplus_testing
