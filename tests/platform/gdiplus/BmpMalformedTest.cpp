// Bitmaps cut short at each part of the file, kept under
// tests/data/bmp/malformed: every one is malformed, none unsupported.
#include <gtest/gtest.h>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace {

using jpegtiff_test::Bytes;
using jpegtiff_test::ExpectMalformedFixtures;

Status Decode(const Bytes& file) {
    ImageBuffer picture;
    return DecodeBmp(file.data(), file.size(), picture);
}

}  // namespace

TEST(BmpDecoder, GivesEachMalformedFixtureItsStatus) {
    ExpectMalformedFixtures("bmp", Decode,
                            {{"info_header_cut_short.bmp", GenericError},
                             {"colour_table_cut_short.bmp", GenericError},
                             {"pixels_cut_short.bmp", GenericError}});
}
