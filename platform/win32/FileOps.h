// Renaming files.
#pragma once

#include "platform/win32/WinTypes.h"

// Renames a file. Fails, changing nothing, when a file of the new name exists
// (ERROR_ALREADY_EXISTS) or the existing one is missing (ERROR_FILE_NOT_FOUND),
// and with the nearest error of the system's otherwise (ERROR_PATH_NOT_FOUND
// for a missing folder of the new name, ERROR_ACCESS_DENIED, ...). Moving to
// another file system is not supported (ERROR_NOT_SAME_DEVICE): the program
// only renames within a folder.
BOOL MoveFileA(LPCSTR existingName, LPCSTR newName);

// A second name for an existing file; fails, changing nothing, when the new
// name exists (ERROR_ALREADY_EXISTS) or the file system has no hard links
// (ERROR_ACCESS_DENIED or ERROR_NOT_SUPPORTED). No security attributes.
BOOL CreateHardLinkA(LPCSTR newName, LPCSTR existingName, void* securityAttributes);

// Removes one name of a file.
BOOL DeleteFileA(LPCSTR name);
