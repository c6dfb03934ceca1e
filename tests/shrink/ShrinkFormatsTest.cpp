#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "shrink/ShrinkFile.h"
#include "tests/support/TempFolder.h"

namespace {

std::string FirstBytes(const std::string& path, size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    return bytes;
}

// A 24-bit gradient, or an 8-bit picture on a 16-entry table with the key colour.
void MakePicture(const std::string& path, WORD bpp) {
    CDibImage image;
    ASSERT_TRUE(image.Create(37, 23, bpp, BI_RGB, nullptr, 0));
    if (bpp == 8) {
        RGBQUAD table[16];
        for (int i = 0; i < 16; ++i) {
            table[i] = {static_cast<BYTE>(i * 16), static_cast<BYTE>(255 - i * 16), 40, 0};
        }
        table[5] = {128, 0, 255, 0};
        image.SetColorTable(0, 16, table);
    }
    for (LONG y = 0; y < 23; ++y) {
        for (LONG x = 0; x < 37; ++x) {
            if (bpp == 8) {
                image.firstRow()[y * image.pitch() + x] = static_cast<BYTE>((x / 3 + y / 3) % 16);
            } else {
                image.SetPixel(x, y, (x + y) % 5 == 0 ? RGB(255, 0, 128) : RGB(x * 6, y * 9, 99));
            }
        }
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK) << path;
}

}  // namespace

TEST(ShrinkFormatsTest, EveryFormatComesOutHalvedInItsOwnFormatAndDepth) {
    TempFolder folder;
    struct Case {
        const char* name;
        WORD bpp;
        const char* signature;
        LONG depthAfter;
    };
    const Case cases[] = {
        {"a.png", 24, "\x89PNG", 24}, {"b.png", 8, "\x89PNG", 8}, {"c.jpg", 24, "\xFF\xD8\xFF", 24},
        {"d.gif", 8, "GIF8", 8},      {"e.tif", 24, "II*", 24},   {"f.tiff", 8, "II*", 8},
        {"g.bmp", 8, "BM", 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File(c.name);
        MakePicture(path, c.bpp);
        const std::string original = FirstBytes(path, 1 << 20);
        const ShrinkReport report = ShrinkFileWithReport(CString(path.c_str()));
        ASSERT_EQ(report.outcome, ShrinkOutcome::Shrunk) << DescribeOutcome(report.outcome);
        EXPECT_EQ(FirstBytes(folder.File(std::string("old") + c.name), 1 << 20), original);
        EXPECT_EQ(FirstBytes(path, std::string(c.signature).size()), c.signature);
        CDibImage halved;
        ASSERT_EQ(halved.Load(path.c_str()), S_OK);
        EXPECT_EQ(halved.width(), 18);
        EXPECT_EQ(halved.height(), 11);
        EXPECT_EQ(halved.bitsPerPixel(), c.depthAfter);
    }
}
