// Creating, querying, locking and disposing of the library's bitmaps.
#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/CodecRegistry.h"
#include "platform/gdiplus/FileIo.h"
#include "platform/gdiplus/GdiplusFlat.h"
#include "platform/gdiplus/GpBitmap.h"
#include "platform/gdiplus/PixelConversion.h"
#include "platform/win32/Gdi.h"

void GpBitmap::Adopt(ImageBuffer&& decoded) {
    storage = std::move(decoded);
    UseStorage();
}

void GpBitmap::UseStorage() {
    format = storage.Format();
    width = storage.Width();
    height = storage.Height();
    stride = storage.Stride();
    scan0 = storage.Row(0);
    palette = storage.Palette();
    paletteFlags = storage.PaletteFlags();
}

void GpBitmap::OfferRowsToSection() {
    // The formats whose pixels a section holds byte for byte, so that the
    // rows go into it by a row copy and never by drawing over what it holds.
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
        case PixelFormat24bppRGB:
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
            break;
        default:
            return;
    }
    if (!storage.HasRoomAboveTopRow() || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu)
        return;
    auto rows = std::make_shared<SectionRows>();
    rows->memory = storage.Memory();
    rows->lowestRow = storage.Row(height - 1);
    rows->width = static_cast<LONG>(width);
    rows->height = static_cast<LONG>(height);
    rows->bitCount = static_cast<WORD>(GetPixelFormatSize(format));
    rows->rowBytes = static_cast<size_t>(-static_cast<ptrdiff_t>(stride));
    offeredRows = rows;
    OfferRowsToNextSection(offeredRows);
}

Status GpBitmap::OwnRows() {
    if (!sharesSection)
        return Ok;
    ImageBuffer own;
    if (const Status status = own.Allocate(format, width, height); status != Ok)
        return status;
    const size_t bytes = (static_cast<size_t>(width) * GetPixelFormatSize(format) + 7) / 8;
    for (UINT y = 0; y < height; ++y)
        std::memcpy(own.Row(y), Row(y), bytes);
    try {
        own.Palette() = storage.Palette();
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    own.SetPaletteFlags(storage.PaletteFlags());
    storage = std::move(own);
    UseStorage();
    sharesSection = false;
    return Ok;
}

ImageView GpBitmap::View() const {
    ImageView view;
    view.format = format;
    view.width = width;
    view.height = height;
    view.stride = stride;
    view.scan0 = scan0;
    view.palette = palette.data();
    view.paletteCount = static_cast<UINT>(palette.size());
    view.paletteFlags = paletteFlags;
    return view;
}

GpBitmap* BitmapFromHandle(GpImage* image) {
    auto* bitmap = reinterpret_cast<GpBitmap*>(image);
    if (bitmap == nullptr || bitmap->magic != GpBitmap::kMagic)
        return nullptr;
    return bitmap;
}

namespace {

Status NewBitmap(GpBitmap** out, GpBitmap*& made) {
    if (out == nullptr)
        return InvalidParameter;
    *out = nullptr;
    made = new (std::nothrow) GpBitmap;
    return made == nullptr ? OutOfMemory : Ok;
}

}  // namespace

Status GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap) {
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    if (bitmap == nullptr)
        return InvalidParameter;
    *bitmap = nullptr;
    std::string name;
    if (!FileNameFromPath(filename, name))
        return InvalidParameter;

    int descriptor = -1;
    Status status;
    ImageBuffer decoded;
    {
        FileBytes bytes;
        status = ReadWholeFile(name, descriptor, bytes, PlaceBmpFile);
        if (status != Ok)
            return status;
        const CodecEntry* codec = FindCodecForData(bytes.Start(), bytes.size);
        if (codec == nullptr || codec->decode == nullptr) {
            status = UnknownImageFormat;
        } else if (codec->decodeFile != nullptr) {
            status = codec->decodeFile(bytes, decoded);
        } else {
            status = codec->decode(bytes.Start(), bytes.size, decoded);
        }
        // The file's bytes are released here; only the pixels stay.
    }
    GpBitmap* made = nullptr;
    if (status == Ok)
        status = NewBitmap(bitmap, made);
    if (status != Ok) {
        ::close(descriptor);
        return status;
    }
    made->Adopt(std::move(decoded));
    made->fileDescriptor = descriptor;
    try {
        made->OfferRowsToSection();
    } catch (const std::bad_alloc&) {
        // Without the offer a section gets memory of its own.
    }
    *bitmap = made;
    return Ok;
}

Status GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                 GpBitmap** bitmap) {
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    if (bitmap == nullptr)
        return InvalidParameter;
    *bitmap = nullptr;
    if (width <= 0 || height <= 0 || !IsReadableFormat(format))
        return InvalidParameter;
    const unsigned long long needed =
        (static_cast<unsigned long long>(width) * GetPixelFormatSize(format) + 7) / 8;
    GpBitmap* made = nullptr;
    if (scan0 == nullptr) {
        Status status = NewBitmap(bitmap, made);
        if (status != Ok)
            return status;
        status =
            made->storage.Allocate(format, static_cast<UINT>(width), static_cast<UINT>(height));
        if (status != Ok) {
            delete made;
            return status;
        }
        made->UseStorage();
    } else {
        // Caller memory: rows a whole number of 32-bit words apart, either way.
        const long long magnitude = stride < 0 ? -static_cast<long long>(stride) : stride;
        if (stride % 4 != 0 || static_cast<unsigned long long>(magnitude) < needed) {
            return InvalidParameter;
        }
        Status status = NewBitmap(bitmap, made);
        if (status != Ok)
            return status;
        made->format = format;
        made->width = static_cast<UINT>(width);
        made->height = static_cast<UINT>(height);
        made->stride = stride;
        made->scan0 = scan0;
    }
    if (IsIndexedPixelFormat(format)) {
        // A new indexed bitmap has a black palette of its depth, as the platform's.
        made->palette.assign(1u << GetPixelFormatSize(format), 0xFF000000u);
    }
    *bitmap = made;
    return Ok;
}

namespace {

// The library's format for a section, or 0 when the section needs converting.
PixelFormat FormatOfSection(const DIBSECTION& ds) {
    const BITMAPINFOHEADER& h = ds.dsBmih;
    const bool bitfields = h.biCompression == BI_BITFIELDS;
    switch (h.biBitCount) {
        case 1:
            return PixelFormat1bppIndexed;
        case 4:
            return PixelFormat4bppIndexed;
        case 8:
            return PixelFormat8bppIndexed;
        case 16:
            if (!bitfields)
                return PixelFormat16bppRGB555;
            if (ds.dsBitfields[0] == 0x7C00 && ds.dsBitfields[1] == 0x03E0 &&
                ds.dsBitfields[2] == 0x001F) {
                return PixelFormat16bppRGB555;
            }
            if (ds.dsBitfields[0] == 0xF800 && ds.dsBitfields[1] == 0x07E0 &&
                ds.dsBitfields[2] == 0x001F) {
                return PixelFormat16bppRGB565;
            }
            return 0;
        case 24:
            return PixelFormat24bppRGB;
        case 32:
            if (!bitfields || (ds.dsBitfields[0] == 0xFF0000 && ds.dsBitfields[1] == 0xFF00 &&
                               ds.dsBitfields[2] == 0xFF)) {
                return PixelFormat32bppRGB;
            }
            return 0;
        default:
            return 0;
    }
}

}  // namespace

Status GdipCreateBitmapFromHBITMAP(HBITMAP hbm, void* hpal, GpBitmap** bitmap) {
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    if (bitmap == nullptr || hpal != nullptr)
        return InvalidParameter;
    *bitmap = nullptr;
    DIBSECTION ds;
    if (GetObjectA(hbm, sizeof(ds), &ds) != sizeof(ds) || ds.dsBm.bmBits == nullptr) {
        return InvalidParameter;
    }
    const PixelFormat format = FormatOfSection(ds);
    const UINT width = static_cast<UINT>(ds.dsBm.bmWidth);
    const UINT height = static_cast<UINT>(ds.dsBm.bmHeight);
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    const LONG rowBytes = ds.dsBm.bmWidthBytes;

    GpBitmap* made = nullptr;
    Status status = NewBitmap(bitmap, made);
    if (status != Ok)
        return status;
    ImageBuffer& pixels = made->storage;
    if (format != 0) {
        // The section holds the pixels byte for byte: the bitmap reads them
        // where they lie, holding the section's memory, and copies them only
        // before it is first written to (see GpBitmap::OwnRows). The caller
        // leaves the section as it is while the bitmap lives, as the image
        // layer does when it saves a section.
        const size_t bytes = static_cast<size_t>(rowBytes) * height;
        status = pixels.AdoptRows(SectionBits(hbm), bytes, format, width, height,
                                  bottomUp ? bytes - static_cast<size_t>(rowBytes) : 0,
                                  bottomUp ? -rowBytes : rowBytes);
        made->sharesSection = true;
    } else {
        status = pixels.Allocate(PixelFormat32bppRGB, width, height);
    }
    if (status != Ok) {
        delete made;
        return status;
    }
    if (format == 0) {
        // Other bit-field layouts are read through the platform's pixel calls.
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, hbm);
        if (previous == nullptr) {
            DeleteDC(dc);
            delete made;
            return ObjectBusy;
        }
        for (UINT y = 0; y < height; ++y) {
            BYTE* row = pixels.Row(y);
            for (UINT x = 0; x < width; ++x) {
                const COLORREF c = GetPixel(dc, static_cast<int>(x), static_cast<int>(y));
                row[4 * x] = GetBValue(c);
                row[4 * x + 1] = GetGValue(c);
                row[4 * x + 2] = GetRValue(c);
                row[4 * x + 3] = 0xFF;
            }
        }
        SelectObject(dc, previous);
        DeleteDC(dc);
    }
    if (format != 0 && IsIndexedPixelFormat(format)) {
        // The colour table comes with the section, as opaque palette entries.
        RGBQUAD table[256];
        const UINT count = 1u << GetPixelFormatSize(format);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, hbm);
        const UINT read = previous != nullptr ? GetDIBColorTable(dc, 0, count, table) : 0;
        if (previous != nullptr)
            SelectObject(dc, previous);
        DeleteDC(dc);
        if (read != count) {
            delete made;
            return ObjectBusy;
        }
        pixels.Palette().resize(count);
        for (UINT i = 0; i < count; ++i) {
            pixels.Palette()[i] = 0xFF000000u | (DWORD(table[i].rgbRed) << 16) |
                                  (DWORD(table[i].rgbGreen) << 8) | table[i].rgbBlue;
        }
    }
    made->UseStorage();
    *bitmap = made;
    return Ok;
}

Status GdipDisposeImage(GpImage* image) {
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr)
        return InvalidParameter;
    if (bitmap->fileDescriptor >= 0)
        ::close(bitmap->fileDescriptor);
    bitmap->magic = 0;
    delete bitmap;
    return Ok;
}

Status GdipGetImagePixelFormat(GpImage* image, PixelFormat* format) {
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr || format == nullptr)
        return InvalidParameter;
    *format = bitmap->format;
    return Ok;
}

Status GdipGetImageWidth(GpImage* image, UINT* width) {
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr || width == nullptr)
        return InvalidParameter;
    *width = bitmap->width;
    return Ok;
}

Status GdipGetImageHeight(GpImage* image, UINT* height) {
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr || height == nullptr)
        return InvalidParameter;
    *height = bitmap->height;
    return Ok;
}

namespace {
// A ColorPalette record: flags, count, then count entries.
INT PaletteRecordSize(UINT count) {
    return static_cast<INT>(offsetof(ColorPalette, Entries) + sizeof(ARGB) * count);
}
}  // namespace

Status GdipGetImagePaletteSize(GpImage* image, INT* size) {
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr || size == nullptr)
        return InvalidParameter;
    *size = PaletteRecordSize(static_cast<UINT>(bitmap->palette.size()));
    return Ok;
}

Status GdipGetImagePalette(GpImage* image, ColorPalette* palette, INT size) {
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr || palette == nullptr)
        return InvalidParameter;
    const UINT count = static_cast<UINT>(bitmap->palette.size());
    if (size < PaletteRecordSize(count))
        return InvalidParameter;
    palette->Flags = bitmap->paletteFlags;
    palette->Count = count;
    std::memcpy(palette->Entries, bitmap->palette.data(), count * sizeof(ARGB));
    return Ok;
}

Status GdipBitmapLockBits(GpBitmap* bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                          BitmapData* lockedData) {
    if (BitmapFromHandle(AsImage(bitmap)) == nullptr || lockedData == nullptr) {
        return InvalidParameter;
    }
    if (bitmap->locked)
        return WrongState;
    GpRect area{0, 0, static_cast<INT>(bitmap->width), static_cast<INT>(bitmap->height)};
    if (rect != nullptr)
        area = *rect;
    if (area.X < 0 || area.Y < 0 || area.Width <= 0 || area.Height <= 0 ||
        static_cast<UINT>(area.X) + static_cast<UINT>(area.Width) > bitmap->width ||
        static_cast<UINT>(area.Y) + static_cast<UINT>(area.Height) > bitmap->height) {
        return InvalidParameter;
    }
    const UINT bits = GetPixelFormatSize(bitmap->format);
    lockedData->Width = static_cast<UINT>(area.Width);
    lockedData->Height = static_cast<UINT>(area.Height);
    lockedData->PixelFormat = format;
    lockedData->Reserved = flags;
    if (format == bitmap->format) {
        // Indexed rows can only be handed out from a whole byte on.
        if ((static_cast<UINT>(area.X) * bits) % 8 != 0)
            return InvalidParameter;
        if ((flags & ImageLockModeWrite) != 0) {
            if (const Status status = bitmap->OwnRows(); status != Ok)
                return status;
        }
        lockedData->Stride = bitmap->stride;
        lockedData->Scan0 = bitmap->Row(static_cast<UINT>(area.Y)) + area.X * bits / 8;
        bitmap->lockedAllRows = area.X == 0 && area.Y == 0 &&
                                static_cast<UINT>(area.Width) == bitmap->width &&
                                static_cast<UINT>(area.Height) == bitmap->height;
    } else {
        // Another format: a converted copy, for reading only.
        if ((flags & ImageLockModeWrite) != 0)
            return NotImplemented;
        const unsigned long long stride = StrideFor(format, static_cast<UINT>(area.Width));
        if (!IsWritableFormat(format))
            return InvalidParameter;
        try {
            bitmap->lockBuffer.assign(stride * static_cast<UINT>(area.Height), 0);
        } catch (const std::bad_alloc&) {
            return OutOfMemory;
        }
        std::vector<ARGB> row(bitmap->width);
        const ImageView view = bitmap->View();
        for (INT y = 0; y < area.Height; ++y) {
            ReadRowArgb(view, static_cast<UINT>(area.Y + y), row.data());
            WriteRowArgb(row.data() + area.X, static_cast<UINT>(area.Width), format,
                         bitmap->lockBuffer.data() + stride * static_cast<UINT>(y));
        }
        lockedData->Stride = static_cast<INT>(stride);
        lockedData->Scan0 = bitmap->lockBuffer.data();
    }
    bitmap->locked = true;
    return Ok;
}

Status GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* lockedData) {
    if (BitmapFromHandle(AsImage(bitmap)) == nullptr || lockedData == nullptr) {
        return InvalidParameter;
    }
    if (!bitmap->locked)
        return WrongState;
    bitmap->locked = false;
    bitmap->lockBuffer.clear();
    bitmap->lockBuffer.shrink_to_fit();
    if (bitmap->lockedAllRows && bitmap->offeredRows != nullptr &&
        bitmap->offeredRows->takenAt != nullptr) {
        // A section took this bitmap's rows, and the caller has just had all
        // of them in the bitmap's own format: the one use of that is to copy
        // the picture into that section, top row first, which moved each row
        // up by one row into the section's rows. The picture lies there now,
        // so the bitmap reads it from there; bitmap and section then show one
        // picture in one block, held by both, which stays valid for the
        // section when the bitmap goes. Writes to either show in the other:
        // the image layer reads the bitmap only for that copy and disposes
        // of it right after, so nothing it still uses changes. The block is
        // memory of the process, never a mapping of the file, so a write
        // reaches neither the file nor a later decode of it.
        bitmap->scan0 = bitmap->offeredRows->takenAt +
                        static_cast<ptrdiff_t>(bitmap->height - 1) * bitmap->offeredRows->rowBytes;
        bitmap->offeredRows.reset();
    }
    bitmap->lockedAllRows = false;
    return Ok;
}
