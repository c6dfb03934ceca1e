// A list box control, attached to an existing window (DDX_Control).
#pragma once

#include "platform/mfc/AfxString.h"
#include "platform/mfc/gui/Wnd.h"

class CListBox : public CWnd {
public:
    int GetCount() const { return static_cast<int>(::SendMessageA(m_hWnd, LB_GETCOUNT, 0, 0)); }
    int GetTextLen(int nIndex) const {
        return static_cast<int>(
            ::SendMessageA(m_hWnd, LB_GETTEXTLEN, static_cast<WPARAM>(nIndex), 0));
    }
    // The text of entry nIndex; empty when there is no such entry.
    void GetText(int nIndex, CString& rString) const;
};
