// libpng reports trouble through handlers of the caller's choosing. These two
// turn it into flags the codecs read back, so that nothing is printed and no
// error escapes as anything but a status.
#pragma once

#include <png.h>

// Passed to libpng as the error pointer of one read or write struct, so the
// record of one file never leaks into another.
struct PngErrorRecord {
    bool warned = false;
};

// Never returns: jumps back to the setjmp of the guarded call that is
// running. Only plain C frames and handlers without live C++ objects may lie
// between that setjmp and this handler.
[[noreturn]] void PngErrorHandler(png_structp png, png_const_charp message);

// Notes the warning in the struct's PngErrorRecord and lets libpng go on; the
// codec decides afterwards whether the result can be trusted.
void PngWarningHandler(png_structp png, png_const_charp message);
