#include "platform/win32/FileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/Host.h"
#include "platform/win32/LastError.h"

namespace {

bool Exists(const char* path) {
    struct stat info;
    return lstat(path, &info) == 0;
}

// Without RENAME_NOREPLACE a plain rename would replace the new name, so the
// file gets its new name as a second hard link, which cannot replace
// anything, and then loses the old one.
int LinkThenUnlink(const char* from, const char* to) {
    if (host::Link(from, to) != 0)
        return -1;
    if (host::Unlink(from) != 0) {
        const int error = errno;
        host::Unlink(to);
        errno = error;
        return -1;
    }
    return 0;
}

BOOL Fail(int error, const char* existingName) {
    DWORD code = Win32ErrorFromErrno(error);
    // ENOENT names either file; when the existing one is there, it is the
    // new name's folder that is missing.
    if (error == ENOENT && Exists(existingName))
        code = ERROR_PATH_NOT_FOUND;
    SetLastError(code);
    return FALSE;
}

}  // namespace

BOOL MoveFileA(LPCSTR existingName, LPCSTR newName) {
    if (existingName == nullptr || newName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (host::RenameNoReplace(existingName, newName) == 0)
        return TRUE;
    // EINVAL and ENOSYS mean the file system or the kernel lacks the flag.
    if (errno != EINVAL && errno != ENOSYS)
        return Fail(errno, existingName);
    if (LinkThenUnlink(existingName, newName) == 0)
        return TRUE;
    // A file system without hard links either (EPERM, ENOTSUP) gets no
    // rename at all rather than one that might overwrite.
    return Fail(errno, existingName);
}

namespace {

// The folder part of a name, resolved: "" when it cannot be.
std::string ResolvedFolder(const char* name) {
    const char* slash = std::strrchr(name, '/');
    const std::string folder = slash == nullptr ? "." : std::string(name, slash - name + 1);
    char resolved[PATH_MAX];
    return ::realpath(folder.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// Whether two names are one entry of one folder ("a" and "./a").
bool SameEntry(const char* first, const char* second) {
    const char* firstBase = std::strrchr(first, '/');
    const char* secondBase = std::strrchr(second, '/');
    firstBase = firstBase != nullptr ? firstBase + 1 : first;
    secondBase = secondBase != nullptr ? secondBase + 1 : second;
    if (std::strcmp(firstBase, secondBase) != 0)
        return false;
    const std::string folder = ResolvedFolder(first);
    return !folder.empty() && folder == ResolvedFolder(second);
}

}  // namespace

BOOL MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags) {
    if (flags == 0)
        return MoveFileA(existingName, newName);
    if (existingName == nullptr || newName == nullptr ||
        (flags & ~MOVEFILE_WRITE_THROUGH) != MOVEFILE_REPLACE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat existing;
    struct stat replaced;
    const bool sameFile = lstat(existingName, &existing) == 0 && lstat(newName, &replaced) == 0 &&
                          existing.st_dev == replaced.st_dev && existing.st_ino == replaced.st_ino;
    if (host::Rename(existingName, newName) != 0)
        return Fail(errno, existingName);
    // rename() leaves two links to one file as they are.
    if (sameFile && !SameEntry(existingName, newName) && host::Unlink(existingName) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat info;
    if (lstat(name, &info) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISLNK(info.st_mode))
        return FILE_ATTRIBUTE_REPARSE_POINT;
    DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (faccessat(AT_FDCWD, name, W_OK, AT_EACCESS) != 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL CreateHardLinkA(LPCSTR newName, LPCSTR existingName, void* securityAttributes) {
    if (newName == nullptr || existingName == nullptr || securityAttributes != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (host::Link(existingName, newName) == 0)
        return TRUE;
    return Fail(errno, existingName);
}

BOOL DeleteFileA(LPCSTR name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (host::Unlink(name) == 0)
        return TRUE;
    SetLastError(Win32ErrorFromErrno(errno));
    return FALSE;
}
