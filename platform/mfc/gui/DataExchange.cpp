#include "platform/mfc/gui/DataExchange.h"

#include "platform/mfc/gui/Wnd.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd != nullptr)
        return;
    rControl.SubclassWindow(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}
