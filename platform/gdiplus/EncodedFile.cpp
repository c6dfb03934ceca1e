#include "platform/gdiplus/EncodedFile.h"

void EncodedFile::Append(const BYTE* data, size_t size) {
    if (size == 0)
        return;
    if (!tail_.empty() && tail_.back().data + tail_.back().size == data) {
        tail_.back().size += size;
        return;
    }
    tail_.push_back({data, size});
}

std::vector<EncodedFile::Piece> EncodedFile::Pieces() const {
    std::vector<Piece> pieces;
    pieces.reserve(tail_.size() + 1);
    if (!head_.empty())
        pieces.push_back({head_.data(), head_.size()});
    pieces.insert(pieces.end(), tail_.begin(), tail_.end());
    return pieces;
}

size_t EncodedFile::Size() const {
    size_t size = head_.size();
    for (const Piece& piece : tail_)
        size += piece.size;
    return size;
}

std::vector<BYTE> EncodedFile::Flatten() const {
    std::vector<BYTE> file;
    file.reserve(Size());
    for (const Piece& piece : Pieces())
        file.insert(file.end(), piece.data, piece.data + piece.size);
    return file;
}
