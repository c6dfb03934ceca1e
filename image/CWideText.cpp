#include "image/CWideText.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "Win32Api.h"
#include "platform/mfc/AfxExceptions.h"

namespace {

constexpr HRESULT kWin32Facility = static_cast<HRESULT>(0x80070000u);

// An error code becomes a status in the Win32 facility; a value that is
// already a status (negative as a signed number), or 0, stays as it is.
HRESULT StatusFromError(DWORD error) {
    if (static_cast<LONG>(error) <= 0)
        return static_cast<HRESULT>(error);
    return kWin32Facility | static_cast<HRESULT>(error & 0xFFFF);
}

}  // namespace

void ThrowConversionFailure(DWORD error) {
    const HRESULT status = StatusFromError(error);
    if (status == E_OUTOFMEMORY)
        AfxThrowMemoryException();
    AfxThrowOleException(status);
}

CWideText::CWideText(LPCSTR text, UINT codePage) : m_text(nullptr) {
    if (text == nullptr)
        return;
    const size_t chars = std::strlen(text) + 1;
    // The conversion counts in int; a longer text cannot be converted at all.
    if (chars > static_cast<size_t>(INT_MAX)) {
        AfxThrowOleException(StatusFromError(ERROR_INVALID_PARAMETER));
    }
    if (chars > kInlineChars) {
        m_text = static_cast<LPWSTR>(std::malloc(chars * sizeof(WCHAR)));
        if (m_text == nullptr)
            AfxThrowMemoryException();
    } else {
        m_text = m_inline;
    }
    const int n = static_cast<int>(chars);
    if (MultiByteToWideChar(codePage, 0, text, n, m_text, n) == 0) {
        const DWORD error = GetLastError();
        // The destructor does not run for a constructor that throws.
        if (m_text != m_inline)
            std::free(m_text);
        m_text = nullptr;
        ThrowConversionFailure(error);
    }
}

CWideText::~CWideText() {
    if (m_text != m_inline)
        std::free(m_text);
}
