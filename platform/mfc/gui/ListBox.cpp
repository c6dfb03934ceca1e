#include "platform/mfc/gui/ListBox.h"

#include <new>
#include <vector>

void CListBox::GetText(int nIndex, CString& rString) const {
    const int length = GetTextLen(nIndex);
    if (length < 0) {
        rString.Empty();
        return;
    }
    std::vector<char> text;
    try {
        text.resize(static_cast<size_t>(length) + 1);
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
    ::SendMessageA(m_hWnd, LB_GETTEXT, static_cast<WPARAM>(nIndex),
                   reinterpret_cast<LPARAM>(text.data()));
    rString = CString(text.data(), length);
}
