// The main dialog: the list of files, "^ .bmp" to add bitmaps to it and "OK"
// to shrink every listed file.
#pragma once

#include "platform/mfc/gui/Afxwin.h"
#include "res/Resource.h"

class CDorvaluneDlg : public CDialog {
public:
    explicit CDorvaluneDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_MAIN_DIALOG };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Shrinks every listed file, first to last, then closes the dialog.
    void OnOK() override;

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnAddBitmaps();
    DECLARE_MESSAGE_MAP()

    HICON m_hDialogIcon;
    CListBox m_fileList;
};
