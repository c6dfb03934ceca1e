#include "platform/win32/CodePage.h"

#include <climits>
#include <cstring>
#include <optional>

#include "platform/win32/LastError.h"

namespace {

// Escapes are U+DC80..U+DCFF: byte values 0x80..0xFF put on U+DC00. ASCII is
// always well-formed, so U+DC00..U+DC7F never stand for a byte.
constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;
constexpr char32_t kReplacementCharacter = 0xFFFD;

struct InjectedFailure {
    bool pending;
    DWORD error;
};
constinit InjectedFailure g_nextFailure = {false, ERROR_SUCCESS};

bool IsUtf8CodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_UTF8;
}

bool IsContinuation(BYTE b) {
    return (b & 0xC0) == 0x80;
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Length of the well-formed sequence at p (at most `left` bytes), with its
// code point; 0 when p does not start one. The second byte's range is what
// rules out overlong forms (E0 80..9F, F0 80..8F), encoded surrogates
// (ED A0..BF) and code points beyond U+10FFFF (F4 90.., F5..FF).
size_t WellFormedLength(const BYTE* p, size_t left, char32_t* codePoint) {
    const BYTE lead = p[0];
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    size_t length = 0;
    char32_t value = 0;
    BYTE low = 0x80;
    BYTE high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high)
        return 0;
    value = (value << 6) | (p[1] & 0x3F);
    for (size_t i = 2; i < length; ++i) {
        if (!IsContinuation(p[i]))
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    *codePoint = value;
    return length;
}

// Decodes size bytes into out (when given; the caller made room) and returns
// the number of UTF-16 units, or nothing when strict and a byte is not part
// of a well-formed sequence. A bad byte is escaped on its own and decoding
// resumes at the next one: a continuation byte never starts a sequence, so
// this escapes exactly the bytes of every ill-formed stretch.
std::optional<size_t> DecodeUtf8(const BYTE* text, size_t size, bool strict, WCHAR* out) {
    size_t units = 0;
    auto put = [&](char16_t unit) {
        if (out != nullptr)
            out[units] = unit;
        ++units;
    };
    for (size_t i = 0; i < size;) {
        char32_t codePoint = 0;
        const size_t length = WellFormedLength(text + i, size - i, &codePoint);
        if (length == 0) {
            if (strict)
                return std::nullopt;
            put(static_cast<char16_t>(kEscapeBase + text[i]));
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            const char32_t offset = codePoint - 0x10000;
            put(static_cast<char16_t>(0xD800 + (offset >> 10)));
            put(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            put(static_cast<char16_t>(codePoint));
        }
        i += length;
    }
    return units;
}

// Encodes count UTF-16 units into out (when given) and returns the number of
// bytes, or nothing when strict and a lone surrogate is not an escape.
std::optional<size_t> EncodeUtf8(const WCHAR* wide, size_t count, bool strict, BYTE* out) {
    size_t bytes = 0;
    auto put = [&](char32_t byte) {
        if (out != nullptr)
            out[bytes] = static_cast<BYTE>(byte);
        ++bytes;
    };
    for (size_t i = 0; i < count; ++i) {
        const char16_t unit = wide[i];
        char32_t codePoint = unit;
        if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(wide[i + 1])) {
            codePoint = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= kFirstEscape && unit <= kLastEscape) {
            put(unit - kEscapeBase);
            continue;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            if (strict)
                return std::nullopt;
            codePoint = kReplacementCharacter;
        }
        if (codePoint < 0x80) {
            put(codePoint);
        } else if (codePoint < 0x800) {
            put(0xC0 | (codePoint >> 6));
            put(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            put(0xE0 | (codePoint >> 12));
            put(0x80 | ((codePoint >> 6) & 0x3F));
            put(0x80 | (codePoint & 0x3F));
        } else {
            put(0xF0 | (codePoint >> 18));
            put(0x80 | ((codePoint >> 12) & 0x3F));
            put(0x80 | ((codePoint >> 6) & 0x3F));
            put(0x80 | (codePoint & 0x3F));
        }
    }
    return bytes;
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

}  // namespace

UINT GetACP() {
    return CP_UTF8;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int size, LPWSTR wide,
                        int capacity) {
    if (g_nextFailure.pending) {
        g_nextFailure.pending = false;
        return Fail(g_nextFailure.error);
    }
    if (text == nullptr || size == 0 || size < -1 || capacity < 0 ||
        (capacity > 0 && wide == nullptr) ||
        static_cast<const void*>(text) == static_cast<const void*>(wide)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!IsUtf8CodePage(codePage))
        return Fail(ERROR_INVALID_PARAMETER);
    if ((flags & ~MB_ERR_INVALID_CHARS) != 0)
        return Fail(ERROR_INVALID_FLAGS);

    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    const size_t length = size == -1 ? std::strlen(text) + 1 : static_cast<size_t>(size);
    const std::optional<size_t> units = DecodeUtf8(bytes, length, strict, nullptr);
    if (!units)
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    // Never more units than bytes, but a zero-terminated text may have more
    // bytes than an int counts.
    if (*units > static_cast<size_t>(INT_MAX))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (capacity == 0)
        return static_cast<int>(*units);
    if (*units > static_cast<size_t>(capacity))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    DecodeUtf8(bytes, length, strict, wide);
    return static_cast<int>(*units);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, LPSTR text,
                        int capacity, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (wide == nullptr || count == 0 || count < -1 || capacity < 0 ||
        (capacity > 0 && text == nullptr) ||
        static_cast<const void*>(text) == static_cast<const void*>(wide)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!IsUtf8CodePage(codePage))
        return Fail(ERROR_INVALID_PARAMETER);
    if ((flags & ~WC_ERR_INVALID_CHARS) != 0)
        return Fail(ERROR_INVALID_FLAGS);
    // UTF-8 writes every character, so there is never a default to use.
    if (defaultChar != nullptr || usedDefaultChar != nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }

    const bool strict = (flags & WC_ERR_INVALID_CHARS) != 0;
    size_t length = static_cast<size_t>(count);
    if (count == -1) {
        length = 0;
        while (wide[length] != 0)
            ++length;
        ++length;
    }
    auto* out = reinterpret_cast<BYTE*>(text);
    const std::optional<size_t> bytes = EncodeUtf8(wide, length, strict, nullptr);
    if (!bytes)
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    // Up to three bytes per unit: a long text may need more than an int counts.
    if (*bytes > static_cast<size_t>(INT_MAX))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (capacity == 0)
        return static_cast<int>(*bytes);
    if (*bytes > static_cast<size_t>(capacity))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    EncodeUtf8(wide, length, strict, out);
    return static_cast<int>(*bytes);
}

namespace win32_testing {

void FailNextMultiByteToWideChar(DWORD error) {
    g_nextFailure = {true, error};
}

}  // namespace win32_testing
