// The file job on real files: after every case either the path holds the
// half-size image and the backup the untouched original, or everything is as
// it was. Every kind of file the job passes over, and hostile names, are
// tested through the companion (tests/cli/CompanionTest.cpp).
#include "shrink/ShrinkFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/LastError.h"
#include "tests/fakes/GdiplusFakes.h"
#include "tests/fakes/Win32Fakes.h"
#include "tests/support/JobChecks.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

ShrinkReport Shrink(const std::string& path) {
    return ShrinkFileWithReport(CString(path.c_str()));
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

int OpenDescriptors() {
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

// How the backup is made: a hard link, or where the file system has none
// (link fails with EPERM) the original renamed. Another program may take the
// backup name just before; the rename back after a failed save may fail.
enum Backups { kLinks, kRenames, kLinksTaken, kRenamesTaken, kMoveBackFails };
void SetUpBackups(Backups how) {
    using win32_testing::SystemRenameCalls;
    win32_testing::RenameCalls calls = SystemRenameCalls();
    if (how == kLinksTaken || how == kRenamesTaken) {
        calls.link = [](const char* from, const char* to) {
            WriteFileBytes(to, Text("someone else's"));
            return SystemRenameCalls().link(from, to);
        };
        calls.renameNoReplace = [](const char* from, const char* to) {
            WriteFileBytes(to, Text("someone else's"));
            return SystemRenameCalls().renameNoReplace(from, to);
        };
    }
    if (how == kMoveBackFails) {
        calls.renameNoReplace = [](const char* from, const char* to) {
            return std::strstr(from, "/old") ? (errno = EIO, -1)
                                             : SystemRenameCalls().renameNoReplace(from, to);
        };
    }
    if (how != kLinks && how != kLinksTaken)
        calls.link = [](const char*, const char*) { return errno = EPERM, -1; };
    win32_testing::SetRenameCalls(calls);
}

}  // namespace

// Each format at each depth through the whole job is in the interop corpus
// (tests/interop); here what that does not check: odd sizes, the colours of
// indexed and 5-6-5 pictures, a capital extension, a name starting "old".
TEST(ShrinkFileTest, APictureIsHalvedInItsOwnFormatDepthAndColoursWithTheOriginalKept) {
    const DWORD k565[3] = {0xF800, 0x07E0, 0x001F};
    // colour: all pixels, and of the half-size image where lossless
    // clang-format off
    const struct { const char* name; LONG width, height; WORD bpp; COLORREF colour; const DWORD* masks; const char* signature; } cases[] = {
        {"b.bmp", 101, 81, 24, kGradient, nullptr, "BM"}, {"c.BMP", 9, 4, 32, kGradient, nullptr, "BM"},
        {"oldx.bmp", 4, 4, 24, kGradient, nullptr, "BM"},
        // Indexed files keep their colour table: on a black one all would be black.
        {"d.bmp", 8, 8, 8, RGB(0, 0, 200), nullptr, "BM"},
        // 5-6-5 read as 5-5-5 would give (16, 16, 8).
        {"e.bmp", 6, 6, 16, RGB(8, 8, 8), k565, "BM"}, {"i.gif", 37, 23, 8, RGB(0, 200, 0), nullptr, "GIF8"},
    };
    // clang-format on
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File(c.name);
        WritePicture(path, c.width, c.height, c.bpp, c.colour, c.masks);
        const FolderState before = StateOf(folder.Path());
        const ShrinkReport report = Shrink(path);
        ASSERT_EQ(report.outcome, ShrinkOutcome::Shrunk) << DescribeOutcome(report.outcome);
        ExpectKept(before, folder.Path(), {{c.name, c.width / 2, c.height / 2}});
        const Bytes halved = ReadFileBytes(path);
        EXPECT_EQ(std::string(halved.begin(), halved.begin() + std::strlen(c.signature)),
                  c.signature);
        CDibImage image;
        ASSERT_EQ(image.Load(path.c_str()), S_OK);
        EXPECT_EQ(image.bitsPerPixel(), c.bpp);
        if (c.colour != kGradient) {
            EXPECT_EQ(image.GetPixel(1, 1), c.colour);
        }
    }
}

// Every defect kept under tests/data/<format>/malformed (found by hand or by
// the fuzzers) is refused cleanly, by Load and by the whole job; every one
// under findings once crashed a decoder and must decode.
TEST(ShrinkFileTest, MalformedFilesOfTheCorpusAreRefusedAndFindingsDecode) {
    TempFolder folder;
    int replayed = 0;
    for (const auto& entry : fs::recursive_directory_iterator(DORVALUNE_TESTDATA_DIR)) {
        const std::string kind = entry.path().parent_path().filename().string();
        if (!entry.is_regular_file() || (kind != "malformed" && kind != "findings"))
            continue;
        SCOPED_TRACE(entry.path().string());
        ++replayed;
        CDibImage image;
        const HRESULT loaded = image.Load(entry.path().c_str());
        if (kind == "findings") {
            EXPECT_EQ(loaded, S_OK);
            EXPECT_GT(image.width() * image.height(), 0);
            continue;
        }
        EXPECT_EQ(loaded, E_FAIL);
        // Under its own extension, which also chooses the encoder.
        const std::string name = "replay" + entry.path().extension().string();
        WriteFileBytes(folder.File(name), ReadFileBytes(entry.path().string()));
        const FolderState before = StateOf(folder.Path());
        // Files declaring more than a limit allows are refused as too large.
        const ShrinkOutcome outcome = Shrink(folder.File(name)).outcome;
        EXPECT_TRUE(outcome == ShrinkOutcome::NotDecodable || outcome == ShrinkOutcome::TooLarge)
            << DescribeOutcome(outcome);
        ExpectKept(before, folder.Path());
        fs::remove(folder.File(name));
    }
    EXPECT_GT(replayed, 0);
}

// A failure writing the new image, or reading the original part way through
// (a read failure, told apart from a file that is not a picture).
TEST(ShrinkFileTest, AnIoFailureLeavesTheFileAsItWasAndSaysWhy) {
    using gdiplus_testing::WriteStep;
    enum Fault { kWrite, kRead, kStep };
    // after: bytes read or written before the fault
    // clang-format off
    const struct { const char* what; int error; Fault fault; size_t after; WriteStep step; DWORD reported; } cases[] = {
        {"disk full halfway", ENOSPC, kWrite, 300, WriteStep::Sync, ERROR_DISK_FULL},
        {"I/O error on flush", EIO, kStep, 0, WriteStep::Sync, ERROR_WRITE_FAULT},
        {"disk full on close", ENOSPC, kStep, 0, WriteStep::Close, ERROR_DISK_FULL},
        {"I/O error on rename", EIO, kStep, 0, WriteStep::Rename, ERROR_WRITE_FAULT},
        {"I/O error on read", EIO, kRead, 100, WriteStep::Sync, ERROR_READ_FAULT},
    };
    // clang-format on
    TempFolder folder;
    const std::string path = folder.File("a.bmp");
    WritePicture(path, 64, 48);
    const FolderState before = StateOf(folder.Path());
    const int descriptors = OpenDescriptors();
    for (int i = 0; i < 2 * static_cast<int>(std::size(cases)); ++i) {
        const auto& c = cases[i / 2];
        SCOPED_TRACE(testing::Message() << c.what << (i % 2 ? ", without hard links" : ""));
        SetUpBackups(i % 2 ? kRenames : kLinks);
        if (c.fault == kStep)
            gdiplus_testing::InjectStepError(c.step, c.error);
        else if (c.fault == kWrite)
            gdiplus_testing::InjectWriteError(c.error, c.after);
        else
            gdiplus_testing::InjectReadError(c.error, c.after);
        const ShrinkReport report = Shrink(path);
        gdiplus_testing::InjectStepError(c.step, 0);
        gdiplus_testing::InjectWriteError(0, 0);
        gdiplus_testing::InjectReadError(0, 0);
        EXPECT_EQ(report.outcome,
                  c.fault == kRead ? ShrinkOutcome::Unreadable : ShrinkOutcome::CannotWrite);
        EXPECT_EQ(report.error, c.reported);
        EXPECT_FALSE(report.leftAtBackup);
        ExpectKept(before, folder.Path());
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
    SetUpBackups(kLinks);
    EXPECT_EQ(Shrink(path).outcome, ShrinkOutcome::Shrunk) << "every fault was taken back";
}

// Without hard links the original is renamed to the backup name; when the
// save fails and so does the rename back, the report says where it is.
// Another program that takes the backup name just before the job makes the
// backup: its file must not be replaced, nor the picture lost.
TEST(ShrinkFileTest, ABackupNameTakenOrAFailedMoveBackNeverLosesAFile) {
    // olda: what olda.bmp holds; empty: the original
    // clang-format off
    const struct { Backups how; ShrinkOutcome outcome; const char* olda; } cases[] = {
        {kLinksTaken, ShrinkOutcome::BackupExists, "someone else's"},
        {kRenamesTaken, ShrinkOutcome::BackupExists, "someone else's"}, {kMoveBackFails, ShrinkOutcome::CannotWrite, ""}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempFolder folder;
        WritePicture(folder.File("a.bmp"), 8, 8);
        FolderState expected = StateOf(folder.Path());
        SetUpBackups(c.how);
        gdiplus_testing::InjectWriteError(c.how == kMoveBackFails ? ENOSPC : 0, 0);
        const ShrinkReport report = Shrink(folder.File("a.bmp"));
        gdiplus_testing::InjectWriteError(0, 0);
        SetUpBackups(kLinks);
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(report.leftAtBackup, c.how == kMoveBackFails);
        expected["olda.bmp"] = *c.olda ? Text(c.olda) : expected["a.bmp"];
        if (c.how == kMoveBackFails)
            expected.erase("a.bmp");
        EXPECT_EQ(Differences(expected, StateOf(folder.Path())), "");
    }
}

TEST(ShrinkFileTest, ASymbolicLinkIsReplacedByTheNewImageAndKeptAsTheBackup) {
    TempFolder folder;
    ::mkdir(folder.File("originals").c_str(), 0700);
    WritePicture(folder.File("originals/picture.bmp"), 16, 12);
    ::symlink("originals/picture.bmp", folder.File("a.bmp").c_str());
    const FolderState before = StateOf(folder.Path());
    ASSERT_EQ(Shrink(folder.File("a.bmp")).outcome, ShrinkOutcome::Shrunk);
    // Writing through the link would have halved the only copy in originals/.
    ExpectKept(before, folder.Path(), {{"a.bmp", 8, 6}});
}
