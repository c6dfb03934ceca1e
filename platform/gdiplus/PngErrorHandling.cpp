#include "platform/gdiplus/PngErrorHandling.h"

void PngErrorHandler(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}

void PngWarningHandler(png_structp png, png_const_charp /*message*/) {
    auto* record = static_cast<PngErrorRecord*>(png_get_error_ptr(png));
    if (record != nullptr)
        record->warned = true;
}
