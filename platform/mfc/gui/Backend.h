// What each platform's backend (linux/ or windows/; the build compiles one)
// gives the framework's shared classes. Besides the functions below, a backend
// defines CWinApp::Run, CWnd::CenterWindow, CDialog::DoModal,
// AfxRegisterDialogTemplate, AfxMessageBox, AfxWinInit and AfxWinTerm.
#pragma once

#include <string>

// The character between a path's folders: '/' on Linux, '\' on Windows.
char AfxPathSeparator();

// The executable's file name without folder and extension.
std::string AfxProgramName(const char* path);

// Names the application after the program when it was given no name of its own.
void AfxSetDefaultAppName(const char* programPath);
