#include "platform/gdiplus/FileIo.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>

#include "platform/common/ParallelParts.h"
#include "platform/gdiplus/ImageBuffer.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/Host.h"
#include "platform/win32/LastError.h"

namespace {

// No picture we decode needs a file larger than its pixels plus headers.
constexpr unsigned long long kMaxFileBytes = kMaxImageBytes + (64ull << 20);
// Less than this is not worth another thread.
constexpr size_t kReadPerThread = 4 << 20;
// The most a single write hands the system, each then sent on to the disk.
constexpr size_t kWriteBatch = 8 << 20;
// The boundary a FilePlacement's byte is put on.
constexpr size_t kPlacementAlignment = 64;

// The last error for errno: the system's nearest code, made exact where the
// user is told the cause (a read error is not a write fault; too many open
// files is no permission problem).
DWORD LastErrorFor(int error, bool reading) {
    switch (error) {
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        case EISDIR:
            return ERROR_DIRECTORY;
        case EIO:
            return reading ? ERROR_READ_FAULT : ERROR_WRITE_FAULT;
        default:
            return Win32ErrorFromErrno(error);
    }
}

Status FromErrno(int error, bool reading = false) {
    SetLastError(LastErrorFor(error, reading));
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

// writev() until every piece is written, as many pieces to a call as the
// system takes up to kWriteBatch bytes.
bool WriteAll(int fd, const EncodedFile& file) {
    const std::vector<EncodedFile::Piece> pieces = file.Pieces();
    size_t next = 0;    // the first piece not yet written whole
    size_t offset = 0;  // how much of it is
    off_t written = 0;
    while (next < pieces.size()) {
        iovec batch[IOV_MAX];
        int count = 0;
        size_t batchBytes = 0;
        for (size_t i = next; i < pieces.size() && count < IOV_MAX && batchBytes < kWriteBatch;
             ++i) {
            const size_t skip = i == next ? offset : 0;
            const size_t size = std::min(pieces[i].size - skip, kWriteBatch - batchBytes);
            batch[count++] = {const_cast<BYTE*>(pieces[i].data) + skip, size};
            batchBytes += size;
        }
        const ssize_t n = host::Writev(fd, batch, count);
        if (n > 0) {
            // The disk starts on what is written while the rest is copied
            // in, so that the flush at the end has less to wait for. Only
            // a hint: the flush still decides.
            ::sync_file_range(fd, written, n, SYNC_FILE_RANGE_WRITE);
            written += n;
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        for (size_t left = static_cast<size_t>(n); left > 0;) {
            const size_t rest = pieces[next].size - offset;
            if (left < rest) {
                offset += left;
                break;
            }
            left -= rest;
            ++next;
            offset = 0;
        }
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
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return name.substr(0, slash);
}

std::string BaseOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The start of a temporary name beside name: hidden, and within the folder's
// 255-byte name limit with the suffix added.
std::string TemporaryPrefix(const std::string& name) {
    const std::string base = BaseOf(name);
    return FolderOf(name) + (base.size() + 8 > 255 ? "/.dorvalune." : "/." + base + ".");
}

// Six letters or digits, as mkstemp would pick them.
std::string RandomSuffix() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof(random), 0) != sizeof(random)) {
        // Without randomness, a clock-based pick; a clash only costs a retry.
        static std::atomic<unsigned long> counter{0};
        unsigned long value = static_cast<unsigned long>(::getpid()) * 2654435761u + counter++ +
                              static_cast<unsigned long>(std::time(nullptr));
        for (unsigned char& byte : random) {
            byte = static_cast<unsigned char>(value);
            value >>= 8;
        }
    }
    std::string suffix;
    for (unsigned char byte : random)
        suffix += kLetters[byte % (sizeof(kLetters) - 1)];
    return suffix;
}

// Linking a descriptor through /proc needs no privilege (AT_EMPTY_PATH would).
bool CanNameUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Gives a file made with O_TMPFILE a temporary name; errno on failure.
int NameUnnamedFile(int fd, const std::string& prefix, std::string& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = prefix + RandomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary = candidate;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// The replaced file's owner, group and permission bits. Root keeps a user's
// picture the user's; anyone else keeps at least the group where they may.
int TakeOverAttributes(int fd, const struct stat* existing) {
    if (existing == nullptr)
        return ::fchmod(fd, 0666 & ~ProcessUmask()) == 0 ? 0 : errno;
    if (::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
        ::fchown(fd, static_cast<uid_t>(-1), existing->st_gid);
    }
    // After the change of owner, which clears the set-id bits.
    return ::fchmod(fd, existing->st_mode & 07777) == 0 ? 0 : errno;
}

// Writes the whole file under a temporary name beside name and flushes it to
// disk; errno on failure, with temporary naming whatever is left to remove.
// Where the file system can, the file has no name until it is complete, so a
// process killed while writing leaves nothing behind.
int WriteTemporaryFile(const std::string& name, const struct stat* existing,
                       const EncodedFile& data, std::string& temporary) {
    const std::string prefix = TemporaryPrefix(name);
    int fd = -1;
    if (CanNameUnnamedFiles()) {
        fd = ::open(FolderOf(name).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    }
    const bool unnamed = fd >= 0;
    if (!unnamed) {
        // Not every file system has O_TMPFILE; its other errors come back here too.
        std::string pattern = prefix + "XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            return errno;
        temporary = pattern;
    }
    int error = TakeOverAttributes(fd, existing);
    if (error == 0 && !WriteAll(fd, data))
        error = errno;
    if (error == 0 && host::Fsync(fd) != 0)
        error = errno;
    if (error == 0 && unnamed)
        error = NameUnnamedFile(fd, prefix, temporary);
    // The descriptor is gone after close whatever it returns.
    const int closed = host::Close(fd) == 0 ? 0 : errno;
    if (error == 0)
        error = closed;
    return error;
}

}  // namespace

bool FileNameFromPath(const WCHAR* path, std::string& name) {
    if (path == nullptr || path[0] == 0)
        return false;
    const int size = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    std::string converted(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, path, -1, converted.data(), size, nullptr, nullptr) !=
        size) {
        return false;
    }
    converted.pop_back();  // the terminating zero
    // An embedded zero would silently name another file.
    if (converted.find('\0') != std::string::npos)
        return false;
    name = std::move(converted);
    return true;
}

Status ReadWholeFile(const std::string& name, int& descriptor, FileBytes& bytes, PlaceFile place) {
    descriptor = -1;
    // Non-blocking, so that a FIFO in the file's place cannot hang the open.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return FromErrno(errno, true);
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return FromErrno(error, true);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        SetLastError(S_ISDIR(info.st_mode) ? ERROR_DIRECTORY : ERROR_BAD_FILE_TYPE);
        return Win32Error;
    }
    if (static_cast<unsigned long long>(info.st_size) > kMaxFileBytes) {
        ::close(fd);
        return RefuseSize("8 GiB + 64 MiB for an image file");
    }
    const size_t size = static_cast<size_t>(info.st_size);
    // Where the reader wants the bytes; a head that cannot be read leaves
    // them at the block's start, and the read below meets the error again.
    FilePlacement placement;
    size_t slack = 0;
    if (place != nullptr && size > 0) {
        BYTE head[kFileHeadBytes];
        const ssize_t n = host::Pread(fd, head, std::min(size, kFileHeadBytes), 0);
        if (n > 0)
            placement = place(head, static_cast<size_t>(n), size);
        // No reader needs room beyond the file's own size.
        if (placement.alignedOffset >= size || placement.roomAfter > size)
            placement = FilePlacement();
        else
            slack = kPlacementAlignment - 1 + placement.roomAfter;
    }
    // Read into memory that is not zeroed first; a large picture would
    // otherwise be written twice. The rows of a BMP may stay there as the
    // picture's own.
    const size_t blockSize = size + slack;
    bytes.data = PixelBlock(AllocateUninitialisedPixels(blockSize), PixelMemoryDeleter{blockSize});
    if (bytes.data == nullptr) {
        ::close(fd);
        return OutOfMemory;
    }
    bytes.blockSize = blockSize;
    bytes.offset = 0;
    if (slack > 0) {
        const auto at =
            reinterpret_cast<std::uintptr_t>(bytes.data.get()) + placement.alignedOffset;
        bytes.offset = (kPlacementAlignment - at % kPlacementAlignment) % kPlacementAlignment;
        // The room after the file is zero, as no file byte lands there.
        std::memset(bytes.Start() + size, 0, blockSize - bytes.offset - size);
    }
    BYTE* const start = bytes.Start();
    // A large file is read a share on each processor, each share faulting
    // in its own part of the fresh memory.
    struct Share {
        size_t size = 0, done = 0;
        int error = 0;
    };
    std::array<Share, kMostParts> shares{};
    RunInParts(size, kReadPerThread, 4096, [&](size_t part, size_t begin, size_t end) {
        Share& share = shares[part];
        share.size = end - begin;
        while (share.done < share.size) {
            const ssize_t n = host::Pread(fd, start + begin + share.done, share.size - share.done,
                                          static_cast<off_t>(begin + share.done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                share.error = errno;
                break;
            }
            if (n == 0)
                break;  // the file shrank while we read it
            share.done += static_cast<size_t>(n);
        }
    });
    size_t done = 0;
    for (const Share& share : shares) {
        if (share.error != 0) {
            ::close(fd);
            return FromErrno(share.error, true);
        }
        done += share.done;
        if (share.done < share.size)
            break;  // what lies past a short share is not the file's
    }
    bytes.size = done;
    descriptor = fd;
    return Ok;
}

Status WriteWholeFileReplacing(const std::string& name, const EncodedFile& data) {
    struct stat existing;
    // A read-only file is replaced like any other, as the folder allows: the
    // file job keeps the original under its backup name and then writes the
    // new image under the old name. An immutable or append-only file is
    // refused by the rename itself.
    const bool replacing = ::stat(name.c_str(), &existing) == 0;
    std::string temporary;
    int error = WriteTemporaryFile(name, replacing ? &existing : nullptr, data, temporary);
    if (error == 0 && host::Rename(temporary.c_str(), name.c_str()) != 0)
        error = errno;
    if (error != 0) {
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        return FromErrno(error);
    }
    // The folder is not flushed: the new file's data is on disk before the
    // rename, so a crash can only undo the rename, which leaves the old file
    // in place. Flushing the folder as well doubled the cost of small files.
    return Ok;
}
