// The framework over the USER32 stand-in of platform/user32-wx, on wxWidgets.
#include "platform/mfc/gui/Backend.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/window.h>

#include <cstdio>
#include <deque>

#include "platform/mfc/gui/Dialog.h"
#include "platform/mfc/gui/DialogTemplate.h"
#include "platform/mfc/gui/WinApp.h"
#include "platform/user32-wx/DialogManager.h"

char AfxPathSeparator() {
    return '/';
}

int CWinApp::Run() {
    wxTheApp->MainLoop();
    return ExitInstance();
}

void CWnd::CenterWindow() {
    if (wxWindow* window = WindowFromHwnd(m_hWnd))
        window->Centre(wxBOTH);
}

void AfxRegisterDialogTemplate(WORD id, const DLGTEMPLATEEX* dialogTemplate) {
    // The loader's section keeps the entry's address: the entries live as
    // long as the program, in a list whose elements never move.
    static auto& entries = *new std::deque<RESOURCE_ENTRY>;
    entries.push_back({5, id, 0, dialogTemplate, sizeof(DLGTEMPLATEEX)});
    RegisterModuleResources(&entries.back(), 1);
}

INT_PTR CDialog::DoModal() {
    HINSTANCE instance = AfxFindResourceHandle(m_lpszTemplateName, RT_DIALOG);
    HRSRC resource = FindResourceA(instance, m_lpszTemplateName, RT_DIALOG);
    if (resource == nullptr)
        return -1;
    const auto* dialogTemplate =
        static_cast<const DLGTEMPLATEEX*>(LockResource(LoadResource(instance, resource)));
    HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
    return DialogBoxIndirectParamA(instance, dialogTemplate, parent, &AfxDlgProc,
                                   reinterpret_cast<LPARAM>(this));
}

int AfxMessageBox(LPCSTR lpszText, UINT nType) {
    long style = wxOK | wxCENTRE;
    if ((nType & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION)
        style |= wxICON_EXCLAMATION;
    CWnd* owner = AfxGetMainWnd();
    wxMessageBox(wxString::FromUTF8(lpszText), wxString::FromUTF8(AfxGetAppName()), style,
                 owner != nullptr ? WindowFromHwnd(owner->GetSafeHwnd()) : nullptr);
    return IDOK;
}

bool AfxWinInit(int argc, char** argv) {
    // The toolkit sees the program's name only: no argument reaches it.
    static char* arguments[2] = {nullptr, nullptr};
    static int count = 1;
    arguments[0] = argc > 0 ? argv[0] : const_cast<char*>("dorvalune");
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(count, arguments)) {
        // The toolkit's own start fails without a word when it has no display.
        std::fprintf(stderr, "%s: cannot open the display; is DISPLAY set?\n",
                     AfxProgramName(arguments[0]).c_str());
        return false;
    }
    // Toolkit diagnostics go to the terminal, never into a window.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    AfxSetDefaultAppName(arguments[0]);
    return true;
}

void AfxWinTerm() {
    wxEntryCleanup();
}
