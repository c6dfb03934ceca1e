// The file job on the system's Win32 and GDI+, where the backup is a hard
// link to the original and the system decides what may be written: the
// original kept byte for byte whichever separator the path uses, and every
// file that is passed over left as it was, with the reason.
#include <gtest/gtest.h>

#include <string>

#include "Win32Api.h"
#include "shrink/ShrinkFile.h"
#include "tests/support/JobChecks.h"
#include "tests/support/TempFolder.h"

#include <sddl.h>  // after windows.h, which it needs

TEST(WindowsJobTest, APictureIsHalvedWithTheOriginalKeptByteForByteUnderItsBackupName) {
    const struct {
        const char* source;  // under tests/data
        const char* name;
        LONG width, height;
        const char* separator;
    } cases[] = {
        {"bmpsuite/g/rgb24.bmp", "rgb24.bmp", 63, 32, "/"},
        {"bmpsuite/g/pal8.bmp", "Pal8.BMP", 63, 32, "\\"},
        {"interop/png-pil-rgb-8.png", "with space.png", 18, 11, "\\"},
        {"interop/tiff-pil-rgb-lzw.tif", "t.tif", 18, 11, "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.separator << c.name);
        TempFolder folder;
        WriteFileBytes(folder.File(c.name), ReadFileBytes(TestDataPath(c.source)));
        const FolderState before = StateOf(folder.Path());
        const std::string path = folder.Path() + c.separator + c.name;
        const ShrinkReport report = ShrinkFileWithReport(CString(path.c_str()));
        EXPECT_EQ(report.outcome, ShrinkOutcome::Shrunk) << "error " << report.error;
        EXPECT_EQ(std::string(report.backupName), folder.Path() + c.separator + "old" + c.name);
        // The backup must be the untouched original, not a second name of the new file.
        ExpectKept(before, folder.Path(), {{c.name, c.width, c.height}});
    }
}

namespace {

// Gives the folder the access list that sddl spells.
bool SetAccess(const std::string& folder, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                          &descriptor, nullptr) &&
                     SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return set;
}
// Everyone may do all (A;;FA;;;WD); the locked folder denies everyone adding
// files and folders and removing names (0x46).
constexpr const char* kOpen = "D:(A;;FA;;;WD)";
constexpr const char* kLocked = "D:(D;;0x46;;;WD)(A;;FA;;;WD)";

}  // namespace

// The backup name taken (the hard link refused), not a picture, a picture
// that another program holds open without letting it be renamed (the new
// image cannot replace it), and a folder whose access list forbids adding
// names (no backup can be made). The tests run as a user without the right
// to write there anyway (tests/windows/run-with-wine.sh).
TEST(WindowsJobTest, AFileThatIsPassedOverIsLeftAsItWasWithTheReason) {
    enum Obstacle { kBackupTaken, kNotAPicture, kHeldOpen, kFolderLocked };
    const struct {
        Obstacle obstacle;
        ShrinkOutcome outcome;
    } cases[] = {
        {kBackupTaken, ShrinkOutcome::BackupExists},
        {kNotAPicture, ShrinkOutcome::NotDecodable},
        {kHeldOpen, ShrinkOutcome::CannotWrite},
        {kFolderLocked, ShrinkOutcome::BackupFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.obstacle);
        TempFolder folder;
        const std::string path = folder.File("a.bmp");
        if (c.obstacle == kNotAPicture)
            WriteFileBytes(path, {'n', 'o', 't', 'e', 's'});
        else
            WritePicture(path, 8, 6);
        if (c.obstacle == kBackupTaken)
            WriteFileBytes(folder.File("olda.bmp"), {'n', 'o', 't', 'e', 's'});
        const FolderState before = StateOf(folder.Path());
        const HANDLE held = c.obstacle != kHeldOpen
                                ? INVALID_HANDLE_VALUE
                                : CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (c.obstacle == kFolderLocked) {
            ASSERT_TRUE(SetAccess(folder.Path(), kLocked));
            // The last case: a skip leaves no other untried.
            if (CreateDirectoryA(folder.File("probe").c_str(), nullptr))
                GTEST_SKIP() << "this user may write there all the same (under Wine: root)";
        }
        const ShrinkReport report = ShrinkFileWithReport(CString(path.c_str()));
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        if (c.obstacle == kFolderLocked)
            SetAccess(folder.Path(), kOpen);
        EXPECT_EQ(report.outcome, c.outcome) << "error " << report.error;
        FolderState after = StateOf(folder.Path());
        // The backup, a second name of the held file, cannot be removed while
        // it is held: where it stays, it is the original.
        if (c.obstacle == kHeldOpen && after.count("olda.bmp") &&
            after["olda.bmp"] == before.at("a.bmp"))
            after.erase("olda.bmp");
        EXPECT_EQ(Differences(before, after), "");
    }
}
