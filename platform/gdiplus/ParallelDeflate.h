// One zlib stream deflated in parts at once, as parallel gzip tools do: each
// part is raw deflate, primed with the last 32 KiB of the data before it and
// ended with a sync flush (the last with the final block), so that the parts
// joined behind the zlib header, with the Adler-32 of the whole data after
// them, are an ordinary stream that any inflater reads.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/gdiplus/GdiplusTypes.h"

// Below this many bytes a part costs more than it saves.
constexpr size_t kMinDeflatePartBytes = size_t{1} << 20;
// The number of parts depends on the data alone, never on the machine, so
// that a file is written byte for byte the same everywhere; beyond this many
// the threads only queue up on a desktop machine.
constexpr size_t kMostDeflateParts = 8;

// The parts `bytes` bytes of data are deflated in: one per
// kMinDeflatePartBytes, at least 1 and at most kMostDeflateParts.
size_t DeflatePartsFor(size_t bytes);

// Writes records [first, first + count) into `out`, count * recordBytes
// bytes. Called from several threads at once, for any range in any order, so
// it must give the same bytes for a record whenever it is asked. Returns
// false when memory runs out.
using RecordSource = std::function<bool(size_t first, size_t count, BYTE* out)>;

// Deflates `records` records of `recordBytes` bytes each, read from `source`,
// into one zlib stream at zlib's `level` and `strategy`, in `parts` parts of
// whole records deflated on threads of their own (the first on the calling
// thread; a part whose thread cannot be started runs there too). Returns Ok,
// OutOfMemory when memory runs out (zlib's or ours), GenericError if zlib
// fails otherwise. `stream` is changed only on success.
Status DeflateInParts(size_t records, size_t recordBytes, int level, int strategy,
                      const RecordSource& source, size_t parts, std::vector<BYTE>& stream);
