#include "platform/win32/Shlwapi.h"

namespace {

// Walking byte by byte is right for the narrow form too: in UTF-8, ".", "/"
// and the space never occur inside a multibyte character.
template <typename Char>
Char* FindExtension(const Char* path) {
    if (path == nullptr)
        return nullptr;
    const Char* dot = nullptr;
    for (; *path != 0; ++path) {
        if (*path == '/' || *path == ' ') {
            dot = nullptr;
        } else if (*path == '.') {
            dot = path;
        }
    }
    // Like the platform's, the result points into the caller's text.
    return const_cast<Char*>(dot != nullptr ? dot : path);
}

}  // namespace

LPSTR PathFindExtensionA(LPCSTR path) {
    return FindExtension(path);
}

LPWSTR PathFindExtensionW(LPCWSTR path) {
    return FindExtension(path);
}

LPSTR PathFindFileNameA(LPCSTR path) {
    if (path == nullptr)
        return nullptr;
    const char* name = path;
    for (; *path != 0; ++path) {
        if (*path == '/')
            name = path + 1;
    }
    return const_cast<LPSTR>(name);
}
