// An encoded image file as the encoder hands it to the writer: bytes the
// encoder made, then pieces of memory that already hold the rest of the file,
// such as a picture's rows, written from where they lie instead of being
// copied into one buffer first.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/win32/WinTypes.h"

class EncodedFile {
public:
    struct Piece {
        const BYTE* data;
        size_t size;
    };

    // The file's first bytes.
    std::vector<BYTE>& Head() { return head_; }
    const std::vector<BYTE>& Head() const { return head_; }

    // Adds `size` bytes at `data` after everything added so far; they must
    // stay in place until the file is written. A piece that continues the
    // previous one in memory joins it.
    void Append(const BYTE* data, size_t size);

    // Every piece in order, the head first (when it has bytes).
    std::vector<Piece> Pieces() const;
    size_t Size() const;
    // The whole file in one buffer.
    std::vector<BYTE> Flatten() const;

private:
    std::vector<BYTE> head_;
    std::vector<Piece> tail_;
};
