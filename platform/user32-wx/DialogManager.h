// The dialog manager: dialogs built from templates and run modally, with the
// keyboard interface of dialogs (Esc cancels, Enter presses the default
// button, Tab moves through the controls in template order, F1 asks for
// help).
#pragma once

#include "platform/user32-wx/User32.h"

// The template form of platform/mfc/gui/DialogTemplate.h.
struct DLGTEMPLATEEX;

// Builds the dialog and its controls from the template, sends WM_INITDIALOG
// (to dialogProc first, with initParam), gives the focus to the first control
// that takes it when that returns nonzero, and runs the dialog modally until
// EndDialog. Returns EndDialog's result, or -1 when the dialog cannot be built
// (a control of a class the manager does not know).
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DLGTEMPLATEEX* dialogTemplate,
                                HWND parent, DLGPROC dialogProc, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);

// The window procedure of the dialog class: the dialog procedure first, then
// WM_CLOSE becomes the command IDCANCEL, as the close box and Alt+F4 do.
LRESULT DefDlgProcA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Dialog units to pixels with the dialog font's base units: x * average
// character width / 4 and y * character height / 8, rounded.
BOOL MapDialogRect(HWND dialog, RECT* rect);
