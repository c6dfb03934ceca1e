#include "platform/user32-wx/DialogManager.h"
#include "platform/mfc/gui/DialogTemplate.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/user32-wx/DeviceContext.h"
#include "platform/user32-wx/ListBoxProc.h"
#include "platform/win32/LastError.h"

namespace {

// The command a request for help becomes: the framework's ID_HELP.
constexpr WORD kHelpCommand = 0xE146;

struct DialogState {
    DLGPROC proc;
    LONG baseUnitX;  // average character width of the dialog font
    LONG baseUnitY;  // its character height
    int defaultId;   // the default push button's id
    INT_PTR result = 0;
    bool ended = false;
};

std::unordered_map<wxWindow*, DialogState>& Dialogs() {
    static auto* dialogs = new std::unordered_map<wxWindow*, DialogState>;
    return *dialogs;
}

DialogState* StateOf(HWND dialog) {
    auto found = Dialogs().find(WindowFromHwnd(dialog));
    return found == Dialogs().end() ? nullptr : &found->second;
}

// Rounds to the nearest pixel, halves away from zero, as MulDiv does.
LONG Scale(LONG units, LONG base, LONG divisor) {
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<LONG>(product >= 0 ? (product + half) / divisor
                                          : -((-product + half) / divisor));
}

// "MS Shell Dlg" and its successor are the platform's logical faces for
// dialogs; they stand for the desktop's sans-serif face. Any other face is
// asked for by name.
wxFont DialogFont(const DLGTEMPLATEEX& dialogTemplate) {
    wxFontInfo info(dialogTemplate.pointsize);
    const char* face = dialogTemplate.typeface != nullptr ? dialogTemplate.typeface : "";
    if (std::strcmp(face, "MS Shell Dlg") == 0 || std::strcmp(face, "MS Shell Dlg 2") == 0) {
        info.Family(wxFONTFAMILY_SWISS);
    } else {
        info.FaceName(wxString::FromUTF8(face));
    }
    if (dialogTemplate.weight >= 700)
        info.Bold();
    if (dialogTemplate.italic != 0)
        info.Italic();
    return wxFont(info);
}

// The base units of a window's font, measured as the platform measures them:
// the average width of the 52 letters, rounded, and the full line height.
void MeasureBaseUnits(wxWindow& window, LONG& x, LONG& y) {
    int width = 0;
    int height = 0;
    window.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
    x = (width / 26 + 1) / 2;
    y = window.GetCharHeight();
}

long FrameStyle(DWORD style, HWND parent) {
    long frame = 0;
    if ((style & WS_CAPTION) == WS_CAPTION)
        frame |= wxCAPTION;
    if (style & WS_SYSMENU)
        frame |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (style & WS_MINIMIZEBOX)
        frame |= wxMINIMIZE_BOX;
    if (style & WS_MAXIMIZEBOX)
        frame |= wxMAXIMIZE_BOX;
    if (style & WS_THICKFRAME)
        frame |= wxRESIZE_BORDER;
    if (parent == nullptr)
        frame |= wxDIALOG_NO_PARENT;
    return frame;
}

wxWindow* CreateControl(wxDialog& dialog, const DLGITEMTEMPLATEEX& item, const wxRect& rect) {
    const wxString text = item.title != nullptr ? wxString::FromUTF8(item.title) : wxString();
    const int id = static_cast<int>(item.id);
    switch (item.windowClass) {
        case kButtonClassAtom: {
            auto* button = new wxButton(&dialog, id, text, rect.GetPosition(), rect.GetSize());
            RegisterWindow(button, item.style, item.exStyle, DefWindowProcA);
            if ((item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                button->SetDefault();
            return button;
        }
        case kListBoxClassAtom: {
            // Sorting (LBS_SORT) is the list box procedure's, not the toolkit's.
            long style = wxLB_SINGLE;
            if (item.style & WS_VSCROLL)
                style |= wxLB_NEEDED_SB;
            if (item.style & WS_HSCROLL)
                style |= wxLB_HSCROLL;
            auto* list =
                new wxListBox(&dialog, id, rect.GetPosition(), rect.GetSize(), 0, nullptr, style);
            RegisterWindow(list, item.style, item.exStyle, ListBoxWndProc);
            return list;
        }
    }
    return nullptr;
}

// The default push button, or IDOK when the template names none.
int DefaultId(const DLGTEMPLATEEX& dialogTemplate) {
    for (WORD i = 0; i < dialogTemplate.cDlgItems; ++i) {
        const DLGITEMTEMPLATEEX& item = dialogTemplate.items[i];
        if (item.windowClass == kButtonClassAtom &&
            (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            return static_cast<int>(item.id);
        }
    }
    return IDOK;
}

// The next control after from (or before it, going back) that takes the
// focus from the keyboard, in template order, round the end.
wxWindow* NextTabStop(wxDialog& dialog, wxWindow* from, bool backward) {
    std::vector<wxWindow*> stops;
    for (wxWindow* child : dialog.GetChildren()) {
        if ((GetWindowLongPtrA(HwndFromWindow(child), GWL_STYLE) & WS_TABSTOP) &&
            child->IsShown() && child->IsEnabled()) {
            stops.push_back(child);
        }
    }
    if (stops.empty())
        return nullptr;
    auto at = std::find(stops.begin(), stops.end(), from);
    if (at == stops.end())
        return backward ? stops.back() : stops.front();
    const size_t index = static_cast<size_t>(at - stops.begin());
    return stops[(index + (backward ? stops.size() - 1 : 1)) % stops.size()];
}

void SendCommand(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// What the toolkit reports to the dialog becomes the messages a dialog gets,
// and its keys are read as the dialog manager reads them.
void DeliverMessages(wxDialog& dialog) {
    const HWND hWnd = HwndFromWindow(&dialog);
    dialog.Bind(wxEVT_BUTTON, [hWnd](wxCommandEvent& event) {
        SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(event.GetId()), BN_CLICKED),
                     reinterpret_cast<LPARAM>(
                         HwndFromWindow(dynamic_cast<wxWindow*>(event.GetEventObject()))));
    });
    dialog.Bind(wxEVT_CHAR_HOOK, [hWnd, &dialog](wxKeyEvent& event) {
        switch (event.GetKeyCode()) {
            case WXK_ESCAPE:
                SendCommand(hWnd, IDCANCEL);
                return;
            case WXK_TAB:
                // Tab follows the template's order, not the controls' places.
                if (!event.HasAnyModifiers() || event.GetModifiers() == wxMOD_SHIFT) {
                    wxWindow* focus = wxWindow::FindFocus();
                    while (focus != nullptr && focus->GetParent() != &dialog)
                        focus = focus->GetParent();
                    if (wxWindow* next = NextTabStop(dialog, focus, event.ShiftDown())) {
                        next->SetFocus();
                    }
                    return;
                }
                break;
            case WXK_F1:
                // A request for help becomes the help command.
                SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(kHelpCommand, 0), 0);
                return;
            case WXK_RETURN:
            case WXK_NUMPAD_ENTER: {
                // A push button with the focus is the one Enter presses.
                wxWindow* focus = wxWindow::FindFocus();
                const bool onButton =
                    dynamic_cast<wxButton*>(focus) != nullptr && focus->GetParent() == &dialog;
                DialogState* state = StateOf(hWnd);
                SendCommand(hWnd, onButton ? focus->GetId() : state->defaultId);
                return;
            }
        }
        event.Skip();
    });
    dialog.Bind(wxEVT_CLOSE_WINDOW, [hWnd](wxCloseEvent& event) {
        // The dialog ends only through EndDialog.
        if (event.CanVeto())
            event.Veto();
        SendMessageA(hWnd, WM_CLOSE, 0, 0);
    });
    dialog.Bind(wxEVT_PAINT, [hWnd, &dialog](wxPaintEvent&) {
        PaintEventScope painting(&dialog);
        SendMessageA(hWnd, WM_PAINT, 0, 0);
    });
}

wxDialog* CreateDialogWindow(const DLGTEMPLATEEX& dialogTemplate, HWND parent, DLGPROC dialogProc) {
    auto* dialog =
        new wxDialog(WindowFromHwnd(parent), wxID_ANY, wxString::FromUTF8(dialogTemplate.title),
                     wxDefaultPosition, wxDefaultSize, FrameStyle(dialogTemplate.style, parent));
    DialogState state{dialogProc, 0, 0, DefaultId(dialogTemplate)};
    if (dialogTemplate.style & DS_SETFONT)
        dialog->SetFont(DialogFont(dialogTemplate));
    MeasureBaseUnits(*dialog, state.baseUnitX, state.baseUnitY);
    Dialogs()[dialog] = state;
    RegisterWindow(dialog, dialogTemplate.style, dialogTemplate.exStyle, DefDlgProcA);

    const HWND hWnd = HwndFromWindow(dialog);
    RECT client = {0, 0, dialogTemplate.cx, dialogTemplate.cy};
    MapDialogRect(hWnd, &client);
    dialog->SetClientSize(client.right, client.bottom);

    // Created in template order, which is also the order Tab follows.
    for (WORD i = 0; i < dialogTemplate.cDlgItems; ++i) {
        const DLGITEMTEMPLATEEX& item = dialogTemplate.items[i];
        RECT box = {item.x, item.y, item.x + item.cx, item.y + item.cy};
        MapDialogRect(hWnd, &box);
        wxWindow* control = CreateControl(
            *dialog, item, wxRect(box.left, box.top, box.right - box.left, box.bottom - box.top));
        if (control == nullptr) {
            delete dialog;
            Dialogs().erase(dialog);
            return nullptr;
        }
        if (dialogTemplate.style & DS_SETFONT)
            control->SetFont(dialog->GetFont());
        if (!(item.style & WS_TABSTOP))
            control->DisableFocusFromKeyboard();
        if (!(item.style & WS_VISIBLE))
            control->Hide();
    }
    DeliverMessages(*dialog);
    return dialog;
}

wxWindow* FirstTabStop(wxDialog& dialog) {
    for (wxWindow* child : dialog.GetChildren()) {
        if (GetWindowLongPtrA(HwndFromWindow(child), GWL_STYLE) & WS_TABSTOP)
            return child;
    }
    return nullptr;
}

}  // namespace

INT_PTR DialogBoxIndirectParamA(HINSTANCE, const DLGTEMPLATEEX* dialogTemplate, HWND parent,
                                DLGPROC dialogProc, LPARAM initParam) {
    if (dialogTemplate == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    wxDialog* dialog = CreateDialogWindow(*dialogTemplate, parent, dialogProc);
    if (dialog == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return -1;
    }
    const HWND hWnd = HwndFromWindow(dialog);
    wxWindow* first = FirstTabStop(*dialog);
    if (SendMessageA(hWnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(HwndFromWindow(first)),
                     initParam) &&
        first != nullptr) {
        first->SetFocus();
    }
    if (!StateOf(hWnd)->ended)
        dialog->ShowModal();
    const INT_PTR result = StateOf(hWnd)->result;
    delete dialog;
    Dialogs().erase(dialog);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    DialogState* state = StateOf(dialog);
    if (state == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    state->result = result;
    state->ended = true;
    auto* window = static_cast<wxDialog*>(WindowFromHwnd(dialog));
    if (window->IsModal())
        window->EndModal(static_cast<int>(result));
    return TRUE;
}

LRESULT DefDlgProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogState* state = StateOf(hWnd);
    if (state != nullptr && state->proc != nullptr) {
        const INT_PTR handled = state->proc(hWnd, message, wParam, lParam);
        if (message == WM_INITDIALOG)
            return handled;
        if (handled)
            return 0;
    }
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CLOSE:
            SendCommand(hWnd, IDCANCEL);
            return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
    DialogState* state = StateOf(dialog);
    if (state == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    rect->left = Scale(rect->left, state->baseUnitX, 4);
    rect->right = Scale(rect->right, state->baseUnitX, 4);
    rect->top = Scale(rect->top, state->baseUnitY, 8);
    rect->bottom = Scale(rect->bottom, state->baseUnitY, 8);
    return TRUE;
}
