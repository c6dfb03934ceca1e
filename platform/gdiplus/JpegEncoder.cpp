#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <jerror.h>

#include "platform/gdiplus/JpegCodec.h"
#include "platform/gdiplus/JpegErrorManager.h"
#include "platform/gdiplus/PixelConversion.h"

namespace {

constexpr int kQuality = 75;
// The largest side libjpeg writes (JPEG_MAX_DIMENSION).
constexpr UINT kMaxSide = 65500;
constexpr size_t kFirstOutputBytes = 64 * 1024;

// ARGB values in memory are B, G, R, A bytes on the little-endian machines we
// build for, which is libjpeg-turbo's BGRX input layout.
static_assert(std::endian::native == std::endian::little);

// A growing malloc'd buffer that libjpeg writes into. Ours rather than
// jpeg_mem_dest, whose buffer leaks when an error ends the compression.
struct JpegSink {
    jpeg_destination_mgr library;  // first, so libjpeg's pointer converts back
    BYTE* data;
    size_t capacity;
    size_t size;
};

struct JpegEncoder {
    jpeg_compress_struct info;
    JpegErrorManager errors;
    JpegSink sink;
};

struct RowSource {
    const ImageView* image;
    bool grey;
    // The picture's own rows are B, G, R (24bppRGB) or B, G, R, X (32 bits
    // without premultiplied alpha): libjpeg-turbo reads them where they are.
    bool direct;
    ARGB* argbRow;
    BYTE* greyRow;
};

JpegSink* SinkOf(j_compress_ptr info) {
    return reinterpret_cast<JpegSink*>(info->dest);
}

void StartSink(j_compress_ptr info) {
    JpegSink* sink = SinkOf(info);
    sink->data = static_cast<BYTE*>(std::malloc(kFirstOutputBytes));
    if (sink->data == nullptr) {
        info->err->msg_code = JERR_OUT_OF_MEMORY;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    sink->capacity = kFirstOutputBytes;
    sink->size = 0;
    sink->library.next_output_byte = sink->data;
    sink->library.free_in_buffer = sink->capacity;
}

// Called when the whole buffer is full; libjpeg has not updated any count.
boolean GrowSink(j_compress_ptr info) {
    JpegSink* sink = SinkOf(info);
    const size_t grown = sink->capacity * 2;
    BYTE* data = static_cast<BYTE*>(std::realloc(sink->data, grown));
    if (data == nullptr) {
        info->err->msg_code = JERR_OUT_OF_MEMORY;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    sink->data = data;
    sink->library.next_output_byte = data + sink->capacity;
    sink->library.free_in_buffer = grown - sink->capacity;
    sink->capacity = grown;
    return TRUE;
}

void FinishSink(j_compress_ptr info) {
    JpegSink* sink = SinkOf(info);
    sink->size = sink->capacity - sink->library.free_in_buffer;
}

// Greyscale output keeps an indexed picture whose colours are all grey from
// growing two chroma planes that would hold nothing.
bool HasGreyPalette(const ImageView& image) {
    if (!IsIndexedPixelFormat(image.format) || image.paletteCount == 0)
        return false;
    for (UINT i = 0; i < image.paletteCount; ++i) {
        const ARGB c = image.palette[i];
        const UINT r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        if (r != g || g != b)
            return false;
    }
    return true;
}

// C-style: no objects with destructors, so a longjmp from libjpeg skips nothing.
bool Compress(JpegEncoder* encoder, const RowSource* source) {
    if (setjmp(encoder->errors.jump))
        return false;
    j_compress_ptr info = &encoder->info;
    jpeg_create_compress(info);
    encoder->sink.library.init_destination = StartSink;
    encoder->sink.library.empty_output_buffer = GrowSink;
    encoder->sink.library.term_destination = FinishSink;
    info->dest = &encoder->sink.library;

    const ImageView& image = *source->image;
    info->image_width = image.width;
    info->image_height = image.height;
    const bool bgr = source->direct && image.format == PixelFormat24bppRGB;
    info->input_components = source->grey ? 1 : bgr ? 3 : 4;
    info->in_color_space = source->grey ? JCS_GRAYSCALE : bgr ? JCS_EXT_BGR : JCS_EXT_BGRX;
    // Defaults: JFIF, YCbCr with 2x2 luma against 1x1 chroma (4:2:0), the
    // accurate integer DCT (SIMD in libjpeg-turbo, so little slower than the
    // fast one) and the standard Huffman tables.
    jpeg_set_defaults(info);
    jpeg_set_quality(info, kQuality, TRUE);
    jpeg_start_compress(info, TRUE);
    for (UINT y = 0; y < image.height; ++y) {
        if (source->direct) {
            JSAMPROW row = const_cast<BYTE*>(image.Row(y));
            jpeg_write_scanlines(info, &row, 1);
            continue;
        }
        ReadRowArgb(image, y, source->argbRow);
        JSAMPROW row = reinterpret_cast<JSAMPROW>(source->argbRow);
        if (source->grey) {
            // Every palette entry is grey, so any one channel is the level.
            for (UINT x = 0; x < image.width; ++x) {
                source->greyRow[x] = static_cast<BYTE>(source->argbRow[x]);
            }
            row = source->greyRow;
        }
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

struct CompressGuard {
    JpegEncoder* encoder;
    ~CompressGuard() {
        jpeg_destroy_compress(&encoder->info);
        std::free(encoder->sink.data);
    }
};

}  // namespace

Status EncodeJpeg(const ImageView& image, std::vector<BYTE>& out) {
    if (image.scan0 == nullptr || image.width == 0 || image.height == 0 ||
        !IsReadableFormat(image.format)) {
        return InvalidParameter;
    }
    if (image.width > kMaxSide || image.height > kMaxSide)
        return ValueOverflow;

    RowSource source{};
    source.image = &image;
    source.grey = image.format == PixelFormat16bppGrayScale || HasGreyPalette(image);
    source.direct = image.format == PixelFormat24bppRGB || image.format == PixelFormat32bppRGB ||
                    image.format == PixelFormat32bppARGB;
    std::vector<ARGB> argbRow;
    std::vector<BYTE> greyRow;
    try {
        argbRow.resize(image.width);
        if (source.grey)
            greyRow.resize(image.width);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    source.argbRow = argbRow.data();
    source.greyRow = greyRow.data();

    JpegEncoder encoder{};
    InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&encoder.info), &encoder.errors);
    CompressGuard guard{&encoder};
    if (!Compress(&encoder, &source)) {
        return encoder.errors.msgCode == JERR_OUT_OF_MEMORY ? OutOfMemory : GenericError;
    }
    try {
        out.assign(encoder.sink.data, encoder.sink.data + encoder.sink.size);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    return Ok;
}
