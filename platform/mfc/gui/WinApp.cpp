#include "platform/mfc/gui/WinApp.h"

#include "platform/mfc/gui/Backend.h"
#include "platform/mfc/gui/Wnd.h"

namespace {

CWinApp* g_app = nullptr;

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

std::string AfxProgramName(const char* path) {
    std::string name = path != nullptr ? path : "";
    const size_t folder = name.find_last_of(std::string("/") + AfxPathSeparator());
    if (folder != std::string::npos)
        name.erase(0, folder + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

void AfxSetDefaultAppName(const char* programPath) {
    if (g_app != nullptr && g_app->m_pszAppName == nullptr) {
        g_app->m_strAppName = AfxProgramName(programPath).c_str();
        g_app->m_pszAppName = g_app->m_strAppName.GetString();
    }
}

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    if (!AfxWinInit(argc, argv))
        return 1;
    const int code = app->InitInstance() ? app->Run() : app->ExitInstance();
    AfxWinTerm();
    return code;
}
