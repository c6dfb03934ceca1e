#include "shrink/ShrinkFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "platform/win32/Gdi.h"
#include "shrink/BatchRun.h"
#include "tests/fakes/GdiplusFakes.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<char>;

// The file's bytes; nothing for a folder or a missing file.
Bytes ReadBytes(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A bitmap file with a gradient, written by our own encoder.
void MakeBitmap(const std::string& path, LONG width, LONG height, WORD bpp = 24) {
    CDibImage image;
    ASSERT_TRUE(image.Create(width, height, bpp, BI_RGB, nullptr, 0));
    // Indexed pictures are a chessboard of 2 x 2 blocks in blue and the key colour.
    const COLORREF colours[4] = {RGB(0, 0, 0), RGB(0, 0, 200), RGB(0, 200, 0), RGB(255, 0, 128)};
    if (bpp <= 8) {
        RGBQUAD table[4] = {{0, 0, 0, 0}, {200, 0, 0, 0}, {0, 200, 0, 0}, {128, 0, 255, 0}};
        image.SetColorTable(0, 4, table);
    }
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x) {
            image.SetPixel(x, y,
                           bpp <= 8 ? colours[1 + 2 * ((x / 2 + y / 2) % 2)]
                                    : RGB(x * 2, y * 3, (x + y) % 256));
        }
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
}

struct Picture {
    LONG width = 0, height = 0, bpp = 0;
};

Picture Describe(const std::string& path) {
    CDibImage image;
    if (FAILED(image.Load(path.c_str())))
        return {};
    return {image.width(), image.height(), image.bitsPerPixel()};
}

bool operator==(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.bpp == b.bpp;
}

class ListOf : public CFileListSource {
public:
    explicit ListOf(std::vector<std::string> entries) : m_entries(std::move(entries)) {}
    int GetCount() const override {
        ++m_countCalls;
        return static_cast<int>(m_entries.size());
    }
    void GetText(int index, CString& text) const override { text = m_entries[index].c_str(); }
    mutable int m_countCalls = 0;
    std::vector<std::string> m_entries;
};

}  // namespace

TEST(ShrinkFileTest, BackupNamesPutOldAfterTheLastSlash) {
    struct Case {
        const char* path;
        const char* backup;
    };
    const Case cases[] = {{"/pics/a.bmp", "/pics/olda.bmp"},
                          {"a.bmp", "olda.bmp"},
                          {"/pics/oldx.bmp", "/pics/oldoldx.bmp"},
                          {"/pi.cs/a\\b.bmp", "/pi.cs/olda\\b.bmp"},
                          {"/", "/old"},
                          {"caf\xC3\xA9/\xFF.bmp", "caf\xC3\xA9/old\xFF.bmp"}};
    for (const Case& c : cases) {
        EXPECT_STREQ(BackupNameFor(CString(c.path)).GetString(), c.backup) << c.path;
    }
}

TEST(ShrinkFileTest, AShrunkFileKeepsItsOriginalUnderTheBackupName) {
    TempFolder folder;
    struct Case {
        const char* name;
        LONG width, height;
        WORD bpp;
        Picture expected;
    };
    const Case cases[] = {{"a.bmp", 100, 80, 24, {50, 40, 24}},
                          {"b.bmp", 101, 81, 24, {50, 40, 24}},
                          {"c.BMP", 9, 4, 32, {4, 2, 32}},
                          {"d.bmp", 8, 8, 8, {4, 4, 8}},
                          {"oldx.bmp", 4, 4, 24, {2, 2, 24}}};
    for (const Case& c : cases) {
        const std::string path = folder.File(c.name);
        MakeBitmap(path, c.width, c.height, c.bpp);
        const Bytes original = ReadBytes(path);
        const ShrinkReport report = ShrinkFileWithReport(CString(path.c_str()));
        EXPECT_EQ(report.outcome, ShrinkOutcome::Shrunk) << c.name;
        EXPECT_EQ(ReadBytes(folder.File(std::string("old") + c.name)), original) << c.name;
        EXPECT_TRUE(Describe(path) == c.expected) << c.name;
    }
    EXPECT_EQ(ListFolder(folder.Path()),
              "a.bmp b.bmp c.BMP d.bmp olda.bmp oldb.bmp oldc.BMP oldd.bmp oldoldx.bmp oldx.bmp");
}

TEST(ShrinkFileTest, FilesThatCannotBeShrunkAreLeftAsTheyWere) {
    TempFolder folder;
    MakeBitmap(folder.File("thin.bmp"), 1, 40);
    MakeBitmap(folder.File("flat.bmp"), 40, 1);
    MakeBitmap(folder.File("picture.bmp"), 8, 8);
    ::link(folder.File("picture.bmp").c_str(), folder.File("picture.xyz").c_str());
    ::rename(folder.File("picture.bmp").c_str(), folder.File("noextension").c_str());
    MakeBitmap(folder.File("taken.bmp"), 8, 8);
    WriteBytes(folder.File("oldtaken.bmp"), "an older backup");
    WriteBytes(folder.File("notes.bmp"), "not a picture at all");
    ::mkdir(folder.File("folder.bmp").c_str(), 0700);
    struct Case {
        const char* name;
        ShrinkOutcome outcome;
    };
    const Case cases[] = {
        {"thin.bmp", ShrinkOutcome::TooSmall},      {"flat.bmp", ShrinkOutcome::TooSmall},
        {"picture.xyz", ShrinkOutcome::NoEncoder},  {"noextension", ShrinkOutcome::NoEncoder},
        {"taken.bmp", ShrinkOutcome::BackupExists}, {"notes.bmp", ShrinkOutcome::NotDecodable},
        {"folder.bmp", ShrinkOutcome::Unreadable},  {"missing.bmp", ShrinkOutcome::Missing}};
    const std::string before = ListFolder(folder.Path());
    for (const Case& c : cases) {
        const std::string path = folder.File(c.name);
        const Bytes original = ReadBytes(path);
        EXPECT_EQ(ShrinkFileWithReport(CString(path.c_str())).outcome, c.outcome) << c.name;
        EXPECT_EQ(ReadBytes(path), original) << c.name;
    }
    EXPECT_EQ(ListFolder(folder.Path()), before);
    EXPECT_EQ(ReadBytes(folder.File("oldtaken.bmp")),
              Bytes({'a', 'n', ' ', 'o', 'l', 'd', 'e', 'r', ' ', 'b', 'a', 'c', 'k', 'u', 'p'}));
}

TEST(ShrinkFileTest, AFailedSaveRestoresTheFileAndRemovesTheBackup) {
    TempFolder folder;
    const std::string path = folder.File("a.bmp");
    MakeBitmap(path, 64, 64);
    const Bytes original = ReadBytes(path);
    for (size_t after : {size_t{0}, size_t{1000}}) {
        gdiplus_testing::InjectWriteError(ENOSPC, after);
        const ShrinkReport report = ShrinkFileWithReport(CString(path.c_str()));
        gdiplus_testing::InjectWriteError(0, 0);
        EXPECT_EQ(report.outcome, ShrinkOutcome::CannotWrite);
        EXPECT_EQ(ReadBytes(path), original);
        EXPECT_EQ(ListFolder(folder.Path()), "a.bmp");
    }
}

TEST(ShrinkFileTest, TheNewFileGetsTheOriginalsPermissionBits) {
    TempFolder folder;
    const std::string path = folder.File("a.bmp");
    MakeBitmap(path, 8, 8);
    ::chmod(path.c_str(), 0604);
    ASSERT_EQ(ShrinkFileWithReport(CString(path.c_str())).outcome, ShrinkOutcome::Shrunk);
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    ASSERT_EQ(::stat(folder.File("olda.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
}

TEST(ShrinkFileTest, IndexedFilesKeepTheirColourTable) {
    TempFolder folder;
    const std::string path = folder.File("p.bmp");
    MakeBitmap(path, 6, 6, 8);
    ASSERT_EQ(ShrinkFileWithReport(CString(path.c_str())).outcome, ShrinkOutcome::Shrunk);
    CDibImage halved;
    ASSERT_EQ(halved.Load(path.c_str()), S_OK);
    RGBQUAD entry{};
    GetDIBColorTable(halved.BorrowDC(), 3, 1, &entry);
    halved.ReturnDC();
    EXPECT_EQ(entry.rgbRed, 255);
    EXPECT_EQ(entry.rgbBlue, 128);
    // Blue and key windows keep their colours; on a black table they would be black.
    bool sawBlue = false, sawKey = false;
    for (LONG y = 0; y < 3; ++y) {
        for (LONG x = 0; x < 3; ++x) {
            const COLORREF c = halved.GetPixel(x, y);
            sawBlue |= c == RGB(0, 0, 200);
            sawKey |= c == RGB(255, 0, 128);
            EXPECT_TRUE(c == RGB(0, 0, 200) || c == RGB(255, 0, 128)) << x << "," << y;
        }
    }
    EXPECT_TRUE(sawBlue);
    EXPECT_TRUE(sawKey);
}

TEST(ShrinkFileTest, TheBatchRunsTheListInOrderAndPassesOverFailures) {
    TempFolder folder;
    ::mkdir(folder.File("one").c_str(), 0700);
    ::mkdir(folder.File("two").c_str(), 0700);
    MakeBitmap(folder.File("one/a.bmp"), 20, 20);
    MakeBitmap(folder.File("two/b.bmp"), 20, 20);
    const Bytes original = ReadBytes(folder.File("one/a.bmp"));
    // The same path twice: the second pass finds the backup taken and stops.
    ListOf list({folder.File("one/a.bmp"), folder.File("gone.bmp"), folder.File("one/a.bmp"),
                 folder.File("two/b.bmp")});
    RunBatch(list);
    EXPECT_EQ(list.m_countCalls, 5) << "the count is asked before every step";
    EXPECT_TRUE(Describe(folder.File("one/a.bmp")) == (Picture{10, 10, 24}));
    EXPECT_EQ(ReadBytes(folder.File("one/olda.bmp")), original);
    EXPECT_EQ(ListFolder(folder.File("one")), "a.bmp olda.bmp");
    EXPECT_EQ(ListFolder(folder.File("two")), "b.bmp oldb.bmp");
    EXPECT_EQ(ListFolder(folder.Path()), "one two");

    ListOf empty({});
    RunBatch(empty);
    EXPECT_EQ(empty.m_countCalls, 1);
}
