// A dialog template as data: the fields of the extended dialog template, with
// the variable-length parts (texts, the item list) held by pointer instead of
// following in line. The program's resources hold their dialog in this form;
// each platform's dialog manager builds the dialog from it.
#pragma once

#include "UserApi.h"

// Predefined window classes of dialog items, given by atom.
constexpr WORD kButtonClassAtom = 0x0080;
constexpr WORD kListBoxClassAtom = 0x0083;

struct DLGITEMTEMPLATEEX {
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
    short x;  // dialog units, from the client area's top left corner
    short y;
    short cx;
    short cy;
    DWORD id;
    WORD windowClass;  // a predefined class atom
    LPCSTR title;      // UTF-8; null for none
    WORD extraCount;
};

struct DLGTEMPLATEEX {
    WORD dlgVer;     // 1
    WORD signature;  // 0xFFFF marks the extended form
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
    WORD cDlgItems;
    short x;
    short y;
    short cx;  // client area, dialog units
    short cy;
    WORD menu;         // 0: none
    WORD windowClass;  // 0: the platform's dialog class
    LPCSTR title;      // UTF-8
    WORD pointsize;    // the dialog font, present with DS_SETFONT
    WORD weight;
    BYTE italic;
    BYTE charset;
    LPCSTR typeface;
    const DLGITEMTEMPLATEEX* items;  // cDlgItems entries, in tab order
};

// Makes a template held as data the dialog template of id for CDialog, as if
// it were a resource of the executable. Call it during static initialisation;
// the template must live as long as the program.
void AfxRegisterDialogTemplate(WORD id, const DLGTEMPLATEEX* dialogTemplate);
