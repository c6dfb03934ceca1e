// Owns one bitmap of the codec library and the status of the last call on it
// that failed.
#pragma once

#include "GdiplusApi.h"

class CGdipBitmap {
public:
    struct FromFile {
        const WCHAR* path;
    };
    struct OverMemory {
        INT width;
        INT height;
        INT stride;
        PixelFormat format;
        BYTE* firstRow;
    };
    struct FromSection {
        HBITMAP section;
    };

    // Decodes a file; the file stays open until the bitmap is disposed of.
    explicit CGdipBitmap(const FromFile& file);
    // A bitmap that draws into memory the caller owns and keeps owning.
    explicit CGdipBitmap(const OverMemory& memory);
    // A copy of a section's pixels at its depth, with its colour table.
    explicit CGdipBitmap(const FromSection& section);
    CGdipBitmap(const CGdipBitmap&) = delete;
    CGdipBitmap& operator=(const CGdipBitmap&) = delete;
    ~CGdipBitmap();

    GpBitmap* Handle() const { return m_handle; }
    GpImage* Image() const { return AsImage(m_handle); }
    Status GetStatus() const { return m_status; }
    // Records a call's status when it is not Ok and passes it on.
    Status Check(Status status) {
        if (status != Ok)
            m_status = status;
        return status;
    }

private:
    GpBitmap* m_handle = nullptr;
    Status m_status = Ok;
};
