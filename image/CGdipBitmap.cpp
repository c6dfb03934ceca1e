#include "image/CGdipBitmap.h"

CGdipBitmap::CGdipBitmap(const FromFile& file) {
    Check(GdipCreateBitmapFromFile(file.path, &m_handle));
}

CGdipBitmap::CGdipBitmap(const OverMemory& memory) {
    Check(GdipCreateBitmapFromScan0(memory.width, memory.height, memory.stride, memory.format,
                                    memory.firstRow, &m_handle));
}

CGdipBitmap::CGdipBitmap(const FromSection& section) {
    Check(GdipCreateBitmapFromHBITMAP(section.section, nullptr, &m_handle));
}

CGdipBitmap::~CGdipBitmap() {
    if (m_handle != nullptr)
        GdipDisposeImage(Image());
}
