// The resource kinds the program carries: the extended dialog template, the
// icon group and the version record. Fields keep the names and meanings of
// the compiled resource formats; the variable-length parts (texts, item
// lists, images) are held by pointer instead of following in line.
#pragma once

#include "platform/win32/WinTypes.h"

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

// One image of an icon group. The image itself is an RT_ICON resource of id
// nId; here it is held as XPM rows (colour table, then one text row per
// pixel row), a form the toolkit reads directly.
struct GRPICONDIRENTRY {
    BYTE bWidth;
    BYTE bHeight;
    BYTE bColorCount;
    BYTE bReserved;
    WORD wPlanes;
    WORD wBitCount;
    DWORD dwBytesInRes;
    WORD nId;
};

struct GRPICONDIR {
    WORD idReserved;
    WORD idType;  // 1 for icons
    WORD idCount;
    const GRPICONDIRENTRY* idEntries;
};

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003F;
constexpr DWORD VOS__WINDOWS32 = 0x00000004;
constexpr DWORD VFT_APP = 0x00000001;

struct VersionString {
    LPCSTR key;
    LPCSTR value;
};

// VS_VERSIONINFO: the fixed part, one string table and the translation entry.
struct VS_VERSIONINFO {
    VS_FIXEDFILEINFO fixed;
    LPCSTR stringTableKey;  // language and code page, e.g. "040704e4"
    const VersionString* strings;
    WORD stringCount;
    WORD translation[2];  // language, code page
};
