// Saving a bitmap with the encoder of a class id. The file under the target
// name is replaced only by a complete file (see WriteWholeFileReplacing).
#include <new>
#include <string>
#include <vector>

#include "platform/gdiplus/CodecRegistry.h"
#include "platform/gdiplus/FileIo.h"
#include "platform/gdiplus/GdiplusFlat.h"
#include "platform/gdiplus/GpBitmap.h"

Status GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                           const EncoderParameters* encoderParams) {
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    GpBitmap* bitmap = BitmapFromHandle(image);
    if (bitmap == nullptr || clsidEncoder == nullptr)
        return InvalidParameter;
    // None of our encoders takes parameters.
    if (encoderParams != nullptr)
        return NotImplemented;
    const CodecEntry* encoder = nullptr;
    for (const CodecEntry& codec : Codecs()) {
        if (codec.clsid == *clsidEncoder)
            encoder = &codec;
    }
    if (encoder == nullptr)
        return FileNotFound;
    if (encoder->encode == nullptr)
        return NotImplemented;
    std::string name;
    if (!FileNameFromPath(filename, name))
        return InvalidParameter;
    if (bitmap->locked)
        return WrongState;

    EncodedFile encoded;
    Status status;
    try {
        status = encoder->encodeFile != nullptr ? encoder->encodeFile(bitmap->View(), encoded)
                                                : encoder->encode(bitmap->View(), encoded.Head());
    } catch (const std::bad_alloc&) {
        status = OutOfMemory;
    }
    if (status != Ok)
        return status;
    return WriteWholeFileReplacing(name, encoded);
}
