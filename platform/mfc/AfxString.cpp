#include "platform/mfc/AfxString.h"

#include <cwctype>

template <>
unsigned long CStringT<char>::Fold(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    // Narrow text is UTF-8: only ASCII letters have a case of their own byte.
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

template <>
unsigned long CStringT<WCHAR>::Fold(WCHAR ch) {
    if (ch >= u'A' && ch <= u'Z')
        return ch + (u'a' - u'A');
    if (ch < 0x80)
        return ch;
    return static_cast<unsigned long>(std::towlower(static_cast<wint_t>(ch)));
}
