// The resource kinds the program carries besides its dialog template
// (platform/mfc/gui/DialogTemplate.h): the icon group and the version record.
// Fields keep the names and meanings of the compiled resource formats; the
// variable-length parts (texts, images) are held by pointer instead of
// following in line.
#pragma once

#include "platform/win32/WinTypes.h"

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
