#include "platform/win32/Strings.h"

#include <cstring>

int lstrlenA(LPCSTR text) {
    if (text == nullptr)
        return 0;
    // The platform's result is an int; no Path comes near 2 GiB.
    return static_cast<int>(std::strlen(text));
}
