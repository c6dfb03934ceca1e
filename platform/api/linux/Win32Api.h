// Everything the program uses from kernel32, advapi32, gdi32 and shlwapi: on Linux the
// stand-ins under platform/win32. The build puts this folder or
// platform/api/windows on the include path, never both.
#pragma once

#include "platform/win32/CodePage.h"
#include "platform/win32/CriticalSection.h"
#include "platform/win32/FileOps.h"
#include "platform/win32/Gdi.h"
#include "platform/win32/Interlocked.h"
#include "platform/win32/LastError.h"
#include "platform/win32/Locale.h"
#include "platform/win32/ResourceFormats.h"
#include "platform/win32/Resources.h"
#include "platform/win32/Security.h"
#include "platform/win32/Shlwapi.h"
#include "platform/win32/Strings.h"
#include "platform/win32/Threads.h"
#include "platform/win32/Version.h"
#include "platform/win32/WinTypes.h"
