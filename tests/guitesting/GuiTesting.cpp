#include "tests/guitesting/GuiTesting.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/timer.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

void StartToolkit() {
    static const bool started = [] {
        static char name[] = "dorvalune-tests";
        char* argv[] = {name, nullptr};
        if (!AfxWinInit(1, argv))
            return false;
        // A failed toolkit check fails the test instead of opening a window.
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                              const wxString& cond, const wxString& msg) {
            ADD_FAILURE() << "toolkit assertion " << cond.utf8_str().data() << " in "
                          << func.utf8_str().data() << " at " << file.utf8_str().data() << ":"
                          << line << ": " << msg.utf8_str().data();
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
        // Tests that drive another program have no toolkit of their own.
        if (wxTheApp != nullptr)
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

namespace {

// The build has no GTK development files; the few GTK calls the tests make
// are looked up in the GTK library that the toolkit has loaded.
template <typename Function>
Function Gtk(const char* name) {
    auto function = reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
    if (function == nullptr)
        ADD_FAILURE() << name << " not found";
    return function;
}

}  // namespace

unsigned long XWindowOf(wxWindow* window) {
    static const auto getWindow = Gtk<void* (*)(void*)>("gtk_widget_get_window");
    static const auto isViewable = Gtk<int (*)(void*)>("gdk_window_is_viewable");
    static const auto xid = Gtk<unsigned long (*)(void*)>("gdk_x11_window_get_xid");
    void* gdkWindow = nullptr;
    PumpUntil([&] {
        gdkWindow = getWindow(window->GetHandle());
        return gdkWindow != nullptr && isViewable(gdkWindow);
    });
    return gdkWindow != nullptr ? xid(gdkWindow) : 0;
}

wxRect AllocationOf(wxWindow* window) {
    struct Allocation {
        int x, y, width, height;
    } given{};
    static const auto getAllocation =
        Gtk<void (*)(void*, Allocation*)>("gtk_widget_get_allocation");
    getAllocation(window->GetHandle(), &given);
    return wxRect(given.x, given.y, given.width, given.height);
}

std::string RunCommand(const std::string& command) {
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return output;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe.get())) > 0)
        output.append(buffer, got);
    return output;
}

void SendKeys(unsigned long xWindow, const std::string& keys) {
    // Not --sync: it waits for ever when the window has the focus already.
    RunCommand("timeout 10 xdotool windowfocus " + std::to_string(xWindow) +
               " sleep 0.1 key --delay 30 " + keys);
    PumpFor(100);
}

void TypeText(unsigned long xWindow, const std::string& text) {
    RunCommand("timeout 10 xdotool windowfocus " + std::to_string(xWindow) +
               " sleep 0.1 type --delay 20 '" + text + "'");
    PumpFor(100);
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
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, xWindow, False, NoEventMask, &event);
    XCloseDisplay(display);
    PumpFor(100);
}

void ClickWithMouse(HWND control) {
    wxWindow* window = WindowFromHwnd(control);
    const wxPoint centre =
        window->ClientToScreen(wxPoint(window->GetSize().x / 2, window->GetSize().y / 2));
    RunCommand("xdotool mousemove --sync " + std::to_string(centre.x) + " " +
               std::to_string(centre.y) + " click 1");
    PumpFor(200);
}

wxWindow* FocusedWindow() {
    return wxWindow::FindFocus();
}
