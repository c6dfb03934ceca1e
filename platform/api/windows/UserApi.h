// USER32 and the common dialogs, as the framework's window classes reach
// them. On Windows: the system's own.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commdlg.h>
