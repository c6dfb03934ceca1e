#include "platform/gdiplus/CodecRegistry.h"

namespace {
std::vector<CodecEntry>& Registry() {
    static std::vector<CodecEntry> codecs = {};
    return codecs;
}
}  // namespace

const std::vector<CodecEntry>& Codecs() { return Registry(); }

namespace gdiplus_testing {
void AddCodec(const CodecEntry& entry) { Registry().push_back(entry); }
}  // namespace gdiplus_testing

const CodecEntry* FindCodecForData(const BYTE* data, size_t size) {
    for (const CodecEntry& codec : Codecs()) {
        if (codec.sniff != nullptr && codec.sniff(data, size)) return &codec;
    }
    return nullptr;
}
