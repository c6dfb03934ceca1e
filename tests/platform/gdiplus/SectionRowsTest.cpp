// A DIB section that takes over the rows of a bitmap decoded from a file:
// only the next section of exactly their layout on the same thread does, and
// the pixels stay right in the section, in the bitmap and in the file
// whatever is done to the other.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/BmpEncoder.h"
#include "platform/gdiplus/GdiplusFlat.h"
#include "platform/gdiplus/JpegCodec.h"
#include "platform/gdiplus/PngCodec.h"
#include "platform/win32/Gdi.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

struct Section {
    HBITMAP handle = nullptr;
    BYTE* bits = nullptr;
};

// A section of the given layout; a negative height is top-down.
Section MakeSection(LONG width, LONG height, WORD depth) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[256];
    } info{};
    info.header = {sizeof(BITMAPINFOHEADER), width, height, 1, depth, BI_RGB, 0, 0, 0, 0, 0};
    Section s;
    void* bits = nullptr;
    s.handle = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                &bits, nullptr, 0);
    s.bits = static_cast<BYTE*>(bits);
    return s;
}

GpBitmap* Open(const std::string& path) {
    const std::u16string wide(path.begin(), path.end());
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromFile(reinterpret_cast<const WCHAR*>(wide.c_str()), &bitmap), Ok);
    return bitmap;
}

// Every row of the bitmap's picture equals the reference's.
void ExpectPicture(GpBitmap* bitmap, const ImageBuffer& reference, size_t rowBytes) {
    BitmapData locked{};
    ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, reference.Format(), &locked),
              Ok);
    for (UINT y = 0; y < reference.Height(); ++y) {
        EXPECT_EQ(
            std::memcmp(static_cast<BYTE*>(locked.Scan0) + static_cast<INT>(y) * locked.Stride,
                        reference.Row(y), rowBytes),
            0)
            << "row " << y;
    }
    GdipBitmapUnlockBits(bitmap, &locked);
}

TEST(SectionRows, OnlyTheNextSectionOfTheirLayoutTakesThemAndEachSideKeepsItsPixels) {
    ULONG_PTR token = 0;
    const GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    TempFolder folder;
    // Odd widths, so that the rows end in padding; the BMP's rows are read
    // in place, with junk in the padding of every row.
    // clang-format off
    const struct { const char* name; PixelFormat format; Status (*encode)(const ImageView&, std::vector<BYTE>&); Status (*decode)(const BYTE*, size_t, ImageBuffer&); } files[] = {
        {"in-place.bmp", PixelFormat24bppRGB, EncodeBmp, DecodeBmp},
        {"indexed.bmp", PixelFormat8bppIndexed, EncodeBmp, DecodeBmp},
        {"rgb.png", PixelFormat24bppRGB, EncodePng, DecodePng},
        {"rgb.jpg", PixelFormat24bppRGB, EncodeJpeg, DecodeJpeg},
    };
    // width, height: added to the picture's; depth 0: the picture's
    const struct { const char* what; LONG width; LONG height; WORD depth; bool otherThread; bool takes; } sections[] = {
        {"the same layout", 0, 0, 0, false, true},
        {"top-down", 0, -2 * 7, 0, false, false},
        {"one pixel wider", 1, 0, 0, false, false},
        {"another depth", 0, 0, 32, false, false},
        {"on another thread", 0, 0, 0, true, false},
    };
    // clang-format on
    constexpr UINT kWidth = 5, kHeight = 7;
    for (const auto& f : files) {
        Bytes file;
        ASSERT_EQ(f.encode(NoisePicture(f.format, kWidth, kHeight, 7).View(), file), Ok);
        const WORD depth = static_cast<WORD>(GetPixelFormatSize(f.format));
        const size_t rowBytes = (kWidth * depth + 7) / 8, stride = (kWidth * depth + 31) / 32 * 4;
        if (f.encode == EncodeBmp) {
            const size_t pixels = file[10] | file[11] << 8;
            for (size_t at = pixels + rowBytes; at < file.size(); at += stride)
                std::memset(&file[at], 0xEE, stride - rowBytes);
        }
        ImageBuffer reference;
        ASSERT_EQ(f.decode(file.data(), file.size(), reference), Ok);
        const std::string path = folder.File(f.name);
        WriteFileBytes(path, file);
        for (const auto& c : sections) {
            SCOPED_TRACE(std::string(f.name) + ", a section " + c.what);
            GpBitmap* bitmap = Open(path);
            ASSERT_NE(bitmap, nullptr);
            const LONG width = kWidth + c.width, height = kHeight + c.height;
            const WORD sectionDepth = c.depth != 0 ? c.depth : depth;
            Section section;
            if (c.otherThread) {
                std::thread([&] { section = MakeSection(width, height, sectionDepth); }).join();
            } else {
                section = MakeSection(width, height, sectionDepth);
            }
            ASSERT_NE(section.handle, nullptr);
            const size_t sectionStride = (width * sectionDepth + 31) / 32 * 4;
            const size_t sectionBytes = sectionStride * (height < 0 ? -height : height);
            if (!c.takes) {
                EXPECT_EQ(Bytes(section.bits, section.bits + sectionBytes), Bytes(sectionBytes, 0))
                    << "a section of its own starts black";
                ExpectPicture(bitmap, reference, rowBytes);
                GdipDisposeImage(AsImage(bitmap));
                EXPECT_TRUE(DeleteObject(section.handle));
                continue;
            }
            // The image layer's copy: every row, top row first.
            BitmapData locked{};
            ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, f.format, &locked),
                      Ok);
            const BYTE* lowest =
                static_cast<BYTE*>(locked.Scan0) + (INT{kHeight} - 1) * locked.Stride;
            EXPECT_EQ(section.bits, lowest + stride) << "the rows are taken where they lie";
            for (UINT y = 0; y < kHeight; ++y) {
                std::memcpy(section.bits + (kHeight - 1 - y) * stride,
                            static_cast<BYTE*>(locked.Scan0) + static_cast<INT>(y) * locked.Stride,
                            rowBytes);
            }
            ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &locked), Ok);
            ExpectPicture(bitmap, reference, rowBytes);
            const Section next = MakeSection(width, height, depth);
            EXPECT_EQ(Bytes(next.bits, next.bits + sectionBytes), Bytes(sectionBytes, 0))
                << "the offer went with the section that took the rows";
            EXPECT_TRUE(DeleteObject(next.handle));
            GdipDisposeImage(AsImage(bitmap));
            for (UINT y = 0; y < kHeight; ++y) {
                Bytes row(reference.Row(y), reference.Row(y) + rowBytes);
                row.resize(stride, 0);
                const BYTE* at = section.bits + (kHeight - 1 - y) * stride;
                EXPECT_EQ(Bytes(at, at + stride), row) << "section row " << y;
            }
            // Nothing written into the section reaches the file or a new decode.
            std::memset(section.bits, 0x5A, sectionBytes);
            GpBitmap* again = Open(path);
            ExpectPicture(again, reference, rowBytes);
            GdipDisposeImage(AsImage(again));
            EXPECT_EQ(ReadFileBytes(path), file);
            EXPECT_TRUE(DeleteObject(section.handle));
        }
    }
    GdiplusShutdown(token);
}

TEST(SectionRows, ABitmapMadeFromASectionKeepsItsPictureAndNeverWritesToTheSection) {
    ULONG_PTR token = 0;
    const GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    // clang-format off
    const struct { const char* what; LONG height; WORD depth; bool lock, draw, deleteSection; } cases[] = {
        {"read while the section lives", 6, 24, false, false, false},
        {"read after the section is deleted", 6, 32, false, false, true},
        {"top-down, read after the section is deleted", -6, 24, false, false, true},
        {"written through a lock", 6, 24, true, false, false},
        {"drawn into", -6, 32, false, true, false},
        {"written through a lock, 8-bit", 6, 8, true, false, false},
    };
    // clang-format on
    constexpr LONG kWidth = 5;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Section section = MakeSection(kWidth, c.height, c.depth);
        ASSERT_NE(section.handle, nullptr);
        const size_t stride = (kWidth * c.depth + 31) / 32 * 4;
        const size_t bytes = stride * 6;
        for (size_t i = 0; i < bytes; ++i)
            section.bits[i] = static_cast<BYTE>(i * 7 + 1);
        const Bytes picture(section.bits, section.bits + bytes);
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(GdipCreateBitmapFromHBITMAP(section.handle, nullptr, &bitmap), Ok);
        if (c.deleteSection) {
            EXPECT_TRUE(DeleteObject(section.handle));
        }
        PixelFormat format = PixelFormatUndefined;
        GdipGetImagePixelFormat(AsImage(bitmap), &format);
        BitmapData locked{};
        ASSERT_EQ(GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead | ImageLockModeWrite,
                                     format, &locked),
                  Ok);
        // Row y of the bitmap is the section's row y from the top.
        for (LONG y = 0; y < 6; ++y) {
            const size_t at = (c.height > 0 ? 5 - y : y) * stride;
            const BYTE* row = static_cast<BYTE*>(locked.Scan0) + y * locked.Stride;
            EXPECT_EQ(Bytes(row, row + kWidth * c.depth / 8),
                      Bytes(picture.begin() + at, picture.begin() + at + kWidth * c.depth / 8))
                << "row " << y;
            if (c.lock)
                std::memset(static_cast<BYTE*>(locked.Scan0) + y * locked.Stride, 0x33, stride);
        }
        ASSERT_EQ(GdipBitmapUnlockBits(bitmap, &locked), Ok);
        if (c.draw) {
            GpBitmap* other = nullptr;
            Bytes black(stride * 6, 0);
            ASSERT_EQ(GdipCreateBitmapFromScan0(kWidth, 6, static_cast<INT>(stride), format,
                                                black.data(), &other),
                      Ok);
            GpGraphics* graphics = nullptr;
            ASSERT_EQ(GdipGetImageGraphicsContext(AsImage(bitmap), &graphics), Ok);
            EXPECT_EQ(GdipDrawImageI(graphics, AsImage(other), 0, 0), Ok);
            GdipDeleteGraphics(graphics);
            GdipDisposeImage(AsImage(other));
        }
        GdipDisposeImage(AsImage(bitmap));
        if (!c.deleteSection) {
            EXPECT_EQ(Bytes(section.bits, section.bits + bytes), picture);
            EXPECT_TRUE(DeleteObject(section.handle));
        }
    }
    GdiplusShutdown(token);
}

}  // namespace
