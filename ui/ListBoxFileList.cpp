#include "ui/ListBoxFileList.h"

int CListBoxFileList::GetCount() const {
    return m_list.GetCount();
}

void CListBoxFileList::GetText(int index, CString& text) const {
    m_list.GetText(index, text);
}
