// A file's security: who owns it and who may do what with it, read from one
// file and given to another.
#pragma once

#include "platform/win32/WinTypes.h"

using SECURITY_INFORMATION = DWORD;
using PSECURITY_DESCRIPTOR = void*;
using LPDWORD = DWORD*;

constexpr SECURITY_INFORMATION OWNER_SECURITY_INFORMATION = 0x1;
constexpr SECURITY_INFORMATION GROUP_SECURITY_INFORMATION = 0x2;
constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x4;

// Writes the parts of the file's security descriptor that `requested` names
// into the buffer: the owner, the group and the access list (on Linux the
// owning user, the group and the permission bits). A symbolic link is
// followed. Fails with ERROR_INSUFFICIENT_BUFFER, *needed holding the size,
// when the buffer is too small; with the system's error when there is no
// file. Other parts are not supported (ERROR_INVALID_PARAMETER).
BOOL GetFileSecurityA(LPCSTR name, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR descriptor,
                      DWORD length, LPDWORD needed);

// Gives the file the parts of a descriptor from GetFileSecurityA that `given`
// names. Setting the owner or the group fails (ERROR_ACCESS_DENIED) unless
// the caller may give the file away, as on Windows.
BOOL SetFileSecurityA(LPCSTR name, SECURITY_INFORMATION given, PSECURITY_DESCRIPTOR descriptor);
