// The application object: shows the main dialog once, then ends the program.
#pragma once

#include "platform/mfc/gui/Afxwin.h"

class CDorvaluneApp : public CWinApp {
public:
    CDorvaluneApp() = default;

    // Runs the main dialog and returns FALSE, so the program ends without a
    // message loop.
    BOOL InitInstance() override;

protected:
    DECLARE_MESSAGE_MAP()
};
