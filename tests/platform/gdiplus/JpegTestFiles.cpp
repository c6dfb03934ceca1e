#include "tests/platform/gdiplus/JpegTestFiles.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/gdiplus/JpegErrorManager.h"

namespace jpegtiff_test {
namespace {

// The DC scan, then the 63 AC coefficients: in bands while there are fewer
// scans than coefficients, else one coefficient a scan, with successive
// approximation (up to 10 refinement bits) soaking up the rest.
std::vector<jpeg_scan_info> ScanScript(int scans) {
    std::vector<jpeg_scan_info> script;
    script.push_back({1, {0}, 0, 0, 0, 0});
    const int bands = scans - 1;
    if (bands < 63) {
        for (int b = 0; b < bands; ++b) {
            script.push_back({1, {0}, 1 + 63 * b / bands, 63 * (b + 1) / bands, 0, 0});
        }
        return script;
    }
    int extra = bands - 63;
    for (int k = 1; k <= 63; ++k) {
        const int levels = std::min(10, extra);
        extra -= levels;
        script.push_back({1, {0}, k, k, 0, levels});
        for (int a = levels; a >= 1; --a)
            script.push_back({1, {0}, k, k, a, a - 1});
    }
    return script;
}

struct Writer {
    jpeg_compress_struct info;
    JpegErrorManager errors;
    unsigned char* output;
    unsigned long size;
};

// C-style, as in the codec: nothing with a destructor between setjmp and libjpeg.
bool Compress(Writer* writer, const JpegRecipe* recipe, BYTE* samples, const jpeg_scan_info* script,
              int scriptLength) {
    if (setjmp(writer->errors.jump))
        return false;
    j_compress_ptr info = &writer->info;
    jpeg_create_compress(info);
    jpeg_mem_dest(info, &writer->output, &writer->size);
    info->image_width = recipe->width;
    info->image_height = recipe->height;
    info->input_components = recipe->components;
    info->in_color_space = recipe->input;
    jpeg_set_defaults(info);
    jpeg_set_colorspace(info, recipe->stored);
    info->write_Adobe_marker = recipe->adobeMarker ? info->write_Adobe_marker : FALSE;
    jpeg_set_quality(info, recipe->quality, TRUE);
    if (recipe->progressive)
        jpeg_simple_progression(info);
    if (scriptLength > 0) {
        info->scan_info = script;
        info->num_scans = scriptLength;
    }
    jpeg_start_compress(info, TRUE);
    const size_t stride = static_cast<size_t>(recipe->width) * recipe->components;
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = samples + info->next_scanline * stride;
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

}  // namespace

Bytes WriteJpeg(const JpegRecipe& recipe) {
    std::vector<BYTE> samples(static_cast<size_t>(recipe.width) * recipe.height *
                              recipe.components);
    size_t i = 0;
    for (UINT y = 0; y < recipe.height; ++y) {
        for (UINT x = 0; x < recipe.width; ++x) {
            for (int s = 0; s < recipe.components; ++s)
                samples[i++] = recipe.sample(x, y, s);
        }
    }
    const std::vector<jpeg_scan_info> script =
        recipe.scans > 0 ? ScanScript(recipe.scans) : std::vector<jpeg_scan_info>{};
    Writer writer{};
    InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&writer.info), &writer.errors);
    const bool ok =
        Compress(&writer, &recipe, samples.data(), script.data(), static_cast<int>(script.size()));
    jpeg_destroy_compress(&writer.info);
    Bytes file;
    if (ok)
        file.assign(writer.output, writer.output + writer.size);
    std::free(writer.output);
    return file;
}

}  // namespace jpegtiff_test
