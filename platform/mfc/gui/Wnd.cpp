#include "platform/mfc/gui/Wnd.h"

#include <unordered_map>

#include "platform/mfc/AfxExceptions.h"
#include "platform/mfc/gui/WinApp.h"

namespace {

// Handles with a framework object attached.
std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static auto* map = new std::unordered_map<HWND, CWnd*>;
    return *map;
}

}  // namespace

LRESULT AfxCallWndProc(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return wnd->WindowProc(message, wParam, lParam);
    } catch (CException* e) {
        CWinApp* app = AfxGetApp();
        if (app != nullptr)
            return app->ProcessWndProcException(e, message);
        e->Delete();
        return 0;
    }
}

LRESULT AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (wnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    return AfxCallWndProc(wnd, message, wParam, lParam);
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, {nullptr}}};
    static const AFX_MSGMAP map = {&CCmdTarget::GetThisMessageMap, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

CWnd::~CWnd() {
    if (m_hWnd != nullptr)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    auto found = PermanentMap().find(hWnd);
    return found == PermanentMap().end() ? nullptr : found->second;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (m_hWnd != nullptr || hWnd == nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    const LONG_PTR previous =
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc));
    if (previous == 0)
        return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(previous);
    m_hWnd = hWnd;
    PermanentMap()[hWnd] = this;
    return TRUE;
}

HWND CWnd::UnsubclassWindow() {
    const HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
        return nullptr;
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    PermanentMap().erase(hWnd);
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hWnd;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT outerMessage = m_currentMessage;
    const WPARAM outerWParam = m_currentWParam;
    const LPARAM outerLParam = m_currentLParam;
    m_currentMessage = message;
    m_currentWParam = wParam;
    m_currentLParam = lParam;
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    m_currentMessage = outerMessage;
    m_currentWParam = outerWParam;
    m_currentLParam = outerLParam;
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    if (message == WM_COMMAND)
        return OnCommand(wParam, lParam);
    if (message == WM_NCDESTROY) {
        OnNcDestroy();
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(GetMessageMap(), message, 0, 0);
    if (entry == nullptr)
        return FALSE;
    switch (entry->nSig) {
        case AfxSig_vv:
            (this->*entry->pfn.pfn)();
            return TRUE;
        case AfxSig_hv:
            *result = reinterpret_cast<LRESULT>((this->*entry->pfn.pfn_hv)());
            return TRUE;
        case AfxSig_lwl:
            *result = (this->*entry->pfn.pfn_lwl)(wParam, lParam);
            return TRUE;
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMessage, m_currentWParam, m_currentLParam);
}

void CWnd::OnNcDestroy() {
    // The window's own procedure sees the message too, then the object lets go.
    DefWindowProc(WM_NCDESTROY, 0, 0);
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    UnsubclassWindow();
}

void CWnd::OnPaint() {
    Default();
}
