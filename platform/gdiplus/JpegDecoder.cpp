#include <new>
#include <utility>
#include <vector>

#include "platform/gdiplus/JpegCodec.h"
#include "platform/gdiplus/JpegErrorManager.h"
#include "platform/win32/PagesAhead.h"

namespace {

// Encoders write about ten scans; the finest progressions seen in practice
// stay within a few dozen. A file with more only makes the decoder walk the
// whole picture again for every scan.
constexpr int kMaxScans = 100;

// libjpeg keeps a progressive or multi-scan picture's coefficients until the
// last scan, two bytes per sample of every component. Past this limit it asks
// for backing store, which this build lacks, and the decode fails.
constexpr long kMaxWorkingBytes = 1L << 30;

// A sequential Huffman-coded scan spends at least two bits (a DC code and an
// end-of-block code) on every 8 x 8 block of a component, and a component,
// however subsampled, has a block for every 32 x 32 pixels or fewer. A file
// smaller than that cannot hold the picture it declares: it is damaged, and
// refusing it before allocating keeps a few bytes from claiming gigabytes.
bool CanHoldItsBlocks(const jpeg_decompress_struct& info, size_t fileBytes) {
    if (info.progressive_mode || info.arith_code)
        return true;  // these can code runs of empty blocks in a few bits
    const unsigned long long blocks =
        ((info.image_width + 31ull) / 32) * ((info.image_height + 31ull) / 32);
    return blocks / 4 <= fileBytes;
}

// Everything the setjmp functions touch lives here, as plain data.
struct JpegDecoder {
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    jpeg_progress_mgr progress;
};

enum class RowKind { kBgr, kGrey, kCmyk };

struct RowTarget {
    RowKind kind;
    int components;
    BYTE* scan0;
    ptrdiff_t stride;
    BYTE* cmykRow;
    bool invertedCmyk;
    PagesAhead* pages;
};

// jpeg_destroy_decompress is safe on a zeroed or half-created object.
struct DecompressGuard {
    jpeg_decompress_struct* info;
    ~DecompressGuard() { jpeg_destroy_decompress(info); }
};

void LimitScans(j_common_ptr cinfo) {
    const auto* info = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (info->input_scan_number > kMaxScans)
        FailJpeg(cinfo, JpegFailure::kTooManyScans);
}

// Adobe's applications store CMYK (and the CMYK behind YCCK) inverted, 255
// meaning no ink, and mark such files with their APP14 segment; other
// writers store ink amounts.
void CmykRowToBgr(const BYTE* cmyk, UINT width, bool inverted, BYTE* bgr) {
    for (UINT x = 0; x < width; ++x) {
        const BYTE* p = cmyk + 4 * x;
        const UINT flip = inverted ? 0 : 255;
        const UINT c = p[0] ^ flip, m = p[1] ^ flip, y = p[2] ^ flip, k = p[3] ^ flip;
        bgr[3 * x] = static_cast<BYTE>((y * k + 127) / 255);
        bgr[3 * x + 1] = static_cast<BYTE>((m * k + 127) / 255);
        bgr[3 * x + 2] = static_cast<BYTE>((c * k + 127) / 255);
    }
}

// C-style: no objects with destructors, so a longjmp from libjpeg skips nothing.
bool ReadHeader(JpegDecoder* decoder, const BYTE* data, size_t size) {
    if (setjmp(decoder->errors.jump))
        return false;
    jpeg_create_decompress(&decoder->info);
    decoder->info.mem->max_memory_to_use = kMaxWorkingBytes;
    decoder->progress.progress_monitor = LimitScans;
    decoder->info.progress = &decoder->progress;
    jpeg_mem_src(&decoder->info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&decoder->info, TRUE);
    return true;
}

// C-style, as ReadHeader.
bool ReadRows(JpegDecoder* decoder, const RowTarget* target) {
    if (setjmp(decoder->errors.jump))
        return false;
    j_decompress_ptr info = &decoder->info;
    auto* common = reinterpret_cast<j_common_ptr>(info);
    jpeg_start_decompress(info);
    if (info->output_width != info->image_width || info->output_height != info->image_height ||
        info->output_components != target->components) {
        FailJpeg(common, JpegFailure::kError);
    }
    while (info->output_scanline < info->output_height) {
        BYTE* row = target->scan0 + static_cast<ptrdiff_t>(info->output_scanline) * target->stride;
        JSAMPROW into = target->kind == RowKind::kCmyk ? target->cmykRow : row;
        // Without suspension libjpeg always delivers; a zero would loop forever.
        if (jpeg_read_scanlines(info, &into, 1) != 1)
            FailJpeg(common, JpegFailure::kError);
        if (target->kind == RowKind::kCmyk) {
            CmykRowToBgr(target->cmykRow, info->output_width, target->invertedCmyk, row);
        }
        if (info->output_scanline % 16 == 0) {
            const ptrdiff_t rowBytes = target->stride < 0 ? -target->stride : target->stride;
            target->pages->WriterAt(size_t{info->output_scanline} * rowBytes);
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

void FillGreyPalette(std::vector<ARGB>& palette) {
    palette.resize(256);
    for (UINT v = 0; v < 256; ++v)
        palette[v] = 0xFF000000u | (v << 16) | (v << 8) | v;
}

}  // namespace

bool SniffJpeg(const BYTE* data, size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

Status DecodeJpeg(const BYTE* data, size_t size, ImageBuffer& out) {
    if (data == nullptr || !SniffJpeg(data, size))
        return UnknownImageFormat;

    JpegDecoder decoder{};
    InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&decoder.info), &decoder.errors);
    DecompressGuard guard{&decoder.info};
    if (!ReadHeader(&decoder, data, size))
        return JpegDecodeFailureStatus(decoder.errors);

    jpeg_decompress_struct& info = decoder.info;
    RowTarget target{};
    PixelFormat format = PixelFormat24bppRGB;
    switch (info.jpeg_color_space) {
        case JCS_GRAYSCALE:
            info.out_color_space = JCS_GRAYSCALE;
            target.kind = RowKind::kGrey;
            target.components = 1;
            format = PixelFormat8bppIndexed;
            break;
        case JCS_YCbCr:
        case JCS_RGB:
            // libjpeg-turbo writes the library's B, G, R order itself.
            info.out_color_space = JCS_EXT_BGR;
            target.kind = RowKind::kBgr;
            target.components = 3;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            info.out_color_space = JCS_CMYK;
            target.kind = RowKind::kCmyk;
            target.components = 4;
            target.invertedCmyk = info.saw_Adobe_marker != FALSE;
            break;
        default:
            return NotImplemented;
    }

    // Beyond the library's bound first, as for every format; then damage.
    if (static_cast<unsigned long long>(info.image_width) * info.image_height > kMaxImagePixels)
        return RefusePictureSize(info.image_width, info.image_height);
    if (!CanHoldItsBlocks(info, size))
        return InvalidParameter;
    ImageBuffer picture;
    // A damaged file shows only while its rows are read, and a few bytes of
    // it may declare a picture of gigabytes: the memory appears row by row.
    if (Status status = picture.Allocate(format, info.image_width, info.image_height,
                                         ImageBuffer::Pages::OnDemand, ImageBuffer::Rows::BottomUp);
        status != Ok) {
        return status;
    }
    std::vector<BYTE> cmykRow;
    try {
        if (target.kind == RowKind::kCmyk)
            cmykRow.resize(4 * size_t{info.image_width});
        if (target.kind == RowKind::kGrey)
            FillGreyPalette(picture.Palette());
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    if (target.kind == RowKind::kGrey)
        picture.SetPaletteFlags(PaletteFlagsGrayScale);
    target.scan0 = picture.Row(0);
    target.stride = picture.Stride();
    target.cmykRow = cmykRow.data();
    // The rows' pages are faulted in on another processor just ahead of the
    // decoder, which would otherwise stop for each of them. Declared after
    // the picture, so it stops before the memory goes.
    const ptrdiff_t rowBytes = target.stride < 0 ? -target.stride : target.stride;
    const size_t bytes = static_cast<size_t>(rowBytes) * info.image_height;
    PagesAhead pages(target.stride < 0 ? target.scan0 + rowBytes : target.scan0, bytes,
                     target.stride < 0);
    target.pages = &pages;

    if (!ReadRows(&decoder, &target))
        return JpegDecodeFailureStatus(decoder.errors);
    out = std::move(picture);
    return Ok;
}
