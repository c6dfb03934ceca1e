#include "platform/win32/Resources.h"

#include <vector>

#include "platform/win32/LastError.h"

namespace {

// The executable's module handle: the address of an object of this file, so
// that it is unique and never null.
char g_executableModule;

std::vector<const RESOURCE_ENTRY*>& Section() {
    static std::vector<const RESOURCE_ENTRY*> entries;
    return entries;
}

WORD IdOf(LPCSTR name) {
    return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&g_executableModule);
}

void RegisterModuleResources(const RESOURCE_ENTRY* entries, size_t count) {
    for (size_t i = 0; i < count; ++i)
        Section().push_back(&entries[i]);
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (module != GetModuleHandleA(nullptr) || !IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    bool typeFound = false;
    for (const RESOURCE_ENTRY* entry : Section()) {
        if (entry->type != IdOf(type))
            continue;
        typeFound = true;
        if (entry->id == IdOf(name)) {
            return reinterpret_cast<HRSRC>(const_cast<RESOURCE_ENTRY*>(entry));
        }
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (resource == nullptr)
        return nullptr;
    return const_cast<void*>(reinterpret_cast<const RESOURCE_ENTRY*>(resource)->data);
}

LPVOID LockResource(HGLOBAL loaded) {
    return loaded;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    if (resource == nullptr)
        return 0;
    return reinterpret_cast<const RESOURCE_ENTRY*>(resource)->size;
}
