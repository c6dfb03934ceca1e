// A modal dialog built from a dialog template of the executable's resources.
#pragma once

#include "platform/mfc/gui/Wnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the dialog from its template, runs it until it ends and destroys
    // it. Returns the value given to EndDialog (IDOK, IDCANCEL), or -1 when
    // the window cannot be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // Runs the data exchange: TRUE reads the controls, FALSE fills them.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    DECLARE_MESSAGE_MAP()

    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL OnCmdMsg(UINT nID, int nCode) override;
    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    // F1, which the system's dialog manager reports as WM_HELP, is the help
    // command (the Linux dialog manager sends the command itself).
    afx_msg LRESULT HandleHelp(WPARAM wParam, LPARAM lParam);

    LPCSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;
};

// The dialog procedure of framework dialogs: attaches the dialog object to its
// window when WM_INITDIALOG arrives, before any handler runs.
INT_PTR AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
