#include "platform/gdiplus/CodecRegistry.h"

const std::vector<CodecEntry>& Codecs() {
    static const std::vector<CodecEntry> codecs = {};
    return codecs;
}

const CodecEntry* FindCodecForData(const BYTE* data, size_t size) {
    for (const CodecEntry& codec : Codecs()) {
        if (codec.sniff != nullptr && codec.sniff(data, size)) return &codec;
    }
    return nullptr;
}
