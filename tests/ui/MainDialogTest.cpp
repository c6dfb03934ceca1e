// The main dialog as a user meets it: on a real X server, driven by keys and
// clicks, with the open-file dialog answered by a script.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/timer.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mfc/gui/DialogManager.h"
#include "tests/guitesting/GuiTesting.h"
#include "tests/guitesting/ScriptedChooser.h"
#include "tests/ui/RecordingShrinkFile.h"
#include "ui/DorvaluneDlg.h"

namespace {

wxWindow* Window(HWND hWnd) {
    return WindowFromHwnd(hWnd);
}

std::vector<std::string> Listed(HWND dialog) {
    const HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    std::vector<std::string> paths;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)), '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        paths.push_back(text);
    }
    return paths;
}

void ClickAddBitmaps(HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_BITMAPS, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ADD_BITMAPS)));
}

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartToolkit();
        ShrunkPaths().clear();
        FailShrinkingWithMemoryException("");
    }

    // Runs the dialog; script runs once the dialog is on screen and gets the
    // dialog's handle and X window.
    INT_PTR Run(const std::function<void(HWND, unsigned long)>& script) {
        return RunWithScript([this] { return m_dialog.DoModal(); },
                             [this, script] {
                                 const HWND hWnd = m_dialog.GetSafeHwnd();
                                 script(hWnd, XWindowOf(Window(hWnd)));
                             });
    }

    CDorvaluneDlg m_dialog;
};

TEST_F(MainDialogTest, TheControlsSitWhereTheTemplatePutsThemInUnitsOfTheDialogFont) {
    Run([](HWND hWnd, unsigned long xWindow) {
        wxWindow* dialog = Window(hWnd);
        // The template's font: 8 points of the desktop's sans-serif face.
        EXPECT_EQ(dialog->GetFont().GetPointSize(), 8);
        EXPECT_EQ(dialog->GetFont().GetFamily(), wxFONTFAMILY_SWISS);

        // Dialog units of that font: a quarter of the average letter width
        // across, an eighth of the line height down.
        wxClientDC dc(dialog);
        dc.SetFont(dialog->GetFont());
        wxCoord lettersWidth = 0;
        dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &lettersWidth,
                         nullptr);
        const int averageWidth = (lettersWidth / 26 + 1) / 2;
        const int lineHeight = dc.GetCharHeight();
        auto across = [&](int units) { return (units * averageWidth + 2) / 4; };
        auto down = [&](int units) { return (units * lineHeight + 4) / 8; };
        auto box = [&](int x, int y, int cx, int cy) {
            return wxRect(across(x), down(y), across(x + cx) - across(x), down(y + cy) - down(y));
        };

        EXPECT_EQ(dialog->GetClientSize(), wxSize(across(236), down(124)));
        const std::string geometry = RunCommand("xwininfo -id " + std::to_string(xWindow));
        EXPECT_NE(geometry.find("Width: " + std::to_string(across(236)) + "\n"), std::string::npos)
            << geometry;
        EXPECT_NE(geometry.find("Height: " + std::to_string(down(124)) + "\n"), std::string::npos)
            << geometry;

        const struct {
            int id;
            wxRect where;
        } controls[] = {
            {IDOK, box(179, 101, 50, 16)},
            {IDC_FILE_LIST, box(7, 7, 222, 90)},
            {IDC_ADD_BITMAPS, box(121, 103, 50, 14)},
        };
        for (const auto& control : controls) {
            SCOPED_TRACE(control.id);
            wxWindow* window = Window(GetDlgItem(hWnd, control.id));
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(window->GetRect(), control.where);
            // What the toolkit really gave the widget, not only what was asked.
            EXPECT_EQ(AllocationOf(window), control.where);
        }
        SendKeys(xWindow, "Escape");
    });
}

TEST_F(MainDialogTest, TheWindowIsTitledDorvaluneAndCanNeitherBeResizedNorMinimisedNorMaximised) {
    Run([](HWND hWnd, unsigned long xWindow) {
        auto* dialog = static_cast<wxDialog*>(Window(hWnd));
        EXPECT_EQ(dialog->GetTitle(), "Dorvalune");
        const long style = dialog->GetWindowStyleFlag();
        EXPECT_TRUE(style & wxCLOSE_BOX);
        EXPECT_FALSE(style & (wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX));

        // What the window manager is told.
        const std::string properties = RunCommand("xprop -id " + std::to_string(xWindow));
        EXPECT_NE(properties.find("WM_NAME(UTF8_STRING) = \"Dorvalune\""), std::string::npos)
            << properties;
        const wxSize size = dialog->GetSize();
        const std::string fixed = std::to_string(size.x) + " by " + std::to_string(size.y);
        EXPECT_NE(properties.find("program specified minimum size: " + fixed), std::string::npos)
            << properties;
        EXPECT_NE(properties.find("program specified maximum size: " + fixed), std::string::npos)
            << properties;
        SendKeys(xWindow, "Escape");
    });
}

TEST_F(MainDialogTest, OkHasTheFocusFirstAndTabMovesItToTheListThenToAddBitmapsAndRound) {
    Run([](HWND hWnd, unsigned long xWindow) {
        auto focusIs = [&](int id) {
            return PumpUntil([&] { return FocusedWindow() == Window(GetDlgItem(hWnd, id)); }, 2000);
        };
        RunCommand("timeout 10 xdotool windowfocus " + std::to_string(xWindow));
        EXPECT_TRUE(focusIs(IDOK));
        EXPECT_EQ(static_cast<wxDialog*>(Window(hWnd))->GetDefaultItem(),
                  Window(GetDlgItem(hWnd, IDOK)));
        SendKeys(xWindow, "Tab");
        EXPECT_TRUE(focusIs(IDC_FILE_LIST));
        SendKeys(xWindow, "Tab");
        EXPECT_TRUE(focusIs(IDC_ADD_BITMAPS));
        SendKeys(xWindow, "Tab");
        EXPECT_TRUE(focusIs(IDOK));
        SendKeys(xWindow, "shift+Tab");
        EXPECT_TRUE(focusIs(IDC_ADD_BITMAPS));
        SendKeys(xWindow, "Escape");
    });
}

TEST_F(MainDialogTest, EscapeAndTheCloseBoxEndTheDialogWithCancelAndTouchNoFile) {
    const struct {
        const char* how;
        void (*end)(unsigned long xWindow);
    } ways[] = {
        {"Escape", [](unsigned long xWindow) { SendKeys(xWindow, "Escape"); }},
        {"close box", [](unsigned long xWindow) { RequestClose(xWindow); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        ScriptedChooser chooser(Answers{{"/pics/a.bmp", "/pics/b.bmp"}});
        CDorvaluneDlg dialog;
        const INT_PTR result = RunWithScript([&] { return dialog.DoModal(); },
                                             [&] {
                                                 ClickAddBitmaps(dialog.GetSafeHwnd());
                                                 EXPECT_EQ(Listed(dialog.GetSafeHwnd()).size(), 2u);
                                                 way.end(XWindowOf(Window(dialog.GetSafeHwnd())));
                                             });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_TRUE(ShrunkPaths().empty());
    }
}

TEST_F(MainDialogTest, EnterOnAnEmptyListEndsTheDialogAtOnce) {
    const INT_PTR result = Run([](HWND, unsigned long xWindow) { SendKeys(xWindow, "Return"); });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(ShrunkPaths().empty());
}

TEST_F(MainDialogTest, OkHandsEveryListedFileToTheFileJobInListOrderThenEnds) {
    ScriptedChooser chooser(Answers{{"/p/c.bmp", "/p/a.bmp"}, {"/q/B.bmp", "/p/a.bmp"}});
    const INT_PTR result = Run([](HWND hWnd, unsigned long) {
        ClickAddBitmaps(hWnd);
        ClickAddBitmaps(hWnd);
        ClickWithMouse(GetDlgItem(hWnd, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ShrunkPaths(),
              (std::vector<std::string>{"/p/a.bmp", "/p/a.bmp", "/p/c.bmp", "/q/B.bmp"}));
}

TEST_F(MainDialogTest, ChosenFilesAreListedInSortedOrderIgnoringCaseWithDuplicatesKept) {
    const struct {
        const char* what;
        Answers runs;
        std::vector<std::string> listed;
    } cases[] = {
        {"one choice of three",
         {{"/p/b.bmp", "/P/a.bmp", "/p/c.bmp"}},
         {"/P/a.bmp", "/p/b.bmp", "/p/c.bmp"}},
        {"one file", {{"/pics/one.bmp"}}, {"/pics/one.bmp"}},
        {"a file in the root folder", {{"/a.bmp"}}, {"/a.bmp"}},
        {"two runs from two folders",
         {{"/y/b.bmp", "/y/d.bmp"}, {"/x/c.bmp", "/x/a.bmp"}},
         {"/x/a.bmp", "/x/c.bmp", "/y/b.bmp", "/y/d.bmp"}},
        {"the same file twice", {{"/p/a.bmp"}, {"/p/a.bmp"}}, {"/p/a.bmp", "/p/a.bmp"}},
        {"a cancelled choice", {{}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedChooser chooser(c.runs);
        CDorvaluneDlg dialog;
        std::vector<std::string> listed;
        RunWithScript([&] { return dialog.DoModal(); },
                      [&] {
                          for (size_t i = 0; i < c.runs.size(); ++i)
                              ClickAddBitmaps(dialog.GetSafeHwnd());
                          listed = Listed(dialog.GetSafeHwnd());
                          EndDialog(dialog.GetSafeHwnd(), IDCANCEL);
                      });
        EXPECT_EQ(listed, c.listed);
        ASSERT_EQ(chooser.Asked().size(), c.runs.size());
        // The open-file dialog as the command sets it up.
        for (const ScriptedChooser::Request& asked : chooser.Asked()) {
            EXPECT_EQ(asked.bufferSize, 266240u);
            EXPECT_EQ(asked.flags & 0xFFFF, 0x1204u);  // hide read-only, several files, must exist
            EXPECT_EQ(asked.filter, std::string("Bitmaps *.bmp\0*.bmp\0\0", 21));
            EXPECT_EQ(asked.defaultExtension, "bmp");
            EXPECT_EQ(asked.firstCharacter, '\0');  // the name field opens empty
        }
    }
}

TEST_F(MainDialogTest, TheDialogCarriesTheApplicationIconAndOffersItForDragging) {
    Run([this](HWND hWnd, unsigned long xWindow) {
        const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP_ICON));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(hWnd, WM_QUERYDRAGICON, 0, 0)), icon);
        // Both icon slots filled: 32 and 16 pixels.
        const std::string property =
            RunCommand("xprop -id " + std::to_string(xWindow) + " _NET_WM_ICON");
        EXPECT_NE(property.find("Icon (32 x 32)"), std::string::npos) << property.substr(0, 200);
        EXPECT_NE(property.find("Icon (16 x 16)"), std::string::npos) << property.substr(0, 200);
        SendKeys(xWindow, "Escape");
    });
}

TEST_F(MainDialogTest, AFrameworkExceptionInTheRunIsReportedAndLeavesTheDialogOpen) {
    CWinApp app("dorvalune-exception-test");
    ScriptedChooser chooser(Answers{{"/p/a.bmp", "/p/b.bmp", "/p/c.bmp"}});
    FailShrinkingWithMemoryException("/p/b.bmp");
    std::string reported;
    bool stillOpen = false;
    const INT_PTR result = Run([&](HWND hWnd, unsigned long xWindow) {
        ClickAddBitmaps(hWnd);
        // The framework's message box blocks the run; a timer answers it.
        wxTimer answer;
        answer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            reported = RunCommand("xdotool search --name '^dorvalune-exception-test$'");
            if (reported.empty())
                return;
            answer.Stop();
            RunCommand("timeout 10 xdotool windowfocus " + reported.substr(0, reported.find('\n')) +
                       " sleep 0.1 key Return");
        });
        answer.Start(200);
        ClickWithMouse(GetDlgItem(hWnd, IDOK));
        PumpUntil([&] { return !answer.IsRunning(); });
        PumpFor(300);
        stillOpen = Window(hWnd)->IsShown();
        SendKeys(xWindow, "Escape");
    });
    EXPECT_FALSE(reported.empty()) << "no message box appeared";
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, IDCANCEL);
    // The run stopped at the failing entry; later entries were not processed.
    EXPECT_EQ(ShrunkPaths(), (std::vector<std::string>{"/p/a.bmp", "/p/b.bmp"}));
}

TEST_F(MainDialogTest, AScreenshotShowsTheDialogWithThreeListedFiles) {
    ScriptedChooser chooser(
        Answers{{"/home/user/pictures/holiday.bmp", "/home/user/pictures/Beach.bmp",
                 "/home/user/scans/a-very-long-file-name-that-is-wider-than-the-list-"
                 "box-and-is-cut-off.bmp"}});
    const std::string shot = std::string(DORVALUNE_BUILD_DIR) + "/dialog.png";
    std::remove(shot.c_str());
    Run([&](HWND hWnd, unsigned long xWindow) {
        ClickAddBitmaps(hWnd);
        PumpFor(500);
        RunCommand("import -window root " + shot);
        SendKeys(xWindow, "Escape");
    });
    FILE* file = std::fopen(shot.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
}

}  // namespace
