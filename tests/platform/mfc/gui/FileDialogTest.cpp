// The open-file dialog's answer as the caller's buffer holds it, and the
// walk over it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mfc/gui/Afxwin.h"
#include "tests/guitesting/ScriptedChooser.h"

namespace {

// Runs the dialog with the chooser's answer and a buffer of `size` bytes;
// returns the result, the buffer and the walked paths.
struct Outcome {
    INT_PTR result;
    std::string buffer;
    std::vector<std::string> walked;
};
Outcome RunDialog(const std::vector<std::string>& chosen, DWORD size) {
    ScriptedChooser chooser(Answers{chosen});
    CFileDialog dialog(TRUE, "bmp", nullptr,
                       OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST,
                       "Bitmaps *.bmp|*.bmp||");
    std::string buffer(size, '\0');
    dialog.GetOFN().lpstrFile = buffer.data();
    dialog.GetOFN().nMaxFile = size;
    Outcome run{dialog.DoModal(), "", {}};
    run.buffer = buffer;
    for (POSITION pos = dialog.GetStartPosition(); run.result == IDOK && pos != nullptr;)
        run.walked.emplace_back(dialog.GetNextPathName(pos).GetString());
    return run;
}

TEST(FileDialogTest, TheSelectionIsWrittenInTheMultipleSelectionFormAndWalkedAsFullPaths) {
    const struct {
        std::vector<std::string> chosen;  // and walked
        std::string buffer;               // up to and with the closing zeros
    } cases[] = {
        {{"/pics/a.bmp"}, std::string("/pics/a.bmp\0\0", 13)},
        {{"/pics/a.bmp", "/pics/b.bmp", "/pics/c.bmp"},
         std::string("/pics\0a.bmp\0b.bmp\0c.bmp\0\0", 25)},
        {{"/a.bmp", "/b.bmp"}, std::string("/\0a.bmp\0b.bmp\0\0", 15)},
        {{"/x/a.bmp", "/y/b.bmp"}, std::string("/x\0a.bmp\0/y/b.bmp\0\0", 19)},
    };
    for (const auto& c : cases) {
        const Outcome run = RunDialog(c.chosen, 4096);
        ASSERT_EQ(run.result, IDOK) << c.chosen[0];
        EXPECT_EQ(run.buffer.substr(0, c.buffer.size()), c.buffer);
        EXPECT_EQ(run.walked, c.chosen);
    }
    const Outcome cancelled = RunDialog({}, 64);
    EXPECT_EQ(cancelled.result, IDCANCEL);
    EXPECT_EQ(cancelled.buffer, std::string(64, '\0')) << "cancelling leaves the buffer alone";
}

TEST(FileDialogTest, ASelectionThatDoesNotFitTheBufferFailsTheDialog) {
    const std::vector<std::string> chosen = {"/pics/a.bmp", "/pics/b.bmp"};
    const DWORD needed = 19;  // "/pics\0a.bmp\0b.bmp\0\0"
    const Outcome fits = RunDialog(chosen, needed);
    EXPECT_EQ(fits.result, IDOK);
    EXPECT_EQ(fits.walked, chosen);
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    for (DWORD size : {needed - 1, DWORD{2}}) {
        const Outcome run = RunDialog(chosen, size);
        EXPECT_EQ(run.result, IDCANCEL) << size;
        EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
        // The size the selection needs, in the buffer's first two bytes.
        EXPECT_EQ(static_cast<BYTE>(run.buffer[0]) | static_cast<BYTE>(run.buffer[1]) << 8, needed);
    }
}

}  // namespace
