// The application object and the framework's global services.
#pragma once

#include "platform/mfc/AfxExceptions.h"
#include "platform/mfc/AfxString.h"
#include "platform/mfc/gui/CmdTarget.h"

class CWnd;
class COccManager;

class CWinApp : public CCmdTarget {
public:
    // A null name makes the executable's file name the application's name.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's start-up. TRUE runs the message loop; FALSE ends the
    // program without one.
    virtual BOOL InitInstance();
    // The message loop, until the last window is gone.
    virtual int Run();
    // The program's end; returns the exit code.
    virtual int ExitInstance();

    // Reports a framework exception that a message handler let out, as a
    // message box, and frees it. The message counts as handled.
    virtual LRESULT ProcessWndProcException(CException* e, UINT message);

    // Names the per-user key under which settings would be kept. The name is
    // stored; nothing is read or written.
    void SetRegistryKey(LPCSTR lpszRegistryKey);

    // The help command. The program has no help content, so this says so.
    afx_msg void OnHelp();

    LPCSTR m_pszAppName = nullptr;
    LPCSTR m_pszRegistryKey = nullptr;
    CWnd* m_pMainWnd = nullptr;

protected:
    DECLARE_MESSAGE_MAP()

private:
    friend void AfxSetDefaultAppName(const char* programPath);
    CString m_strAppName;
    CString m_strRegistryKey;
};

CWinApp* AfxGetApp();
LPCSTR AfxGetAppName();
CWnd* AfxGetMainWnd();

// The module that holds resources (the executable); AfxFindResourceHandle
// gives the module that holds the named resource of that type.
HINSTANCE AfxGetResourceHandle();
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);

// Enables the hosting of embedded controls in dialogs; null chooses the
// framework's default manager.
void AfxEnableControlContainer(COccManager* pManager = nullptr);

// A message box with the application's name as its title.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);

// Starts the window system's side of the program and ends it: on Linux the
// toolkit (argv[0] only: the program reads no arguments). When the window
// system cannot be reached, AfxWinInit says so on standard error and returns
// false. AfxWinMain calls both; tests that run windows without an application
// object call them too.
bool AfxWinInit(int argc, char** argv);
void AfxWinTerm();

// The framework's entry: start-up, InitInstance, then the message loop or
// ExitInstance. Returns the exit code.
int AfxWinMain(int argc, char** argv);
