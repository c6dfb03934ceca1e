#include "tests/guitesting/GuiTesting.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/timer.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

void StartToolkit() {
    static const bool started = [] {
        static char name[] = "dorvalune-tests";
        char* argv[] = {name, nullptr};
        if (!AfxWinInit(1, argv))
            return false;
        // A failed toolkit check fails the test instead of opening a window.
        wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                              const wxString& msg) {
            ADD_FAILURE() << "toolkit assertion " << cond << " at " << file << ":" << line << ": "
                          << msg;
        });
        return true;
    }();
    ASSERT_TRUE(started) << "no X server: run the test under tests/run-with-xvfb.sh";
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMilliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        if (wxTheApp != nullptr)  // tests that drive another program have no toolkit
            wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void PumpFor(int milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

INT_PTR RunWithScript(const std::function<INT_PTR()>& run, const std::function<void()>& script,
                      int timeoutSeconds) {
    StartToolkit();
    wxTheApp->CallAfter([script] { script(); });
    wxTimer watchdog;
    watchdog.Bind(wxEVT_TIMER, [](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows) {
            auto* dialog = dynamic_cast<wxDialog*>(window);
            if (dialog != nullptr && dialog->IsModal()) {
                ADD_FAILURE() << "a dialog was still open at the end of the test";
                dialog->EndModal(-99);
            }
        }
    });
    watchdog.StartOnce(timeoutSeconds * 1000);
    return run();
}

unsigned long XWindowOf(wxWindow* window) {
    // The build has no GTK development files: the calls are looked up in the
    // GTK library that the toolkit has loaded.
    static const auto getWindow =
        reinterpret_cast<void* (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
    static const auto isViewable =
        reinterpret_cast<int (*)(void*)>(dlsym(RTLD_DEFAULT, "gdk_window_is_viewable"));
    static const auto xid =
        reinterpret_cast<unsigned long (*)(void*)>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
    void* gdkWindow = nullptr;
    PumpUntil([&] {
        gdkWindow = getWindow(window->GetHandle());
        return gdkWindow != nullptr && isViewable(gdkWindow);
    });
    return gdkWindow != nullptr ? xid(gdkWindow) : 0;
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t got; pipe != nullptr && (got = fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
        output.append(buffer, got);
    if (pipe != nullptr)
        pclose(pipe);
    return output;
}

static void Xdotool(unsigned long xWindow, const std::string& action) {
    // Not --sync: it waits for ever when the window has the focus already.
    RunCommand("timeout 10 xdotool windowfocus " + std::to_string(xWindow) + " sleep 0.1 " +
               action);
    PumpFor(100);
}

void SendKeys(unsigned long xWindow, const std::string& keys) {
    Xdotool(xWindow, "key --delay 30 " + keys);
}

void TypeText(unsigned long xWindow, const std::string& text) {
    Xdotool(xWindow, "type --delay 20 '" + text + "'");
}

void RequestClose(unsigned long xWindow) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xWindow;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, xWindow, False, NoEventMask, &event);
    XCloseDisplay(display);
    PumpFor(100);
}

void ClickWithMouse(HWND control) {
    wxWindow* window = WindowFromHwnd(control);
    const wxPoint centre =
        window->ClientToScreen(wxPoint(window->GetSize().x / 2, window->GetSize().y / 2));
    RunCommand("xdotool mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y) +
               " sleep 0.1 click 1");
    PumpFor(200);
}
