// USER32 and the common dialogs, as the framework's window classes reach
// them. On Linux: the stand-in over wxWidgets (platform/user32-wx) and the
// Win32 numbers and resource calls of platform/win32.
#pragma once

#include "platform/user32-wx/CommDlg.h"
#include "platform/user32-wx/DeviceContext.h"
#include "platform/user32-wx/DialogManager.h"
#include "platform/user32-wx/Icons.h"
#include "platform/user32-wx/User32.h"
#include "platform/win32/Resources.h"
#include "platform/win32/WinUser.h"
