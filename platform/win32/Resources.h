// Resources of the executable: found by type and integer id, as the loader
// finds them in a module's resource section.
#pragma once

#include <cstddef>

#include "platform/win32/WinTypes.h"

inline LPSTR MAKEINTRESOURCEA(WORD id) {
    return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(id));
}
inline bool IS_INTRESOURCE(LPCSTR name) {
    return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0;
}

#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_VERSION MAKEINTRESOURCEA(16)

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// One entry of a resource section. data points at the resource in the form
// that platform/win32/ResourceFormats.h gives for its type.
struct RESOURCE_ENTRY {
    WORD type;  // RT_* number
    WORD id;
    WORD language;
    const void* data;
    DWORD size;
};

struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;

// The executable's own module; the only module there is.
HMODULE GetModuleHandleA(LPCSTR moduleName);

// Makes a resource section part of the executable's module. The library that
// holds the program's resources calls it during static initialisation, as the
// loader maps the resource section of an image it loads.
void RegisterModuleResources(const RESOURCE_ENTRY* entries, size_t count);

// Integer ids only (MAKEINTRESOURCEA); a resource of any language matches.
// Null, with the last error set, when there is none.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
