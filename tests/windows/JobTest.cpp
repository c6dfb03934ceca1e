// The file job on the system's Win32 and GDI+: the picture halved with the
// original kept byte for byte under its backup name, whichever separator the
// path uses, and every file that is passed over left exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "Win32Api.h"
#include "image/CDibImage.h"
#include "shrink/ShrinkFile.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

using FolderState = std::map<std::string, Bytes>;

// Every file of a folder with its bytes; a folder in it as "<folder>".
FolderState StateOf(const TempFolder& folder) {
    FolderState state;
    const std::string marker = "<folder>";
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        const std::string name = entry.path().filename().string();
        state[name] = entry.is_directory() ? Bytes(marker.begin(), marker.end())
                                           : ReadFileBytes(folder.File(name));
    }
    return state;
}

// A picture of the given size in the format of the name's extension.
void WritePicture(const std::string& path, LONG width, LONG height) {
    CDibImage image;
    ASSERT_TRUE(image.Create(width, height, 24, BI_RGB, nullptr, 0));
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x)
            image.SetPixel(x, y, RGB(x * 10, y * 10, 77));
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
}

}  // namespace

TEST(WindowsJobTest, APictureIsHalvedWithTheOriginalKeptByteForByteUnderItsBackupName) {
    const struct {
        const char* source;  // under tests/data
        const char* name;
        LONG width;
        LONG height;
        WORD bitsPerPixel;
        bool backslashes;
    } cases[] = {
        {"bmpsuite/g/rgb24.bmp", "rgb24.bmp", 63, 32, 24, false},
        {"bmpsuite/g/rgb24.bmp", "rgb24.bmp", 63, 32, 24, true},
        {"bmpsuite/g/pal8.bmp", "pal8.bmp", 63, 32, 8, true},
        {"bmpsuite/g/pal4.bmp", "Pal4.BMP", 63, 32, 4, false},
        {"pngsuite/basn2c08.png", "basn2c08.png", 16, 16, 24, false},
        {"interop/png-pil-rgb-8.png", "with space.png", 18, 11, 24, true},
        {"interop/tiff-pil-rgb-lzw.tif", "t.tif", 18, 11, 24, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << (c.backslashes ? " (backslashes)" : ""));
        TempFolder folder;
        const Bytes original = ReadFileBytes(TestDataPath(c.source));
        const std::string separator = c.backslashes ? "\\" : "/";
        const std::string path = folder.Path() + separator + c.name;
        WriteFileBytes(path, original);

        const ShrinkReport report = ShrinkFileWithReport(CString(path.c_str()));
        ASSERT_EQ(report.outcome, ShrinkOutcome::Shrunk) << "error " << report.error;
        EXPECT_EQ(std::string(report.backupName), folder.Path() + separator + "old" + c.name);
        EXPECT_EQ(StateOf(folder).size(), 2u) << ListFolder(folder.Path());
        // The backup is the untouched original, not a second name of the new file.
        EXPECT_EQ(ReadFileBytes(folder.File(std::string("old") + c.name)), original);
        CDibImage halved;
        ASSERT_EQ(halved.Load(path.c_str()), S_OK);
        EXPECT_EQ(halved.width(), c.width);
        EXPECT_EQ(halved.height(), c.height);
        EXPECT_EQ(halved.bitsPerPixel(), c.bitsPerPixel);
    }
}

TEST(WindowsJobTest, AFileThatIsPassedOverIsLeftAsItWasWithTheReason) {
    const Bytes bitmap = ReadFileBytes(TestDataPath("bmpsuite/g/rgb24.bmp"));
    const Bytes text = {'n', 'o', 't', 'e', 's'};
    const struct {
        const char* what;
        const char* name;  // the file the job is given
        FolderState files;
        ShrinkOutcome outcome;
    } cases[] = {
        {"the backup name taken",
         "a.bmp",
         {{"a.bmp", bitmap}, {"olda.bmp", text}},
         ShrinkOutcome::BackupExists},
        {"not a picture", "notes.bmp", {{"notes.bmp", text}}, ShrinkOutcome::NotDecodable},
        {"a damaged picture",
         "cut.bmp",
         {{"cut.bmp", Bytes(bitmap.begin(), bitmap.begin() + 60)}},
         ShrinkOutcome::NotDecodable},
        {"no encoder for the extension", "a.webp", {{"a.webp", bitmap}}, ShrinkOutcome::NoEncoder},
        {"no such file", "missing.bmp", {}, ShrinkOutcome::Missing},
        {"a folder", "folder.bmp", {}, ShrinkOutcome::Unreadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        for (const auto& [name, bytes] : c.files)
            WriteFileBytes(folder.File(name), bytes);
        if (std::string(c.name) == "folder.bmp")
            CreateDirectoryA(folder.File(c.name).c_str(), nullptr);
        EXPECT_EQ(ShrinkFileWithReport(CString(folder.File(c.name).c_str())).outcome, c.outcome);
        FolderState before = c.files;
        const std::string marker = "<folder>";
        if (std::string(c.name) == "folder.bmp")
            before["folder.bmp"] = Bytes(marker.begin(), marker.end());
        EXPECT_EQ(StateOf(folder), before);
    }
}

TEST(WindowsJobTest, APictureTooSmallToHalveIsLeftAsItWas) {
    for (const auto& [width, height] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{1, 1}}) {
        TempFolder folder;
        WritePicture(folder.File("thin.png"), width, height);
        const FolderState before = StateOf(folder);
        EXPECT_EQ(ShrinkFileWithReport(CString(folder.File("thin.png").c_str())).outcome,
                  ShrinkOutcome::TooSmall);
        EXPECT_EQ(StateOf(folder), before);
    }
}

// Another program holds the picture open without letting it be renamed or
// deleted: the new image cannot replace it, and the job's backup, a second
// name of the same file, cannot be removed either while the file is held.
// The picture stays as it was, the backup, where it stays, is the original,
// and no temporary file is left.
TEST(WindowsJobTest, ANewImageThatCannotReplaceThePictureLeavesItAsItWas) {
    TempFolder folder;
    WritePicture(folder.File("a.bmp"), 8, 6);
    const Bytes original = ReadFileBytes(folder.File("a.bmp"));
    HANDLE held = CreateFileA(folder.File("a.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const ShrinkReport report = ShrinkFileWithReport(CString(folder.File("a.bmp").c_str()));
    CloseHandle(held);
    EXPECT_EQ(report.outcome, ShrinkOutcome::CannotWrite);
    EXPECT_EQ(report.error, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(report.leftAtBackup);
    FolderState after = StateOf(folder);
    EXPECT_EQ(after["a.bmp"], original);
    if (after.count("olda.bmp") != 0) {
        EXPECT_EQ(after["olda.bmp"], original);
    }
    EXPECT_LE(after.size(), 2u) << ListFolder(folder.Path());
}

namespace {

// Sets who may add names to the folder or remove them: nobody (an access
// list that denies it to everyone), or everyone again (no access list).
bool SetFolderWritable(const std::string& folder, bool writable) {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    alignas(DWORD) BYTE aclBuffer[256];
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    PSID everyone = nullptr;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    if (!writable) {
        if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                      &everyone))
            return false;
        InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION);
        AddAccessDeniedAce(acl, ACL_REVISION,
                           FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD, everyone);
        AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, everyone);
    }
    SetSecurityDescriptorDacl(&descriptor, TRUE, writable ? nullptr : acl, FALSE);
    const BOOL set = SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, &descriptor);
    if (everyone != nullptr)
        FreeSid(everyone);
    return set != FALSE;
}

}  // namespace

// A folder in which names can be neither added nor removed: no backup can be
// made, so nothing is written.
TEST(WindowsJobTest, APictureInAFolderThatCannotBeWrittenIsLeftAsItWas) {
    TempFolder folder;
    WritePicture(folder.File("a.bmp"), 8, 6);
    const FolderState before = StateOf(folder);
    ASSERT_TRUE(SetFolderWritable(folder.Path(), false));
    // An administrator, or root under Wine, writes there all the same.
    HANDLE probe = CreateFileA(folder.File("probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        DeleteFileA(folder.File("probe").c_str());
        SetFolderWritable(folder.Path(), true);
        GTEST_SKIP() << "this user may write to a folder whose access list forbids it";
    }
    const ShrinkReport report = ShrinkFileWithReport(CString(folder.File("a.bmp").c_str()));
    ASSERT_TRUE(SetFolderWritable(folder.Path(), true));
    EXPECT_EQ(report.outcome, ShrinkOutcome::BackupFailed);
    EXPECT_EQ(report.error, ERROR_ACCESS_DENIED);
    EXPECT_EQ(StateOf(folder), before);
}
