#include "platform/mfc/gui/FileDialog.h"

#include <cstring>
#include <string>

#include "platform/mfc/gui/Backend.h"
#include "platform/mfc/gui/WinApp.h"

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName,
                         DWORD dwFlags, LPCSTR lpszFilter, CWnd* pParentWnd, DWORD dwSize)
    : m_ofn{}, m_bOpenFileDialog(bOpenFileDialog), m_pParentWnd(pParentWnd), m_szFileName{} {
    m_ofn.lStructSize = dwSize != 0 ? dwSize : sizeof(OPENFILENAMEA);
    // The framework's own dialogs are explorer-style.
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
    m_ofn.lpstrDefExt = lpszDefExt;
    if (lpszFileName != nullptr)
        std::strncpy(m_szFileName, lpszFileName, sizeof(m_szFileName) - 1);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = sizeof(m_szFileName);
    if (lpszFilter != nullptr) {
        m_strFilter = lpszFilter;
        // "|" becomes the zero that ends each part; "||" ends the list.
        std::string parts(m_strFilter.GetString());
        for (char& ch : parts) {
            if (ch == '|')
                ch = '\0';
        }
        m_strFilter = CString(parts.data(), static_cast<int>(parts.size()));
        m_ofn.lpstrFilter = m_strFilter.GetString();
    }
}

INT_PTR CFileDialog::DoModal() {
    // Without an owner of its own, the dialog is modal to the main window.
    CWnd* owner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = owner != nullptr ? owner->GetSafeHwnd() : nullptr;
    // The program only opens files: a save dialog fails as one that cannot be shown.
    if (!m_bOpenFileDialog)
        return IDCANCEL;
    return GetOpenFileNameA(&m_ofn) ? IDOK : IDCANCEL;
}

CString CFileDialog::GetNextPathName(POSITION& pos) const {
    const char* at = reinterpret_cast<const char*>(pos);
    if (at == m_ofn.lpstrFile) {
        if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT)) {
            pos = nullptr;
            return CString(m_ofn.lpstrFile);
        }
        // One file alone is its full path, with nothing after it.
        at += std::strlen(at) + 1;
        if (*at == '\0') {
            pos = nullptr;
            return CString(m_ofn.lpstrFile);
        }
    }
    const CString name(at);
    at += std::strlen(at) + 1;
    pos = *at == '\0' ? nullptr : reinterpret_cast<POSITION>(const_cast<char*>(at));

    // A name that carries a folder of its own is taken as it stands.
    if (name.Find(AfxPathSeparator()) >= 0)
        return name;
    CString path(m_ofn.lpstrFile);
    if (path.IsEmpty() || path[path.GetLength() - 1] != AfxPathSeparator())
        path += AfxPathSeparator();
    path += name;
    return path;
}
