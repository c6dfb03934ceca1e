#include "platform/win32/FileOps.h"

#include <sys/stat.h>

#include <cerrno>

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
