// The ANSI code page and conversions between narrow text and UTF-16.
//
// On Linux the ANSI code page is UTF-8 (65001): file names are bytes, which
// are UTF-8 on every supported desktop but need not be. So that every file
// name survives the way to UTF-16 and back, a byte that is not part of
// well-formed UTF-8 becomes the lone surrogate U+DC80 + (byte - 0x80), and
// the reverse conversion turns such a surrogate back into its byte. Other
// code pages, Windows-1252 included, are not installed: no Linux file name is
// written in them, and text decoded from one would lead back to a different
// file.
#pragma once

#include "platform/win32/WinTypes.h"

using LPBOOL = BOOL*;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

UINT GetACP();

// Converts size bytes of text (-1: up to and including its terminating zero)
// into at most capacity UTF-16 units and returns how many were written; a
// capacity of 0 only asks for that number. Fails with 0 and the last error
// ERROR_INSUFFICIENT_BUFFER when the result does not fit, ERROR_INVALID_FLAGS
// for any flag (the program passes none), and ERROR_INVALID_PARAMETER for a
// code page other than CP_ACP, CP_THREAD_ACP and CP_UTF8, an empty or null
// input or an inconsistent buffer.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int size, LPWSTR wide,
                        int capacity);

// The reverse: count UTF-16 units (-1: with the terminator) into at most
// capacity bytes, with the same failures. Escapes become their bytes again;
// any other lone surrogate becomes U+FFFD. As for UTF-8 on the platform,
// defaultChar and usedDefaultChar must be null.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, LPSTR text,
                        int capacity, LPCSTR defaultChar, LPBOOL usedDefaultChar);
