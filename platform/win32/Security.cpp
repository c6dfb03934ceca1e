#include "platform/win32/Security.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win32/LastError.h"

namespace {

constexpr SECURITY_INFORMATION kSupported =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The stand-in's descriptor: the parts it holds and their values.
struct Descriptor {
    SECURITY_INFORMATION parts;
    uid_t owner;
    gid_t group;
    mode_t permissions;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

BOOL GetFileSecurityA(LPCSTR name, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR descriptor,
                      DWORD length, LPDWORD needed) {
    if (name == nullptr || needed == nullptr || requested == 0 || (requested & ~kSupported) != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    struct stat info;
    if (::stat(name, &info) != 0)
        return Fail(Win32ErrorFromErrno(errno));
    *needed = sizeof(Descriptor);
    if (descriptor == nullptr || length < sizeof(Descriptor))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    *static_cast<Descriptor*>(descriptor) = {requested, info.st_uid, info.st_gid,
                                             static_cast<mode_t>(info.st_mode & 07777)};
    return TRUE;
}

BOOL SetFileSecurityA(LPCSTR name, SECURITY_INFORMATION given, PSECURITY_DESCRIPTOR descriptor) {
    if (name == nullptr || descriptor == nullptr || given == 0 || (given & ~kSupported) != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    const Descriptor& from = *static_cast<const Descriptor*>(descriptor);
    if ((given & ~from.parts) != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    const bool owner = (given & OWNER_SECURITY_INFORMATION) != 0;
    const bool group = (given & GROUP_SECURITY_INFORMATION) != 0;
    if ((owner || group) && ::chown(name, owner ? from.owner : static_cast<uid_t>(-1),
                                    group ? from.group : static_cast<gid_t>(-1)) != 0) {
        return Fail(errno == EPERM ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno));
    }
    if ((given & DACL_SECURITY_INFORMATION) != 0 && ::chmod(name, from.permissions) != 0)
        return Fail(Win32ErrorFromErrno(errno));
    return TRUE;
}
