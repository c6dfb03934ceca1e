// Everything the program uses from kernel32, advapi32, gdi32 and shlwapi: on Windows
// the system's own headers. The build puts this folder or platform/api/linux
// on the include path, never both.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <shlwapi.h>
#include <windows.h>
