#include "platform/win32/CodePage.h"

#include <climits>
#include <cstring>

#include "platform/win32/LastError.h"

namespace {

// Escapes are U+DC80..U+DCFF: byte values 0x80..0xFF put on U+DC00. ASCII is
// always well-formed, so U+DC00..U+DC7F never stand for a byte.
constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;
constexpr char32_t kReplacementCharacter = 0xFFFD;

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
// code point; 0 when p does not start one. The lead byte rules out 2-byte
// overlong forms (C0, C1) and F5..FF; the second byte's range rules out the
// longer overlong forms (E0 80..9F, F0 80..8F), encoded surrogates
// (ED A0..BF) and code points beyond U+10FFFF (F4 90..BF).
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
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
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
// the number of UTF-16 units. A bad byte is escaped on its own and decoding
// resumes at the next one: a continuation byte never starts a sequence, so
// this escapes exactly the bytes of every ill-formed stretch.
size_t DecodeUtf8(const BYTE* text, size_t size, WCHAR* out) {
    size_t units = 0;
    auto put = [&](char32_t unit) {
        if (out != nullptr)
            out[units] = static_cast<char16_t>(unit);
        ++units;
    };
    for (size_t i = 0; i < size;) {
        char32_t codePoint = 0;
        const size_t length = WellFormedLength(text + i, size - i, &codePoint);
        if (length == 0) {
            put(kEscapeBase + text[i]);
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            put(0xD800 + ((codePoint - 0x10000) >> 10));
            put(0xDC00 + (codePoint & 0x3FF));
        } else {
            put(codePoint);
        }
        i += length;
    }
    return units;
}

// Encodes count UTF-16 units into out (when given) and returns the number of
// bytes. Escapes become their bytes; other lone surrogates U+FFFD.
size_t EncodeUtf8(const WCHAR* wide, size_t count, BYTE* out) {
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

// The checks both directions share; sets the last error on failure.
bool CheckArguments(UINT codePage, DWORD flags, const void* input, int size, const void* output,
                    int capacity) {
    if (input == nullptr || size == 0 || size < -1 || capacity < 0 ||
        (capacity > 0 && output == nullptr) || input == output) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (codePage != CP_ACP && codePage != CP_THREAD_ACP && codePage != CP_UTF8)
        return Fail(ERROR_INVALID_PARAMETER);
    if (flags != 0)
        return Fail(ERROR_INVALID_FLAGS);
    return true;
}

// The calling convention both directions share: a capacity of 0 asks for the
// size, and a result that does not fit is not written at all.
template <typename Write>
int Deliver(size_t needed, int capacity, Write write) {
    // A zero-terminated input may hold more than an int counts.
    if (needed > static_cast<size_t>(INT_MAX))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (capacity == 0)
        return static_cast<int>(needed);
    if (needed > static_cast<size_t>(capacity))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    write();
    return static_cast<int>(needed);
}

}  // namespace

UINT GetACP() {
    return CP_UTF8;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int size, LPWSTR wide,
                        int capacity) {
    if (!CheckArguments(codePage, flags, text, size, wide, capacity))
        return 0;
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    const size_t length = size == -1 ? std::strlen(text) + 1 : static_cast<size_t>(size);
    return Deliver(DecodeUtf8(bytes, length, nullptr), capacity,
                   [&] { DecodeUtf8(bytes, length, wide); });
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, LPSTR text,
                        int capacity, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (!CheckArguments(codePage, flags, wide, count, text, capacity))
        return 0;
    // UTF-8 writes every character, so there is never a default to use.
    if (defaultChar != nullptr || usedDefaultChar != nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    size_t length = static_cast<size_t>(count);
    if (count == -1) {
        length = 0;
        while (wide[length] != 0)
            ++length;
        ++length;
    }
    return Deliver(EncodeUtf8(wide, length, nullptr), capacity,
                   [&] { EncodeUtf8(wide, length, reinterpret_cast<BYTE*>(text)); });
}
