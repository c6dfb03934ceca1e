#include "platform/gdiplus/PngIdatPipeline.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kUint31Max = 0x7FFFFFFF;
// libpng reads IDAT data in pieces of at most this many bytes (its
// IDAT_read_size), each piece counted from the start of its chunk.
constexpr size_t kReadPiece = 8192;
// After the last row libpng inflates into a buffer of this size to look for
// the stream's end.
constexpr size_t kEndCheckBytes = 1024;
// Room for the filtered rows between the two stages.
constexpr size_t kRingBytes = size_t{2} << 20;

uint32_t BigEndian32(const BYTE* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

bool IsLetter(BYTE c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The chunks of the in-memory file from a given offset, read and checked
// as libpng's sequential reader reads and checks them.
class ChunkReader {
public:
    ChunkReader(const BYTE* data, size_t size, size_t offset, uint32_t chunkMax, uint64_t idatMax)
        : data_(data), size_(size), offset_(offset), chunkMax_(chunkMax), idatMax_(idatMax) {}

    // Continues the chunk whose header libpng has read.
    void ResumeChunk(const char* name, uint32_t length) {
        std::memcpy(name_, name, 4);
        length_ = length;
        crc_ = crc32(0, reinterpret_cast<const BYTE*>(name), 4);
    }

    // Reads the next chunk's header: false when it is cut short, its length
    // is beyond 2^31 - 1 or the chunk's limit, or its type is not four letters.
    bool ReadHeader() {
        if (size_ - offset_ < 8)
            return false;
        const BYTE* p = data_ + offset_;
        length_ = BigEndian32(p);
        if (length_ > kUint31Max)
            return false;
        for (int i = 0; i < 4; ++i) {
            if (!IsLetter(p[4 + i]))
                return false;
        }
        std::memcpy(name_, p + 4, 4);
        const uint64_t limit = Is("IDAT") ? std::max<uint64_t>(chunkMax_, idatMax_) : chunkMax_;
        if (length_ > limit)
            return false;
        crc_ = crc32(0, p + 4, 4);
        offset_ += 8;
        return true;
    }

    // The next `count` bytes of the chunk's data, or null when the file ends first.
    const BYTE* Read(size_t count) {
        if (size_ - offset_ < count)
            return nullptr;
        const BYTE* p = data_ + offset_;
        crc_ = crc32_z(crc_, p, count);
        offset_ += count;
        return p;
    }

    // Reads the chunk's CRC: false when it is missing or does not match.
    // (libpng refuses a critical chunk with a bad CRC and warns of an
    // ancillary one, which the decoder refuses too.)
    bool FinishChunk() {
        if (size_ - offset_ < 4)
            return false;
        const bool match = BigEndian32(data_ + offset_) == crc_;
        offset_ += 4;
        return match;
    }

    bool Is(const char* name) const { return std::memcmp(name_, name, 4) == 0; }
    uint32_t Length() const { return length_; }

private:
    const BYTE* data_;
    size_t size_;
    size_t offset_;
    uint32_t chunkMax_;
    uint64_t idatMax_;
    char name_[4] = {};
    uint32_t length_ = 0;
    uLong crc_ = 0;
};

// The largest IDAT libpng accepts for the picture: its filtered rows plus
// deflate's overhead, at most 2^31 - 1.
uint64_t IdatLimit(const PngIdatLayout& layout) {
    uint64_t rowFactor = uint64_t{layout.width} * layout.channels + 1;
    uint64_t limit =
        layout.height > 0xFFFFFFFFu / rowFactor ? kUint31Max : layout.height * rowFactor;
    rowFactor = std::min<uint64_t>(rowFactor, 32566);
    limit += 6 + 5 * (limit / rowFactor + 1);
    return std::min<uint64_t>(limit, kUint31Max);
}

// The IDAT stream inflated as libpng's sequential reader inflates it: the
// same pieces of input, one call per row, the same look for the end after
// the last row, so that zlib sees the same calls and every damaged stream is
// judged alike (libpng, for one, does not insist on reading the Adler-32 when
// the data before it has ended).
class IdatInflater {
public:
    IdatInflater(const BYTE* data, size_t size, const PngIdatLayout& layout)
        : chunks_(data, size, layout.firstIdatData, layout.chunkMax, IdatLimit(layout)) {
        idatLeft_ = BigEndian32(data + layout.firstIdatData - 8);
        chunks_.ResumeChunk("IDAT", idatLeft_);
    }
    ~IdatInflater() {
        if (started_)
            inflateEnd(&zs_);
    }
    IdatInflater(const IdatInflater&) = delete;
    IdatInflater& operator=(const IdatInflater&) = delete;

    // zlib's return code; the window size is taken from the stream's header.
    int Start() {
        const int ret = inflateInit2(&zs_, 0);
        started_ = ret == Z_OK;
        return ret;
    }

    // Fills one filtered row: false when the data ends before it or is damaged.
    bool ReadRow(BYTE* row, size_t bytes) {
        if (ended_)
            return false;
        zs_.next_out = row;
        size_t wanted = bytes;
        do {
            if (zs_.avail_in == 0 && !Refill())
                return false;
            zs_.avail_out = static_cast<uInt>(wanted);
            const int ret = inflate(&zs_, Z_NO_FLUSH);
            wanted = zs_.avail_out;
            zs_.avail_out = 0;
            if (ret == Z_STREAM_END) {
                ended_ = true;
                if (zs_.avail_in > 0 || idatLeft_ > 0)
                    return false;
                break;
            }
            if (ret != Z_OK)
                return false;
        } while (wanted > 0);
        return wanted == 0;
    }

    // After the last row: the stream must hold no more pixels and end in the
    // IDAT chunks; then every chunk up to IEND must be whole and sound.
    bool Finish() {
        if (!ended_) {
            BYTE extra[kEndCheckBytes];
            size_t extraBytes = 0;
            do {
                if (zs_.avail_in == 0 && !Refill())
                    return false;
                zs_.next_out = extra;
                zs_.avail_out = sizeof extra;
                const int ret = inflate(&zs_, Z_NO_FLUSH);
                extraBytes += sizeof extra - zs_.avail_out;
                zs_.avail_out = 0;
                if (ret == Z_STREAM_END) {
                    if (zs_.avail_in > 0 || idatLeft_ > 0)
                        return false;
                    break;
                }
                if (ret != Z_OK)
                    return false;
            } while (extraBytes > 0);
            if (extraBytes > 0)
                return false;
        }
        // The rest of the last IDAT read is skipped unread.
        if (chunks_.Read(idatLeft_) == nullptr || !chunks_.FinishChunk())
            return false;
        // Further IDATs and every other chunk are skipped as well; a second
        // IHDR or an IEND with data is damage.
        for (;;) {
            if (!chunks_.ReadHeader() || chunks_.Is("IHDR"))
                return false;
            if (chunks_.Read(chunks_.Length()) == nullptr || !chunks_.FinishChunk())
                return false;
            if (chunks_.Is("IEND"))
                return chunks_.Length() == 0;
        }
    }

private:
    bool Refill() {
        while (idatLeft_ == 0) {
            if (!chunks_.FinishChunk() || !chunks_.ReadHeader() || !chunks_.Is("IDAT"))
                return false;
            idatLeft_ = chunks_.Length();
        }
        const size_t piece = std::min<size_t>(kReadPiece, idatLeft_);
        const BYTE* p = chunks_.Read(piece);
        if (p == nullptr)
            return false;
        idatLeft_ -= piece;
        zs_.next_in = const_cast<BYTE*>(p);
        zs_.avail_in = static_cast<uInt>(piece);
        return true;
    }

    ChunkReader chunks_;
    z_stream zs_{};
    bool started_ = false;
    bool ended_ = false;
    uint32_t idatLeft_ = 0;
};

// The predictor nearest to a + b - c, ties going to a, then b; written
// without branches, which the data would mispredict half the time.
BYTE Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int nearest = std::min(pa, std::min(pb, pc));
    return static_cast<BYTE>(nearest == pa ? a : nearest == pb ? b : c);
}

// Undoes the row's filter in place; `prior` is the unfiltered row above (all
// zero for the first). Both start with their filter byte. False for a filter
// type beyond the five PNG defines.
template <size_t bpp>
bool Unfilter(BYTE* row, const BYTE* prior, size_t bytes) {
    const BYTE type = row[0];
    BYTE* x = row + 1;
    const BYTE* b = prior + 1;
    switch (type) {
        case 0:
            return true;
        case 1:
            for (size_t i = bpp; i < bytes; ++i)
                x[i] = static_cast<BYTE>(x[i] + x[i - bpp]);
            return true;
        case 2:
            for (size_t i = 0; i < bytes; ++i)
                x[i] = static_cast<BYTE>(x[i] + b[i]);
            return true;
        case 3:
            for (size_t i = 0; i < bpp; ++i)
                x[i] = static_cast<BYTE>(x[i] + (b[i] >> 1));
            for (size_t i = bpp; i < bytes; ++i)
                x[i] = static_cast<BYTE>(x[i] + ((x[i - bpp] + b[i]) >> 1));
            return true;
        case 4:
            for (size_t i = 0; i < bpp; ++i)
                x[i] = static_cast<BYTE>(x[i] + b[i]);
            for (size_t i = bpp; i < bytes; ++i)
                x[i] = static_cast<BYTE>(x[i] + Paeth(x[i - bpp], b[i], b[i - bpp]));
            return true;
        default:
            return false;
    }
}

// RGB(A) to the BGR(A) order of the picture's rows.
void SwapRedBlue(const BYTE* from, BYTE* to, size_t pixels, int channels) {
    if (channels == 3) {
        for (size_t i = 0; i < pixels; ++i, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    } else {
        for (size_t i = 0; i < pixels; ++i, from += 4, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = from[3];
        }
    }
}

// The filtered rows between the two stages: row y lives in slot y % slots
// and may be overwritten once the row after it has been unfiltered. A side
// that has to wait sleeps until half the ring is ready for it, so that on a
// busy machine the two threads hand over once per batch, not once per row.
class RowRing {
public:
    RowRing(size_t slots, size_t rowBytes, size_t height)
        : slots_(slots),
          batch_(std::max<size_t>(1, slots / 2)),
          rowBytes_(rowBytes),
          height_(height),
          rows_(slots * rowBytes),
          zeros_(rowBytes) {}

    BYTE* Slot(size_t y) { return rows_.data() + (y % slots_) * rowBytes_; }
    const BYTE* Above(size_t y) { return y == 0 ? zeros_.data() : Slot(y - 1); }

    // Producer side: waits until row y's slot is free; false if the consumer gave up.
    bool WaitForSlot(size_t y) {
        std::unique_lock lock(mutex_);
        if (!Fits(y + 1) && !consumerFailed_) {
            slotsWanted_ = std::min(y + batch_, height_);
            slotFreed_.wait(lock, [&] { return Fits(slotsWanted_) || consumerFailed_; });
            slotsWanted_ = 0;
        }
        return !consumerFailed_;
    }
    void Produced(size_t rows) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            produced_ = rows;
            wake = rowsWanted_ != 0 && produced_ >= rowsWanted_;
        }
        if (wake)
            rowReady_.notify_one();
    }
    void ProducerFailed() {
        {
            std::lock_guard lock(mutex_);
            producerFailed_ = true;
        }
        rowReady_.notify_one();
    }

    // Consumer side: waits until row y is filled; false if it never will be.
    bool WaitForRow(size_t y) {
        std::unique_lock lock(mutex_);
        if (produced_ <= y && !producerFailed_) {
            rowsWanted_ = std::min(y + batch_, height_);
            rowReady_.wait(lock, [&] { return produced_ >= rowsWanted_ || producerFailed_; });
            rowsWanted_ = 0;
        }
        return produced_ > y;
    }
    // Rows [0, rows) are done with.
    void Released(size_t rows) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            released_ = rows;
            wake = slotsWanted_ != 0 && Fits(slotsWanted_);
        }
        if (wake)
            slotFreed_.notify_one();
    }
    void ConsumerFailed() {
        {
            std::lock_guard lock(mutex_);
            consumerFailed_ = true;
        }
        slotFreed_.notify_one();
    }

private:
    // Whether rows [0, rows) can all be in the ring at once now.
    bool Fits(size_t rows) const { return rows <= released_ + slots_; }

    size_t slots_;
    size_t batch_;
    size_t rowBytes_;
    size_t height_;
    std::vector<BYTE> rows_;
    std::vector<BYTE> zeros_;
    std::mutex mutex_;
    std::condition_variable rowReady_;
    std::condition_variable slotFreed_;
    size_t produced_ = 0;
    size_t released_ = 0;
    size_t rowsWanted_ = 0;   // while the consumer waits
    size_t slotsWanted_ = 0;  // while the producer waits
    bool producerFailed_ = false;
    bool consumerFailed_ = false;
};

struct RowTarget {
    BYTE* firstRow;
    ptrdiff_t stride;
    size_t width;
    int channels;

    BYTE* Row(size_t y) const { return firstRow + static_cast<ptrdiff_t>(y) * stride; }
};

// The second stage for row y, whose filtered bytes are in the ring.
bool UnfilterInto(RowRing& ring, size_t y, const RowTarget& target) {
    BYTE* row = ring.Slot(y);
    const size_t pixelBytes = target.width * target.channels;
    const bool known = target.channels == 3 ? Unfilter<3>(row, ring.Above(y), pixelBytes)
                                            : Unfilter<4>(row, ring.Above(y), pixelBytes);
    if (!known)
        return false;
    SwapRedBlue(row + 1, target.Row(y), target.width, target.channels);
    return true;
}

bool DecodeInTurn(IdatInflater& inflater, RowRing& ring, size_t height, size_t filteredBytes,
                  const RowTarget& target) {
    for (size_t y = 0; y < height; ++y) {
        if (!inflater.ReadRow(ring.Slot(y), filteredBytes) || !UnfilterInto(ring, y, target))
            return false;
    }
    return inflater.Finish();
}

bool DecodeAtOnce(IdatInflater& inflater, RowRing& ring, size_t height, size_t filteredBytes,
                  const RowTarget& target) {
    bool streamSound = false;
    std::thread inflating([&] {
        for (size_t y = 0; y < height; ++y) {
            if (!ring.WaitForSlot(y))
                return;
            if (!inflater.ReadRow(ring.Slot(y), filteredBytes)) {
                ring.ProducerFailed();
                return;
            }
            ring.Produced(y + 1);
        }
        streamSound = inflater.Finish();
    });
    bool rowsSound = true;
    for (size_t y = 0; y < height && rowsSound; ++y) {
        rowsSound = ring.WaitForRow(y) && UnfilterInto(ring, y, target);
        if (rowsSound)
            ring.Released(y);
    }
    if (!rowsSound)
        ring.ConsumerFailed();
    inflating.join();
    return rowsSound && streamSound;
}

}  // namespace

Status DecodePngIdat(const BYTE* data, size_t size, const PngIdatLayout& layout, BYTE* firstRow,
                     ptrdiff_t stride) {
    const size_t pixelBytes = size_t{layout.width} * layout.channels;
    const size_t filteredBytes = pixelBytes + 1;
    const size_t height = layout.height;
    const bool atOnce = pixelBytes * height >= kPipelineMinRowBytes;
    const size_t slots =
        atOnce
            ? std::max<size_t>(2, std::min(std::max<size_t>(4, kRingBytes / filteredBytes), height))
            : 2;
    IdatInflater inflater(data, size, layout);
    const int started = inflater.Start();
    if (started != Z_OK)
        return started == Z_MEM_ERROR ? OutOfMemory : GenericError;
    const RowTarget target{firstRow, stride, layout.width, layout.channels};
    try {
        RowRing ring(slots, filteredBytes, height);
        if (atOnce) {
            try {
                return DecodeAtOnce(inflater, ring, height, filteredBytes, target) ? Ok
                                                                                   : GenericError;
            } catch (const std::system_error&) {
                // No second thread to be had: the inflater has not been used yet.
            }
        }
        return DecodeInTurn(inflater, ring, height, filteredBytes, target) ? Ok : GenericError;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}
