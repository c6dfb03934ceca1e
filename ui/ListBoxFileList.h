// The dialog's list box as the list that the batch run walks.
#pragma once

#include "platform/mfc/gui/ListBox.h"
#include "shrink/BatchRun.h"

class CListBoxFileList : public CFileListSource {
public:
    explicit CListBoxFileList(const CListBox& list) : m_list(list) {}
    int GetCount() const override;
    void GetText(int index, CString& text) const override;

private:
    const CListBox& m_list;
};
