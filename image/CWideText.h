// A narrow text converted to UTF-16 for as long as the object lives. Texts
// that fit, such as most Paths, use the inline buffer and cost no heap call.
#pragma once

#include <cstddef>

#include "Win32Api.h"

// What a failed conversion raises for the last error it left: the memory
// exception for E_OUTOFMEMORY (or ERROR_OUTOFMEMORY), else the OLE exception
// with the error as a status in the Win32 facility, a status staying as it is.
[[noreturn]] void ThrowConversionFailure(DWORD error);

class CWideText {
public:
    // UTF-16 units held inline, the terminating zero included.
    static constexpr size_t kInlineChars = 128;

    // Null text gives a null result. Raises the framework's memory exception
    // when no buffer can be had, and its OLE exception carrying the last error
    // as a status when the conversion fails.
    CWideText(LPCSTR text, UINT codePage);
    CWideText(const CWideText&) = delete;
    CWideText& operator=(const CWideText&) = delete;
    ~CWideText();

    operator LPCWSTR() const { return m_text; }
    LPCWSTR Get() const { return m_text; }
    bool UsesInlineBuffer() const { return m_text == m_inline; }

private:
    LPWSTR m_text;
    WCHAR m_inline[kInlineChars];
};
