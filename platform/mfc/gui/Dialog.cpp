#include "platform/mfc/gui/Dialog.h"

#include "platform/mfc/gui/DataExchange.h"
#include "platform/mfc/gui/WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
ON_MESSAGE(WM_HELP, &CDialog::HandleHelp)
END_MESSAGE_MAP()

INT_PTR AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->SubclassWindow(hWnd);
    return AfxCallWndProc(dialog, message, wParam, lParam);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(static_cast<WORD>(nIDTemplate))),
      m_pParentWnd(pParentWnd) {}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    const BOOL result = OnInitDialog();
    // The template puts the dialog at (0, 0) with no placement style, so it
    // opens in the middle of the screen.
    CenterWindow();
    return result;
}

LRESULT CDialog::HandleHelp(WPARAM, LPARAM) {
    OnCmdMsg(ID_HELP, CN_COMMAND);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

// Commands the dialog leaves alone go on to the application object, except
// the system's own (0xF000 and up).
BOOL CDialog::OnCmdMsg(UINT nID, int nCode) {
    if (CWnd::OnCmdMsg(nID, nCode))
        return TRUE;
    if (nCode != static_cast<int>(CN_COMMAND) || nID >= 0xF000)
        return FALSE;
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->OnCmdMsg(nID, nCode);
}
