// The main dialog as a user meets it: on a real X server, driven by clicks,
// with the open-file dialog answered by a script and the file job replaced by
// a recorder, so that no file is touched.
#include <gtest/gtest.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <string>
#include <vector>

#include "platform/mfc/AfxExceptions.h"
#include "platform/user32-wx/DialogManager.h"
#include "shrink/ShrinkFile.h"
#include "tests/guitesting/GuiTesting.h"
#include "tests/guitesting/ScriptedChooser.h"
#include "ui/DorvaluneDlg.h"

namespace {

std::vector<std::string> g_shrunk;  // every path handed to the file job, in order
std::string g_failing;              // the file job throws the memory exception for this path

}  // namespace

// Takes the place of the file job in this test program: the linker uses this
// definition and never pulls the real one from the shrink library.
void ShrinkFile(const CString& path) {
    g_shrunk.emplace_back(path.GetString());
    if (g_failing == path.GetString())
        AfxThrowMemoryException();
}

namespace {

std::vector<std::string> Listed(HWND dialog) {
    const HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    std::vector<std::string> paths(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (size_t i = 0; i < paths.size(); ++i) {
        paths[i].resize(SendMessageA(list, LB_GETTEXTLEN, i, 0));
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(paths[i].data()));
    }
    return paths;
}

void ClickAddBitmaps(HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_BITMAPS, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ADD_BITMAPS)));
}

// Runs the main dialog; script gets its handle.
INT_PTR RunDialog(const std::function<void(HWND)>& script) {
    g_shrunk.clear();
    CDorvaluneDlg dialog;
    return RunWithScript([&] { return dialog.DoModal(); }, [&] { script(dialog.GetSafeHwnd()); });
}

}  // namespace

TEST(MainDialogTest, ChosenFilesAreListedSortedIgnoringCaseWithDuplicatesAndOkShrinksThemInOrder) {
    const struct {
        const char* what;
        Answers runs;
        std::vector<std::string> listed;
    } cases[] = {
        {"one choice of three",
         {{"/p/b.bmp", "/P/a.bmp", "/p/c.bmp"}},
         {"/P/a.bmp", "/p/b.bmp", "/p/c.bmp"}},
        {"a file in the root folder", {{"/a.bmp"}}, {"/a.bmp"}},
        {"two runs from two folders",
         {{"/y/b.bmp", "/y/d.bmp"}, {"/x/c.bmp", "/x/A.bmp"}},
         {"/x/A.bmp", "/x/c.bmp", "/y/b.bmp", "/y/d.bmp"}},
        {"the same file twice", {{"/p/a.bmp"}, {"/p/a.bmp"}}, {"/p/a.bmp", "/p/a.bmp"}},
        {"a cancelled choice: OK on the empty list", {{}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedChooser chooser(c.runs);
        std::vector<std::string> listed;
        const INT_PTR result = RunDialog([&](HWND hWnd) {
            for (size_t i = 0; i < c.runs.size(); ++i)
                ClickAddBitmaps(hWnd);
            listed = Listed(hWnd);
            ClickWithMouse(GetDlgItem(hWnd, IDOK));
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(g_shrunk, c.listed);
        // Bitmaps offered; several files, which must exist; no read-only box.
        for (const auto& [flags, filter] : chooser.m_asked) {
            EXPECT_EQ(flags & 0x1204, 0x1204u);
            EXPECT_EQ(filter, std::string("Bitmaps *.bmp\0*.bmp\0\0", 21));
        }
    }
}

TEST(MainDialogTest, AFrameworkExceptionInTheRunIsReportedAndLeavesTheDialogOpen) {
    CWinApp app("dorvalune-exception-test");
    g_failing = "/p/b.bmp";
    std::string reported;
    bool stillOpen = false;
    ScriptedChooser chooser(Answers{{"/p/a.bmp", "/p/b.bmp", "/p/c.bmp"}});
    const INT_PTR result = RunDialog([&](HWND hWnd) {
        ClickAddBitmaps(hWnd);
        // The framework's message box blocks the run; a timer answers it.
        wxTimer answer;
        answer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            reported = RunCommand("xdotool search --name '^dorvalune-exception-test$'");
            if (reported.empty())
                return;
            answer.Stop();
            SendKeys(std::stoul(reported), "Return");
        });
        answer.Start(200);
        ClickWithMouse(GetDlgItem(hWnd, IDOK));
        PumpUntil([&] { return !answer.IsRunning(); });
        PumpFor(300);
        stillOpen = WindowFromHwnd(hWnd)->IsShown();
        EndDialog(hWnd, IDCANCEL);
    });
    g_failing.clear();
    EXPECT_FALSE(reported.empty()) << "no message box appeared";
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, IDCANCEL);
    // The run stopped at the failing entry; later entries were not processed.
    EXPECT_EQ(g_shrunk, (std::vector<std::string>{"/p/a.bmp", "/p/b.bmp"}));
}
