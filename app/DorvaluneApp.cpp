#include "app/DorvaluneApp.h"

#include "ui/DorvaluneDlg.h"

BEGIN_MESSAGE_MAP(CDorvaluneApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

// The one application object.
CDorvaluneApp theApp;

BOOL CDorvaluneApp::InitInstance() {
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    // Where settings would be kept; the program keeps none.
    SetRegistryKey("Vom lokalen Anwendungs-Assistenten generierte Anwendungen");

    CDorvaluneDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The dialog has ended: end the program rather than start the message loop.
    return FALSE;
}
