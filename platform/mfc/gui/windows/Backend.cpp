// The framework over the system's USER32 and common dialogs.
#include "platform/mfc/gui/Backend.h"

#include <map>
#include <vector>

#include "platform/mfc/gui/Dialog.h"
#include "platform/mfc/gui/DialogTemplate.h"
#include "platform/mfc/gui/WinApp.h"
#include "platform/mfc/gui/windows/InMemoryTemplate.h"

namespace {

// The dialog templates the program holds as data, by id.
std::map<WORD, const DLGTEMPLATEEX*>& DataTemplates() {
    static auto* templates = new std::map<WORD, const DLGTEMPLATEEX*>;
    return *templates;
}

}  // namespace

char AfxPathSeparator() {
    return '\\';
}

int CWinApp::Run() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return ExitInstance();
}

void CWnd::CenterWindow() {
    RECT window;
    if (!GetWindowRect(m_hWnd, &window))
        return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const RECT& area = monitor.rcWork;
    const int x = area.left + (area.right - area.left - (window.right - window.left)) / 2;
    const int y = area.top + (area.bottom - area.top - (window.bottom - window.top)) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AfxRegisterDialogTemplate(WORD id, const DLGTEMPLATEEX* dialogTemplate) {
    DataTemplates()[id] = dialogTemplate;
}

INT_PTR CDialog::DoModal() {
    HINSTANCE instance = AfxFindResourceHandle(m_lpszTemplateName, RT_DIALOG);
    HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
    const auto param = reinterpret_cast<LPARAM>(this);
    // A template held as data becomes an in-memory template; any other is a
    // compiled resource of the module.
    if (IS_INTRESOURCE(m_lpszTemplateName)) {
        const auto found =
            DataTemplates().find(LOWORD(reinterpret_cast<ULONG_PTR>(m_lpszTemplateName)));
        if (found != DataTemplates().end()) {
            const std::vector<WORD> data = InMemoryTemplate(*found->second);
            return DialogBoxIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(data.data()),
                                           parent, &AfxDlgProc, param);
        }
    }
    return DialogBoxParamA(instance, m_lpszTemplateName, parent, &AfxDlgProc, param);
}

int AfxMessageBox(LPCSTR lpszText, UINT nType) {
    CWnd* owner = AfxGetMainWnd();
    return MessageBoxA(owner != nullptr ? owner->GetSafeHwnd() : nullptr, lpszText, AfxGetAppName(),
                       nType);
}

bool AfxWinInit(int, char**) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    AfxSetDefaultAppName(path);
    return true;
}

void AfxWinTerm() {}
