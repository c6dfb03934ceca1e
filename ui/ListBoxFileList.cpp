#include "ui/ListBoxFileList.h"

int CListBoxFileList::GetCount() const {
    return static_cast<int>(::SendMessageA(m_list.m_hWnd, LB_GETCOUNT, 0, 0));
}

void CListBoxFileList::GetText(int index, CString& text) const { m_list.GetText(index, text); }
