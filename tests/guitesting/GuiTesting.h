// Helpers for tests that run real windows on the X server of the test
// (tests/run-with-xvfb.sh starts one per test program).
#pragma once

#include <functional>
#include <string>

#include "platform/mfc/gui/Afxwin.h"

class wxWindow;

// Starts the toolkit once for the whole test program.
void StartToolkit();
// Calls run (which runs a dialog modally) and, once the event loop runs,
// script. A dialog still open after timeoutSeconds is ended with -99 and the
// test fails. Returns run's result.
INT_PTR RunWithScript(const std::function<INT_PTR()>& run, const std::function<void()>& script,
                      int timeoutSeconds = 30);
// Handles events (where this program runs the toolkit) until done() holds or
// the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMilliseconds = 5000);
void PumpFor(int milliseconds);
// The X window of a top-level window, once it is on screen.
unsigned long XWindowOf(wxWindow* window);
// Gives the X window the keyboard focus, then types keys ("Tab", "ctrl+l")
// or text with xdotool.
void SendKeys(unsigned long xWindow, const std::string& keys);
void TypeText(unsigned long xWindow, const std::string& text);
// Clicks a control with the mouse, through the X server.
void ClickWithMouse(HWND control);
// Asks the window to close, as a window manager does for its close box.
void RequestClose(unsigned long xWindow);
// Runs a shell command; returns its standard output.
std::string RunCommand(const std::string& command);
