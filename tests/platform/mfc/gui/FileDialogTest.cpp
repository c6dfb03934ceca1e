// The open-file dialog's answer as the caller's buffer holds it, and the
// walk over it.
#include <gtest/gtest.h>
#include <wx/timer.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/mfc/gui/Afxwin.h"
#include "tests/guitesting/GuiTesting.h"
#include "tests/guitesting/ScriptedChooser.h"
#include "tests/support/TempFolder.h"

namespace {

// The program's open-file dialog, answering into `buffer`.
struct BitmapDialog : CFileDialog {
    explicit BitmapDialog(std::string& buffer)
        : CFileDialog(TRUE, "bmp", nullptr,
                      OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST,
                      "Bitmaps *.bmp|*.bmp||") {
        GetOFN().lpstrFile = buffer.data();
        GetOFN().nMaxFile = static_cast<DWORD>(buffer.size());
    }
};

// Runs the dialog with the chooser's answer and a buffer of `size` bytes;
// returns the result, the buffer and the walked paths.
// clang-format off
struct Outcome { INT_PTR result; std::string buffer; std::vector<std::string> walked; };
// clang-format on
Outcome RunDialog(const std::vector<std::string>& chosen, DWORD size) {
    ScriptedChooser chooser(Answers{chosen});
    std::string buffer(size, '\0');
    BitmapDialog dialog(buffer);
    Outcome run{dialog.DoModal(), "", {}};
    run.buffer = buffer;
    for (POSITION pos = dialog.GetStartPosition(); run.result == IDOK && pos != nullptr;)
        run.walked.emplace_back(dialog.GetNextPathName(pos).GetString());
    return run;
}

TEST(FileDialogTest, TheSelectionIsWrittenInTheMultipleSelectionFormOrFailsWhenItDoesNotFit) {
    // chosen: the selection, which the walk gives back
    // buffer: up to and with the closing zeros; "" when it does not fit
    // clang-format off
    const struct { std::vector<std::string> chosen; DWORD size; std::string buffer; } cases[] = {
        {{"/pics/a.bmp"}, 4096, std::string("/pics/a.bmp\0\0", 13)},
        {{"/pics/a.bmp", "/pics/b.bmp", "/pics/c.bmp"}, 4096, std::string("/pics\0a.bmp\0b.bmp\0c.bmp\0\0", 25)},
        {{"/a.bmp", "/b.bmp"}, 4096, std::string("/\0a.bmp\0b.bmp\0\0", 15)},
        {{"/x/a.bmp", "/y/b.bmp"}, 4096, std::string("/x\0a.bmp\0/y/b.bmp\0\0", 19)},
        {{"/pics/a.bmp", "/pics/b.bmp"}, 19, std::string("/pics\0a.bmp\0b.bmp\0\0", 19)},  // just fits
        {{"/pics/a.bmp", "/pics/b.bmp"}, 18, ""}, {{"/pics/a.bmp", "/pics/b.bmp"}, 2, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.chosen[0] << " in " << c.size);
        const Outcome run = RunDialog(c.chosen, c.size);
        if (c.buffer.empty()) {
            EXPECT_EQ(run.result, IDCANCEL);
            EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
            // The size the selection needs, in the buffer's first two bytes.
            EXPECT_EQ(BYTE(run.buffer[0]) | BYTE(run.buffer[1]) << 8, 19);
            continue;
        }
        ASSERT_EQ(run.result, IDOK);
        EXPECT_EQ(CommDlgExtendedError(), 0u);
        EXPECT_EQ(run.buffer.substr(0, c.buffer.size()), c.buffer);
        EXPECT_EQ(run.walked, c.chosen);
    }
    const Outcome cancelled = RunDialog({}, 64);
    EXPECT_EQ(cancelled.result, IDCANCEL);
    EXPECT_EQ(cancelled.buffer, std::string(64, '\0')) << "cancelling leaves the buffer alone";
}

// The X windows titled "Open", in the order the server lists them.
std::vector<unsigned long> WindowsTitledOpen() {
    std::istringstream found(RunCommand("xdotool search --onlyvisible --name '^Open$'"));
    std::vector<unsigned long> windows;
    for (unsigned long window; found >> window;)
        windows.push_back(window);
    return windows;
}

TEST(NativeFileDialogTest,
     ATypedNameWithoutExtensionMeansTheBitmapAndAMissingOneKeepsTheDialogOpen) {
    // chosen: the file the dialog gives; empty when refused
    // clang-format off
    const struct { std::vector<std::string> files; std::string typed; std::string chosen; } cases[] = {
        {{"pic.bmp"}, "pic", "pic.bmp"},
        // No single name completes "pic" here; the default extension does.
        {{"pic.bmp", "picture.bmp"}, "pic", "pic.bmp"},
        {{"pic.bmp", "pic.png"}, "pic.png", "pic.png"},
        {{"photo.bmp"}, "pic", ""},
    };
    // clang-format on
    StartToolkit();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed + " beside " + c.files.back());
        TempFolder folder;
        for (const std::string& name : c.files)
            std::ofstream(folder.File(name)) << "BM";
        std::string buffer(4096, '\0');
        BitmapDialog dialog(buffer);
        dialog.GetOFN().lpstrInitialDir = folder.Path().c_str();
        // A refusal is a message box, titled as the dialog, with a loop of its
        // own: a timer answers it from inside that loop.
        bool refused = false, stayedOpen = false;
        unsigned long chooser = 0;
        wxTimer answerer;
        answerer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            for (unsigned long window : WindowsTitledOpen()) {
                if (chooser != 0 && window != chooser) {
                    refused = true;
                    SendKeys(window, "Return");
                }
            }
        });
        const INT_PTR result = RunWithScript(
            [&] { return dialog.DoModal(); },
            [&] {
                // Found by its title: given none, the dialog is the desktop's "Open".
                if (!PumpUntil([&] { return !WindowsTitledOpen().empty(); })) {
                    ADD_FAILURE() << "no dialog titled Open";
                    RunCommand("xdotool key Escape");  // to the dialog, which has the focus
                    return;
                }
                chooser = WindowsTitledOpen().front();
                PumpFor(500);
                SendKeys(chooser, "ctrl+l");
                TypeText(chooser, c.typed);
                answerer.Start(200);
                SendKeys(chooser, "Return");
                PumpUntil([&] { return refused || WindowsTitledOpen().empty(); });
                PumpFor(300);
                // The first Escape may only close the name field's completion.
                for (int i = 0; i < 3 && !WindowsTitledOpen().empty(); ++i) {
                    stayedOpen = true;
                    SendKeys(chooser, "Escape");
                    PumpFor(300);
                }
            });
        EXPECT_EQ(refused, c.chosen.empty());
        EXPECT_EQ(stayedOpen, c.chosen.empty());
        EXPECT_EQ(result, c.chosen.empty() ? IDCANCEL : IDOK);
        EXPECT_EQ(std::string(buffer.c_str()), c.chosen.empty() ? "" : folder.File(c.chosen));
    }
}

}  // namespace
