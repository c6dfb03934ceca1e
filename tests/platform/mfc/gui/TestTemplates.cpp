#include "tests/platform/mfc/gui/TestTemplates.h"

#include "platform/win32/ResourceFormats.h"
#include "platform/win32/Resources.h"
#include "platform/win32/WinUser.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

const DLGITEMTEMPLATEEX kButtonsItems[] = {
    {0, 0, kChild | BS_DEFPUSHBUTTON, 110, 70, 50, 14, IDOK, kButtonClassAtom, "OK", 0},
    {0, 0, kChild, 55, 70, 50, 14, kGoButton, kButtonClassAtom, "Go", 0},
    {0, 0, kChild | WS_BORDER | WS_VSCROLL | LBS_SORT, 7, 7, 153, 58, kSortedList,
     kListBoxClassAtom, nullptr, 0},
};

const DLGITEMTEMPLATEEX kUnknownClassItems[] = {
    {0, 0, kChild, 7, 7, 50, 14, 30, 0x0085 /* combo box */, nullptr, 0},
};

constexpr DWORD kDialogStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT;

const DLGTEMPLATEEX kButtonsTemplate = {1,
                                        0xFFFF,
                                        0,
                                        0,
                                        kDialogStyle,
                                        3,
                                        0,
                                        0,
                                        167,
                                        91,
                                        0,
                                        0,
                                        "Buttons",
                                        8,
                                        0,
                                        0,
                                        1,
                                        "MS Shell Dlg",
                                        kButtonsItems};

const DLGTEMPLATEEX kUnknownClassTemplate = {1,
                                             0xFFFF,
                                             0,
                                             0,
                                             kDialogStyle,
                                             1,
                                             0,
                                             0,
                                             100,
                                             50,
                                             0,
                                             0,
                                             "Unknown",
                                             8,
                                             0,
                                             0,
                                             1,
                                             "MS Shell Dlg",
                                             kUnknownClassItems};

const RESOURCE_ENTRY kTestResources[] = {
    {5, kButtonsDialog, 0x0409, &kButtonsTemplate, sizeof(kButtonsTemplate)},
    {5, kUnknownClassDialog, 0x0409, &kUnknownClassTemplate, sizeof(kUnknownClassTemplate)},
};

const bool kRegistered = [] {
    RegisterModuleResources(kTestResources, sizeof(kTestResources) / sizeof(kTestResources[0]));
    return true;
}();

}  // namespace
