// The main dialog's template: a list of files above two buttons.
#include "res/MainDialog.h"

#include "res/Resource.h"

namespace {

const DLGITEMTEMPLATEEX kMainDialogItems[] = {
    // helpID, exStyle, style, x, y, cx, cy, id, class, text, extra
    {0, 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,  // 0x50010001
     179, 101, 50, 16, IDOK, kButtonClassAtom, "OK", 0},
    {0, 0,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT |
         LBS_NOINTEGRALHEIGHT,  // 0x50A10103
     7, 7, 222, 90, IDC_FILE_LIST, kListBoxClassAtom, nullptr, 0},
    {0, 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,  // 0x50010000
     121, 103, 50, 14, IDC_ADD_BITMAPS, kButtonClassAtom, "^ .bmp", 0},
};

}  // namespace

const DLGTEMPLATEEX kMainDialogTemplate = {
    1,
    0xFFFF,
    0,
    WS_EX_APPWINDOW,
    // 0x90C800C8: a title bar with the window menu and close box; no minimise
    // or maximise box, no sizing border.
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
    static_cast<WORD>(sizeof(kMainDialogItems) / sizeof(kMainDialogItems[0])),
    0,
    0,
    236,
    124,
    0,
    0,
    "Dorvalune",
    8,
    0,  // FW_DONTCARE: the normal weight
    0,
    1,  // DEFAULT_CHARSET
    "MS Shell Dlg",
    kMainDialogItems,
};
