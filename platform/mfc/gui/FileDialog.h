// The framework's open-file dialog.
#pragma once

#include "UserApi.h"
#include "platform/mfc/AfxString.h"
#include "platform/mfc/gui/Wnd.h"

// An opaque place in a list that the framework walks; null after the last.
struct POSITION__;
using POSITION = POSITION__*;

class CFileDialog {
public:
    // lpszFilter is in the framework's one-string form: description and
    // pattern pairs separated by "|", ended by "||".
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY, LPCSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr, DWORD dwSize = 0);
    virtual ~CFileDialog() = default;
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    OPENFILENAMEA& GetOFN() { return m_ofn; }
    const OPENFILENAMEA& GetOFN() const { return m_ofn; }

    // IDOK when the user confirmed a selection that fits the record's
    // buffer, IDCANCEL otherwise.
    virtual INT_PTR DoModal();

    POSITION GetStartPosition() const { return reinterpret_cast<POSITION>(m_ofn.lpstrFile); }
    // The full path of the file at pos, which moves to the next file, or to
    // null after the last.
    CString GetNextPathName(POSITION& pos) const;

private:
    OPENFILENAMEA m_ofn;
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    CString m_strFilter;  // the filter with its separators turned into zeros
    char m_szFileName[260];
};
