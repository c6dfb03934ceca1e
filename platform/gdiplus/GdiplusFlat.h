// The flat API of the codec library: bitmaps from files, over caller memory
// and from DIB sections; their format, size, palette and pixels; drawing one
// bitmap into another; the encoder list and saving.
#pragma once

#include "platform/gdiplus/GdiplusStartup.h"
#include "platform/gdiplus/GdiplusTypes.h"

Status GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap);
Status GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                 GpBitmap** bitmap);
Status GdipCreateBitmapFromHBITMAP(HBITMAP hbm, void* hpal, GpBitmap** bitmap);
Status GdipDisposeImage(GpImage* image);

Status GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
Status GdipGetImageWidth(GpImage* image, UINT* width);
Status GdipGetImageHeight(GpImage* image, UINT* height);
Status GdipGetImagePaletteSize(GpImage* image, INT* size);
Status GdipGetImagePalette(GpImage* image, ColorPalette* palette, INT size);

Status GdipBitmapLockBits(GpBitmap* bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                          BitmapData* lockedData);
Status GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* lockedData);

Status GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics);
Status GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y);
Status GdipDeleteGraphics(GpGraphics* graphics);

Status GdipGetImageEncodersSize(UINT* numEncoders, UINT* size);
Status GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders);
Status GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                           const EncoderParameters* encoderParams);

// A GpBitmap is a GpImage, as in the platform's class hierarchy.
inline GpImage* AsImage(GpBitmap* bitmap) {
    return reinterpret_cast<GpImage*>(bitmap);
}
