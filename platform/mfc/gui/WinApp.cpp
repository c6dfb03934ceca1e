#include "platform/mfc/gui/WinApp.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/msgdlg.h>

#include <cstdio>
#include <string>

#include "platform/mfc/gui/User32.h"
#include "platform/mfc/gui/Wnd.h"
#include "platform/win32/Resources.h"

namespace {

CWinApp* g_app = nullptr;

// The executable's file name without folder and extension.
std::string ProgramName(const char* path) {
    std::string name = path != nullptr ? path : "";
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) {
    g_app = this;
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.GetString();
    }
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    wxTheApp->MainLoop();
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return 0;
}

LRESULT CWinApp::ProcessWndProcException(CException* e, UINT) {
    AfxMessageBox(e->Describe(), MB_ICONEXCLAMATION);
    e->Delete();
    return 0;
}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) {
    m_strRegistryKey = lpszRegistryKey;
    m_pszRegistryKey = m_strRegistryKey.GetString();
}

void CWinApp::OnHelp() {
    AfxMessageBox("No help is available for this program.");
}

CWinApp* AfxGetApp() {
    return g_app;
}

LPCSTR AfxGetAppName() {
    return g_app != nullptr && g_app->m_pszAppName != nullptr ? g_app->m_pszAppName : "";
}

CWnd* AfxGetMainWnd() {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetResourceHandle() {
    return GetModuleHandleA(nullptr);
}

// The executable is the only module, so it holds every resource there is.
HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) {
    return AfxGetResourceHandle();
}

// The dialog manager builds no embedded controls and no template holds one,
// so hosting them needs no set-up.
void AfxEnableControlContainer(COccManager*) {}

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
    if (!wxEntryStart(count, arguments))
        return false;
    // Toolkit diagnostics go to the terminal, never into a window.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    if (g_app != nullptr && g_app->m_pszAppName == nullptr) {
        g_app->m_strAppName = ProgramName(arguments[0]).c_str();
        g_app->m_pszAppName = g_app->m_strAppName.GetString();
    }
    return true;
}

void AfxWinTerm() {
    wxEntryCleanup();
}

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    if (!AfxWinInit(argc, argv)) {
        // The toolkit's own start fails without a word when it has no display.
        std::fprintf(stderr, "%s: cannot open the display; is DISPLAY set?\n",
                     ProgramName(argc > 0 ? argv[0] : "dorvalune").c_str());
        return 1;
    }
    const int code = app->InitInstance() ? app->Run() : app->ExitInstance();
    AfxWinTerm();
    return code;
}
