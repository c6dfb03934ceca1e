#include "platform/gdiplus/ParallelDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Deflate looks back this far: the data a part is primed with.
constexpr size_t kWindowBytes = 32768;
// Records are made and deflated about this many bytes at a time, so that a
// part never holds more than this of its input.
constexpr size_t kBatchBytes = 256 * 1024;
// zlib takes at most this much at once (its counts are 32 bits).
constexpr size_t kMostAtOnce = size_t{1} << 30;

struct Job {
    size_t recordBytes;
    int level;
    int strategy;
    const RecordSource* source;
};

struct Part {
    size_t first = 0;  // records
    size_t count = 0;
    bool last = false;
    std::vector<BYTE> deflated;
    uLong adler = 1;  // the Adler-32 of no data
    Status status = Ok;
};

class RawDeflater {
public:
    ~RawDeflater() {
        if (started_)
            deflateEnd(&z_);
    }
    int Start(int level, int strategy) {
        const int result = deflateInit2(&z_, level, Z_DEFLATED, -15, 8, strategy);
        started_ = result == Z_OK;
        return result;
    }
    z_stream& Z() { return z_; }

private:
    z_stream z_{};
    bool started_ = false;
};

// Deflates `size` bytes with `flush` onto out[0, used), growing it as needed.
Status Feed(z_stream& z, const BYTE* data, size_t size, int flush, std::vector<BYTE>& out,
            size_t& used) {
    do {
        const size_t slice = std::min(size, kMostAtOnce);
        const int mode = slice == size ? flush : Z_NO_FLUSH;
        z.next_in = const_cast<BYTE*>(data);
        z.avail_in = static_cast<uInt>(slice);
        data += slice;
        size -= slice;
        // As zlib's own example does: call again while the output fills up.
        do {
            if (used == out.size())
                out.resize(out.size() + out.size() / 2 + 65536);
            const size_t room = std::min(out.size() - used, kMostAtOnce);
            z.next_out = out.data() + used;
            z.avail_out = static_cast<uInt>(room);
            if (deflate(&z, mode) == Z_STREAM_ERROR)
                return GenericError;
            used += room - z.avail_out;
        } while (z.avail_out == 0);
    } while (size > 0);
    return Ok;
}

Status DeflatePart(const Job& job, Part& part) {
    RawDeflater deflater;
    const int started = deflater.Start(job.level, job.strategy);
    if (started != Z_OK)
        return started == Z_MEM_ERROR ? OutOfMemory : GenericError;
    z_stream& z = deflater.Z();
    const size_t perBatch = std::max<size_t>(1, kBatchBytes / job.recordBytes);
    const size_t primingRecords =
        std::min(part.first, (kWindowBytes + job.recordBytes - 1) / job.recordBytes);
    std::vector<BYTE> batch(std::max(std::min(perBatch, part.count), primingRecords) *
                            job.recordBytes);
    if (primingRecords > 0) {
        // The inflater has just written the data before this part, so matches
        // may reach back into it as into the part itself.
        if (!(*job.source)(part.first - primingRecords, primingRecords, batch.data()))
            return OutOfMemory;
        const size_t bytes = primingRecords * job.recordBytes;
        const size_t kept = std::min(bytes, kWindowBytes);
        if (deflateSetDictionary(&z, batch.data() + bytes - kept, static_cast<uInt>(kept)) != Z_OK)
            return GenericError;
    }
    part.deflated.resize(part.count * job.recordBytes / 4 + 65536);
    size_t used = 0;
    for (size_t done = 0; done < part.count;) {
        const size_t count = std::min(perBatch, part.count - done);
        const size_t bytes = count * job.recordBytes;
        if (!(*job.source)(part.first + done, count, batch.data()))
            return OutOfMemory;
        part.adler = adler32_z(part.adler, batch.data(), bytes);
        done += count;
        // A sync flush ends the part on a byte boundary without ending the
        // stream; only the last part has the final block.
        const int flush = done < part.count ? Z_NO_FLUSH : part.last ? Z_FINISH : Z_SYNC_FLUSH;
        const Status status = Feed(z, batch.data(), bytes, flush, part.deflated, used);
        if (status != Ok)
            return status;
    }
    part.deflated.resize(used);
    return Ok;
}

void RunPart(const Job& job, Part& part) noexcept {
    try {
        part.status = DeflatePart(job, part);
    } catch (const std::bad_alloc&) {
        part.status = OutOfMemory;
    }
}

// The two bytes zlib itself would write: a 32 KiB window and the level hint.
void AppendZlibHeader(int level, int strategy, std::vector<BYTE>& stream) {
    const unsigned levelHint = strategy >= Z_HUFFMAN_ONLY || (level >= 0 && level < 2) ? 0
                               : level >= 0 && level < 6                               ? 1
                               : level < 0 || level == 6                               ? 2
                                                                                       : 3;
    unsigned header = ((Z_DEFLATED + ((15 - 8) << 4)) << 8) | (levelHint << 6);
    header += 31 - header % 31;
    stream.push_back(static_cast<BYTE>(header >> 8));
    stream.push_back(static_cast<BYTE>(header));
}

}  // namespace

size_t DeflatePartsFor(size_t bytes) {
    return std::clamp<size_t>(bytes / kMinDeflatePartBytes, 1, kMostDeflateParts);
}

Status DeflateInParts(size_t records, size_t recordBytes, int level, int strategy,
                      const RecordSource& source, size_t parts, std::vector<BYTE>& stream) {
    if (records == 0 || recordBytes == 0)
        return InvalidParameter;
    parts = std::clamp<size_t>(parts, 1, records);
    const Job job{recordBytes, level, strategy, &source};
    std::vector<Part> slices;
    std::vector<std::thread> threads;
    std::vector<size_t> leftOver;
    try {
        slices.resize(parts);
        threads.reserve(parts);
        leftOver.reserve(parts);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    for (size_t k = 0; k < parts; ++k) {
        slices[k].first = records / parts * k + std::min(k, records % parts);
        slices[k].count = records / parts + (k < records % parts ? 1 : 0);
        slices[k].last = k + 1 == parts;
    }
    for (size_t k = 1; k < parts; ++k) {
        try {
            threads.emplace_back(RunPart, std::cref(job), std::ref(slices[k]));
        } catch (const std::system_error&) {
            leftOver.push_back(k);
        }
    }
    RunPart(job, slices[0]);
    for (const size_t k : leftOver)
        RunPart(job, slices[k]);
    for (std::thread& thread : threads)
        thread.join();

    Status status = Ok;
    for (const Part& part : slices) {
        if (part.status != Ok && status != OutOfMemory)
            status = part.status;
    }
    if (status != Ok)
        return status;
    std::vector<BYTE> joined;
    try {
        size_t size = 6;
        for (const Part& part : slices)
            size += part.deflated.size();
        joined.reserve(size);
        AppendZlibHeader(level, strategy, joined);
        uLong adler = slices[0].adler;
        for (const Part& part : slices) {
            joined.insert(joined.end(), part.deflated.begin(), part.deflated.end());
            if (&part != &slices[0]) {
                adler = adler32_combine(adler, part.adler,
                                        static_cast<z_off_t>(part.count * recordBytes));
            }
        }
        for (int shift = 24; shift >= 0; shift -= 8)
            joined.push_back(static_cast<BYTE>(adler >> shift));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    stream.swap(joined);
    return Ok;
}
