// The encoder list that the program searches for the encoder of a file's
// extension.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdiplus/GdiplusFlat.h"

namespace {

// Keeps the library running for one test.
struct Running {
    ULONG_PTR token = 0;
    Running() {
        GdiplusStartupInput input;
        GdiplusStartup(&token, &input, nullptr);
    }
    ~Running() { GdiplusShutdown(token); }
};

std::u16string Text(const WCHAR* text) {
    return text == nullptr ? u"(null)" : text;
}

}  // namespace

TEST(EncoderListTest, RecordsComeInThePlatformsOrderWithItsIdsAndPatterns) {
    Running library;
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    ASSERT_GE(count, 5u);
    std::vector<BYTE> buffer(size);
    auto* list = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    ASSERT_EQ(GdipGetImageEncoders(count, size, list), Ok);

    struct Expected {
        DWORD clsidFirst;
        DWORD formatFirst;
        const char16_t* patterns;
        const char16_t* mime;
    };
    const Expected expected[] = {
        {0x557CF400, 0xB96B3CAB, u"*.BMP;*.DIB;*.RLE", u"image/bmp"},
        {0x557CF401, 0xB96B3CAE, u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg"},
        {0x557CF402, 0xB96B3CB0, u"*.GIF", u"image/gif"},
        {0x557CF405, 0xB96B3CB1, u"*.TIF;*.TIFF", u"image/tiff"},
        {0x557CF406, 0xB96B3CAF, u"*.PNG", u"image/png"},
    };
    const BYTE* begin = buffer.data();
    const BYTE* end = buffer.data() + buffer.size();
    for (int i = 0; i < 5; ++i) {
        const ImageCodecInfo& info = list[i];
        EXPECT_EQ(info.Clsid.Data1, expected[i].clsidFirst) << i;
        EXPECT_EQ(info.FormatID.Data1, expected[i].formatFirst) << i;
        EXPECT_TRUE(Text(info.FilenameExtension) == expected[i].patterns) << i;
        EXPECT_TRUE(Text(info.MimeType) == expected[i].mime) << i;
        EXPECT_NE(info.Flags & ImageCodecFlagsEncoder, 0u);
        // Every text and signature lies in the caller's buffer, after the records.
        for (const void* p : {static_cast<const void*>(info.FilenameExtension),
                              static_cast<const void*>(info.CodecName),
                              static_cast<const void*>(info.SigPattern)}) {
            EXPECT_GE(static_cast<const BYTE*>(p), reinterpret_cast<const BYTE*>(list + count));
            EXPECT_LT(static_cast<const BYTE*>(p), end);
            EXPECT_GE(static_cast<const BYTE*>(p), begin);
        }
    }
}

TEST(EncoderListTest, AListOfTheWrongSizeIsRefused) {
    Running library;
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    std::vector<BYTE> buffer(size + 64);
    auto* list = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    EXPECT_NE(GdipGetImageEncoders(count, size - 1, list), Ok);
    EXPECT_NE(GdipGetImageEncoders(count + 1, size, list), Ok);
}
