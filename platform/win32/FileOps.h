// Renaming files and asking what a name holds.
#pragma once

#include "platform/win32/WinTypes.h"

// Renames a file. Fails, changing nothing, when a file of the new name exists
// (ERROR_ALREADY_EXISTS) or the existing one is missing (ERROR_FILE_NOT_FOUND),
// and with the nearest error of the system's otherwise (ERROR_PATH_NOT_FOUND
// for a missing folder of the new name, ERROR_ACCESS_DENIED, ...). Moving to
// another file system is not supported (ERROR_NOT_SAME_DEVICE): the program
// only renames within a folder.
BOOL MoveFileA(LPCSTR existingName, LPCSTR newName);

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

// MoveFileA, or with MOVEFILE_REPLACE_EXISTING a rename that replaces a file
// of the new name in one step: the new name holds either the old file or the
// moved one, never nothing. When both names are links to one file, the
// existing name goes and the file keeps the new one. MOVEFILE_WRITE_THROUGH
// asks that a move made as a copy and a delete be on disk before the call
// returns; as no move here is a copy, it changes nothing. Other flags are not
// supported (ERROR_INVALID_PARAMETER).
BOOL MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags);

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

// What the name itself holds (a symbolic link is not followed, unless the
// name ends in '/'): FILE_ATTRIBUTE_DIRECTORY for a folder,
// FILE_ATTRIBUTE_REPARSE_POINT for a symbolic link, FILE_ATTRIBUTE_READONLY
// when the caller may not write the file or add names to the folder, else
// FILE_ATTRIBUTE_NORMAL. INVALID_FILE_ATTRIBUTES with the last error
// (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ...) when there is nothing.
DWORD GetFileAttributesA(LPCSTR name);

// A second name for an existing file; fails, changing nothing, when the new
// name exists (ERROR_ALREADY_EXISTS) or the file system has no hard links
// (ERROR_ACCESS_DENIED or ERROR_NOT_SUPPORTED). No security attributes.
BOOL CreateHardLinkA(LPCSTR newName, LPCSTR existingName, void* securityAttributes);

// Removes one name of a file.
BOOL DeleteFileA(LPCSTR name);
