// libjpeg's error handling for the codec library. libjpeg reports errors by
// calling error_exit, which must not return; ours longjmps back to the setjmp
// of the small C-style function that called into the library. Warnings end
// the operation the same way: libjpeg warns where the data is damaged and
// would go on to fill the missing part with grey.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "platform/gdiplus/GdiplusTypes.h"

enum class JpegFailure : int {
    kNone,
    kError,         // libjpeg's error_exit; msgCode says which
    kWarning,       // damaged data that libjpeg would have papered over
    kTooManyScans,  // more scans than any sensible progression needs
};

// Plain data only: a longjmp may leave it at any time.
struct JpegErrorManager {
    jpeg_error_mgr library;  // first, so libjpeg's pointer converts back
    std::jmp_buf jump;
    JpegFailure failure;
    int msgCode;
};

// Points cinfo->err at `manager` with our handlers. Call before
// jpeg_create_compress/decompress, from the function that owns the setjmp.
void InstallJpegErrorManager(jpeg_common_struct* cinfo, JpegErrorManager* manager);

// Ends the current libjpeg operation with `failure`; does not return.
[[noreturn]] void FailJpeg(jpeg_common_struct* cinfo, JpegFailure failure);

// The status that a failed decode reports.
Status JpegDecodeFailureStatus(const JpegErrorManager& manager);
