#include "image/EncoderChoice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CLSID Id(DWORD n) {
    return {n, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
}

ImageCodecInfo Record(DWORD id, DWORD format, const char16_t* patterns) {
    ImageCodecInfo info{};
    info.Clsid = Id(id);
    info.FormatID = Id(format);
    info.FilenameExtension = patterns;
    return info;
}

}  // namespace

TEST(EncoderChoiceTest, ExtensionsChooseTheFirstEncoderThatListsThem) {
    const std::vector<ImageCodecInfo> list = {
        Record(1, 101, u"*.BMP;*.DIB;*.RLE"),
        // Separators at both ends and doubled in the middle yield no pieces.
        Record(2, 102, u";*.ABC;;*.DEF;"),
        Record(3, 103, u"*.PNG;*.bmp"),  // lists .bmp too, but later
        Record(4, 104, u"README"),       // a piece without a dot
    };
    struct Case {
        const char* path_extension;
        DWORD expected;  // 0: no encoder
    };
    const Case cases[] = {{".bmp", 1}, {".BMP", 1}, {".Bmp", 1},  {".rle", 1},
                          {".abc", 2}, {".DEF", 2}, {".png", 3},  {"", 4},
                          {".xyz", 0}, {".bm", 0},  {".bmpx", 0}, {".", 0}};
    for (const Case& c : cases) {
        const CLSID chosen =
            FindEncoderByExtension(c.path_extension, list.data(), static_cast<UINT>(list.size()));
        EXPECT_TRUE(chosen == (c.expected == 0 ? GUID_NULL : Id(c.expected)))
            << "'" << c.path_extension << "' chose " << chosen.Data1;
    }
}

TEST(EncoderChoiceTest, WithoutAPatternThatLacksADotTheEmptyExtensionMatchesNothing) {
    const std::vector<ImageCodecInfo> list = {Record(1, 101, u"*.BMP"), Record(2, 102, u"")};
    EXPECT_TRUE(FindEncoderByExtension("", list.data(), 2) == GUID_NULL);
}

TEST(EncoderChoiceTest, FormatIdsMatchAllSixteenBytes) {
    const std::vector<ImageCodecInfo> list = {Record(1, 101, u"*.A"), Record(2, 102, u"*.B"),
                                              Record(3, 102, u"*.C")};
    EXPECT_TRUE(FindEncoderByFormat(Id(102), list.data(), 3) == Id(2));
    GUID almost = Id(101);
    almost.Data4[7] = 1;
    EXPECT_TRUE(FindEncoderByFormat(almost, list.data(), 3) == GUID_NULL);
    EXPECT_TRUE(FindEncoderByFormat(Id(999), list.data(), 3) == GUID_NULL);
}
