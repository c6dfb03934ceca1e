// Reading a file whole, in shares on several threads when it is large, and
// writing one from pieces, in batches when it is large.
#include "platform/gdiplus/FileIo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

TEST(FileIoTest, AFileWrittenFromPiecesReadsBackWholeWhateverItsSize) {
    const TempFolder folder;
    // Sizes read in one share and in as many as there are processors.
    for (const size_t size : {size_t{0}, size_t{1}, size_t{(1 << 20) - 1}, size_t{(32 << 20) + 3},
                              size_t{(64 << 20) + 4097}}) {
        SCOPED_TRACE(size);
        Bytes data(size);
        std::mt19937_64 random(size);
        for (BYTE& b : data)
            b = static_cast<BYTE>(random());
        // A head, then pieces of uneven sizes, some longer than a write
        // takes at once, taken by turns from two copies so that none joins
        // the one before it.
        const Bytes copy = data;
        EncodedFile file;
        const size_t head = std::min<size_t>(size, 54);
        file.Head().assign(data.begin(), data.begin() + head);
        for (size_t at = head, piece = 1; at < size; piece = piece * 3 + 1) {
            const size_t n = std::min(piece + (piece << 20) / 7, size - at);
            file.Append((piece % 2 != 0 ? data.data() : copy.data()) + at, n);
            at += n;
        }
        ASSERT_EQ(WriteWholeFileReplacing(folder.File("file"), file), Ok);
        int descriptor = -1;
        FileBytes bytes;
        ASSERT_EQ(ReadWholeFile(folder.File("file"), descriptor, bytes), Ok);
        ::close(descriptor);
        ASSERT_EQ(bytes.size, size);
        EXPECT_TRUE(size == 0 || std::memcmp(bytes.data.get(), data.data(), size) == 0);
    }
}
