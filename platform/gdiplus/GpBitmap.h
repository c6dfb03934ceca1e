// The library's bitmap object behind the opaque GpBitmap handle.
#pragma once

#include <memory>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"
#include "platform/win32/Gdi.h"

struct GpBitmap {
    static constexpr unsigned kMagic = 0x47504D42;  // "GPMB"
    unsigned magic = kMagic;

    // Pixels: either `storage`, or memory that the caller owns (`scan0`
    // then points there and stays valid for the bitmap's life).
    ImageBuffer storage;
    PixelFormat format = PixelFormatUndefined;
    UINT width = 0;
    UINT height = 0;
    INT stride = 0;
    BYTE* scan0 = nullptr;
    std::vector<ARGB> palette;
    UINT paletteFlags = 0;

    // Whether `storage` holds a DIB section's rows where they lie, which
    // the bitmap must copy before anything writes to it.
    bool sharesSection = false;

    // The open file a decoded bitmap came from, released on disposal.
    int fileDescriptor = -1;

    // Whether a lock is in progress, and for a lock in another format the
    // converted copy of the locked rectangle handed out (read only, dropped
    // at unlock). The rectangle itself is not kept: a lock in the bitmap's
    // own format hands out the bitmap's rows, so writes land in place.
    bool locked = false;
    std::vector<BYTE> lockBuffer;
    // Whether that lock hands out the bitmap's own rows, all of them.
    bool lockedAllRows = false;

    // A decoded bitmap's rows as offered to the next DIB section (see
    // OfferRowsToNextSection); null once the offer is settled.
    std::shared_ptr<SectionRows> offeredRows;

    // Takes the decoded pixels as the bitmap's own.
    void Adopt(ImageBuffer&& decoded);
    // Points the bitmap at the pixels already in `storage`.
    void UseStorage();
    // Gives the bitmap rows of its own where it shares a section's, as the
    // platform's bitmap made from a section has from the start.
    Status OwnRows();
    // Offers the decoded rows to the next DIB section created on this thread
    // where the section would hold them byte for byte and they lie as its
    // rows would.
    void OfferRowsToSection();
    ImageView View() const;
    BYTE* Row(UINT y) const { return scan0 + static_cast<long long>(y) * stride; }
};

// The bitmap behind a handle, or null for anything that is not one.
GpBitmap* BitmapFromHandle(GpImage* image);
