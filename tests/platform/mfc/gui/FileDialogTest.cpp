// The open-file dialog's answer as the caller's buffer holds it, and the
// walk over it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/guitesting/GuiTesting.h"
#include "tests/guitesting/ScriptedChooser.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr DWORD kMultipleFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;

std::vector<std::string> Walk(const CFileDialog& dialog) {
    std::vector<std::string> paths;
    POSITION pos = dialog.GetStartPosition();
    while (pos != nullptr)
        paths.emplace_back(dialog.GetNextPathName(pos).GetString());
    return paths;
}

TEST(FileDialogTest, TheSelectionIsWrittenInTheMultipleSelectionFormAndWalkedAsFullPaths) {
    const struct {
        const char* what;
        std::vector<std::string> chosen;
        std::string buffer;  // up to and with the closing zeros
        std::vector<std::string> walked;
    } cases[] = {
        {"one file", {"/pics/a.bmp"}, std::string("/pics/a.bmp\0\0", 13), {"/pics/a.bmp"}},
        {"three files of one folder",
         {"/pics/a.bmp", "/pics/b.bmp", "/pics/c.bmp"},
         std::string("/pics\0a.bmp\0b.bmp\0c.bmp\0\0", 25),
         {"/pics/a.bmp", "/pics/b.bmp", "/pics/c.bmp"}},
        {"files in the root folder",
         {"/a.bmp", "/b.bmp"},
         std::string("/\0a.bmp\0b.bmp\0\0", 15),
         {"/a.bmp", "/b.bmp"}},
        {"files of two folders",
         {"/x/a.bmp", "/y/b.bmp"},
         std::string("/x\0a.bmp\0/y/b.bmp\0\0", 19),
         {"/x/a.bmp", "/y/b.bmp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedChooser chooser(Answers{c.chosen});
        CFileDialog dialog(TRUE, "bmp", "*.bmp", kMultipleFlags, "Bitmaps *.bmp|*.bmp||");
        std::vector<char> buffer(4096, 'x');
        std::fill(buffer.begin(), buffer.end(), '\0');
        dialog.GetOFN().lpstrFile = buffer.data();
        dialog.GetOFN().nMaxFile = static_cast<DWORD>(buffer.size());
        ASSERT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(std::string(buffer.data(), c.buffer.size()), c.buffer);
        EXPECT_EQ(Walk(dialog), c.walked);
    }
}

TEST(FileDialogTest, ASelectionThatDoesNotFitTheBufferFailsTheDialog) {
    const std::vector<std::string> chosen = {"/pics/a.bmp", "/pics/b.bmp"};
    const DWORD needed = 19;  // "/pics\0a.bmp\0b.bmp\0\0"
    const struct {
        DWORD size;
        INT_PTR result;
    } cases[] = {{needed, IDOK}, {needed - 1, IDCANCEL}, {2, IDCANCEL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        ScriptedChooser chooser(Answers{chosen});
        CFileDialog dialog(TRUE, "bmp", nullptr, kMultipleFlags, "Bitmaps *.bmp|*.bmp||");
        std::vector<char> buffer(c.size, '\0');
        dialog.GetOFN().lpstrFile = buffer.data();
        dialog.GetOFN().nMaxFile = c.size;
        EXPECT_EQ(dialog.DoModal(), c.result);
        if (c.result == IDOK) {
            EXPECT_EQ(Walk(dialog), chosen);
            EXPECT_EQ(CommDlgExtendedError(), 0u);
        } else {
            EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
            // The size the selection needs, in the buffer's first two bytes.
            EXPECT_EQ(static_cast<unsigned char>(buffer[0]) |
                          (static_cast<unsigned char>(buffer[1]) << 8),
                      static_cast<int>(needed));
        }
    }
}

TEST(FileDialogTest, CancellingTheDialogGivesCancelAndLeavesTheBufferAlone) {
    ScriptedChooser chooser(Answers{{}});
    CFileDialog dialog(TRUE, "bmp", nullptr, kMultipleFlags, "Bitmaps *.bmp|*.bmp||");
    std::vector<char> buffer(64, '\0');
    dialog.GetOFN().lpstrFile = buffer.data();
    dialog.GetOFN().nMaxFile = 64;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(std::string(buffer.data(), 64), std::string(64, '\0'));
}

// The desktop's own open-file dialog, driven with the keyboard.
class NativeFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartToolkit();
        m_folder = m_temp.Path();
        for (const char* name : {"a.bmp", "b.bmp"}) {
            FILE* file = std::fopen(m_temp.File(name).c_str(), "wb");
            ASSERT_NE(file, nullptr);
            std::fclose(file);
        }
    }

    // Shows the native dialog and types name into its location field.
    INT_PTR ChooseByTyping(CFileDialog& dialog, const std::string& name, bool thenCancel) {
        return RunWithScript(
            [&] { return dialog.DoModal(); },
            [&] {
                // The native dialog, found by its title on the X server.
                unsigned long xWindow = 0;
                ASSERT_TRUE(PumpUntil([&] {
                    const std::string found =
                        RunCommand("xdotool search --onlyvisible --name '^Select a file$'");
                    xWindow = std::strtoul(found.c_str(), nullptr, 10);
                    return xWindow != 0;
                }));
                PumpFor(500);
                SendKeys(xWindow, "ctrl+l");
                TypeText(xWindow, name);
                if (thenCancel) {
                    // The refusal is a message box with a loop of its own, which
                    // holds this script until it closes: answer it from outside.
                    RunCommand(
                        "(timeout 10 xdotool search --sync --onlyvisible --name '^Error$' "
                        "windowfocus --sync key Return > /dev/null 2>&1 &)");
                }
                SendKeys(xWindow, "Return");
                PumpFor(500);
                if (thenCancel) {
                    EXPECT_NE(RunCommand("xdotool search --onlyvisible --name '^Select a file$'"),
                              "")
                        << "the dialog took a file that does not exist";
                    // The first Escape may only close the name field's completion.
                    for (int i = 0; i < 3 && !RunCommand("xdotool search --onlyvisible --name "
                                                         "'^Select a file$'")
                                                  .empty();
                         ++i) {
                        SendKeys(xWindow, "Escape");
                        PumpFor(300);
                    }
                }
            });
    }

    TempFolder m_temp;
    std::string m_folder;
};

TEST_F(NativeFileDialogTest, TheTypedNameOfAnExistingFileIsChosen) {
    CFileDialog dialog(TRUE, "bmp", nullptr, kMultipleFlags, "Bitmaps *.bmp|*.bmp||");
    std::vector<char> buffer(266240, '\0');
    dialog.GetOFN().lpstrFile = buffer.data();
    dialog.GetOFN().nMaxFile = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(ChooseByTyping(dialog, m_folder + "/b.bmp", false), IDOK);
    EXPECT_EQ(Walk(dialog), std::vector<std::string>{m_folder + "/b.bmp"});
}

TEST_F(NativeFileDialogTest, ANameOfNoExistingFileIsRefusedAndTheDialogStaysOpen) {
    CFileDialog dialog(TRUE, "bmp", nullptr, kMultipleFlags, "Bitmaps *.bmp|*.bmp||");
    std::vector<char> buffer(266240, '\0');
    dialog.GetOFN().lpstrFile = buffer.data();
    dialog.GetOFN().nMaxFile = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(ChooseByTyping(dialog, m_folder + "/missing.bmp", true), IDCANCEL);
}

}  // namespace
