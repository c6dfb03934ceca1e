// The encoder list that the program searches for the encoder of a file's
// extension.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdiplus/GdiplusFlat.h"

TEST(EncoderListTest, RecordsComeInThePlatformsOrderWithTheirIdsAndPatternsInTheCallersBuffer) {
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    ASSERT_EQ(count, 5u);
    std::vector<BYTE> buffer(size);
    auto* list = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    EXPECT_NE(GdipGetImageEncoders(count, size - 1, list), Ok);
    ASSERT_EQ(GdipGetImageEncoders(count, size, list), Ok);
    const struct {
        DWORD clsidFirst, formatFirst;
        std::u16string patterns;
    } expected[] = {
        {0x557CF400, 0xB96B3CAB, u"*.BMP;*.DIB;*.RLE"},
        {0x557CF401, 0xB96B3CAE, u"*.JPG;*.JPEG;*.JPE;*.JFIF"},
        {0x557CF402, 0xB96B3CB0, u"*.GIF"},
        {0x557CF405, 0xB96B3CB1, u"*.TIF;*.TIFF"},
        {0x557CF406, 0xB96B3CAF, u"*.PNG"},
    };
    for (UINT i = 0; i < count; ++i) {
        const ImageCodecInfo& info = list[i];
        EXPECT_EQ(info.Clsid.Data1, expected[i].clsidFirst) << i;
        EXPECT_EQ(info.FormatID.Data1, expected[i].formatFirst) << i;
        EXPECT_EQ(info.FilenameExtension, expected[i].patterns) << i;
        // The patterns lie in the caller's buffer, after the records.
        EXPECT_GE(static_cast<const void*>(info.FilenameExtension),
                  static_cast<const void*>(list + count));
        EXPECT_LT(static_cast<const void*>(info.FilenameExtension),
                  static_cast<const void*>(buffer.data() + buffer.size()));
    }
    GdiplusShutdown(token);
}
