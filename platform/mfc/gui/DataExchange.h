// Data exchange between a dialog and its controls.
#pragma once

#include "UserApi.h"

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls to members
    CWnd* m_pDlgWnd;
};

// Attaches rControl to the dialog's control nIDC on the first exchange;
// later exchanges change nothing.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
