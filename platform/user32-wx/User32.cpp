#include "platform/user32-wx/User32.h"

#include <wx/brush.h>
#include <wx/dc.h>
#include <wx/settings.h>
#include <wx/toplevel.h>
#include <wx/window.h>

#include <unordered_map>

#include "platform/user32-wx/DeviceContext.h"
#include "platform/user32-wx/Icons.h"
#include "platform/win32/LastError.h"

namespace {

struct WindowRecord {
    DWORD style;
    DWORD exStyle;
    WNDPROC proc;
};

// Every registered window, until its destruction.
std::unordered_map<wxWindow*, WindowRecord>& Windows() {
    static auto* windows = new std::unordered_map<wxWindow*, WindowRecord>;
    return *windows;
}

WindowRecord* RecordOf(HWND hWnd) {
    auto found = Windows().find(WindowFromHwnd(hWnd));
    if (found == Windows().end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return &found->second;
}

wxTopLevelWindow* TopLevel(HWND hWnd) {
    return dynamic_cast<wxTopLevelWindow*>(WindowFromHwnd(hWnd));
}

// The window's icon slots: big and small. One icon may fill both; the small
// slot is scaled from it.
void SetIconSlot(wxTopLevelWindow& window, WPARAM slot, HICON icon) {
    wxIconBundle icons = window.GetIcons();
    const int size = slot == ICON_BIG ? GetSystemMetrics(SM_CXICON) : GetSystemMetrics(SM_CXSMICON);
    // Drop the slot's previous image, then put the new one in.
    wxIconBundle updated;
    for (size_t i = 0; i < icons.GetIconCount(); ++i) {
        const wxIcon old = icons.GetIconByIndex(i);
        if (old.GetWidth() != size)
            updated.AddIcon(old);
    }
    if (icon != nullptr)
        updated.AddIcon(IconImageAt(icon, size));
    window.SetIcons(updated);
}

}  // namespace

HWND HwndFromWindow(wxWindow* window) {
    return reinterpret_cast<HWND>(window);
}

wxWindow* WindowFromHwnd(HWND hWnd) {
    return reinterpret_cast<wxWindow*>(hWnd);
}

void RegisterWindow(wxWindow* window, DWORD style, DWORD exStyle, WNDPROC classProc) {
    Windows()[window] = {style, exStyle, classProc};
    // The last message a window gets; afterwards its handle is invalid.
    window->Bind(wxEVT_DESTROY, [window](wxWindowDestroyEvent& event) {
        event.Skip();  // the event travels up to the parents as well
        if (event.GetEventObject() != window)
            return;
        SendMessageA(HwndFromWindow(window), WM_NCDESTROY, 0, 0);
        Windows().erase(window);
    });
}

LONG_PTR GetWindowLongPtrA(HWND hWnd, int index) {
    WindowRecord* record = RecordOf(hWnd);
    if (record == nullptr)
        return 0;
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(record->proc);
        case GWL_STYLE:
            return record->style;
        case GWL_EXSTYLE:
            return record->exStyle;
        case GWLP_ID:
            return WindowFromHwnd(hWnd)->GetId();
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR SetWindowLongPtrA(HWND hWnd, int index, LONG_PTR value) {
    WindowRecord* record = RecordOf(hWnd);
    if (record == nullptr)
        return 0;
    if (index != GWLP_WNDPROC) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    const WNDPROC previous = record->proc;
    record->proc = reinterpret_cast<WNDPROC>(value);
    return reinterpret_cast<LONG_PTR>(previous);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc(hWnd, message, wParam, lParam);
}

LRESULT SendMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = RecordOf(hWnd);
    if (record == nullptr)
        return 0;
    return CallWindowProcA(record->proc, hWnd, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    wxWindow* window = WindowFromHwnd(hWnd);
    switch (message) {
        case WM_SETICON:
            if (wxTopLevelWindow* top = TopLevel(hWnd)) {
                SetIconSlot(*top, wParam, reinterpret_cast<HICON>(lParam));
            }
            return 0;
        case WM_ICONERASEBKGND:
            if (wxDC* dc = DcFromHdc(reinterpret_cast<HDC>(wParam))) {
                dc->SetBackground(wxBrush(window->GetBackgroundColour()));
                dc->Clear();
                return 1;
            }
            return 0;
        case WM_PAINT:
            // Painting nothing still validates the window.
            ValidatePaint(window);
            return 0;
        case WM_QUERYDRAGICON:
            return 0;
    }
    return 0;
}

HWND GetDlgItem(HWND dialog, int id) {
    wxWindow* parent = WindowFromHwnd(dialog);
    if (parent == nullptr)
        return nullptr;
    for (wxWindow* child : parent->GetChildren()) {
        if (child->GetId() == id)
            return HwndFromWindow(child);
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    return static_cast<int>(GetWindowLongPtrA(hWnd, GWLP_ID));
}

BOOL IsIconic(HWND hWnd) {
    wxTopLevelWindow* top = TopLevel(hWnd);
    return top != nullptr && top->IsIconized();
}

BOOL GetClientRect(HWND hWnd, RECT* rect) {
    if (RecordOf(hWnd) == nullptr || rect == nullptr)
        return FALSE;
    const wxSize size = WindowFromHwnd(hWnd)->GetClientSize();
    *rect = {0, 0, size.GetWidth(), size.GetHeight()};
    return TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
    if (RecordOf(hWnd) == nullptr)
        return FALSE;
    WindowFromHwnd(hWnd)->Update();
    return TRUE;
}

int GetSystemMetrics(int index) {
    // Where the desktop names no icon size, the platform's own: 32 and 16.
    auto metric = [](wxSystemMetric which, int fallback) {
        const int value = wxSystemSettings::GetMetric(which);
        return value > 0 ? value : fallback;
    };
    switch (index) {
        case SM_CXICON:
            return metric(wxSYS_ICON_X, 32);
        case SM_CYICON:
            return metric(wxSYS_ICON_Y, 32);
        case SM_CXSMICON:
            return metric(wxSYS_SMALLICON_X, 16);
        case SM_CYSMICON:
            return metric(wxSYS_SMALLICON_Y, 16);
    }
    return 0;
}
