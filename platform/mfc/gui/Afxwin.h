// The framework's window classes and the platform calls they rest on.
#pragma once

#include "UserApi.h"
#include "platform/mfc/AfxString.h"
#include "platform/mfc/gui/DataExchange.h"
#include "platform/mfc/gui/Dialog.h"
#include "platform/mfc/gui/FileDialog.h"
#include "platform/mfc/gui/ListBox.h"
#include "platform/mfc/gui/PaintDC.h"
#include "platform/mfc/gui/WinApp.h"
#include "platform/mfc/gui/Wnd.h"
