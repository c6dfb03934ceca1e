// Reading a file whole, in shares on several threads when it is large.
#include "platform/gdiplus/FileIo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

TEST(FileIoTest, ReadWholeFileReturnsEveryByteInOrderWhateverItsSize) {
    const TempFolder folder;
    // Sizes read in one share and in as many as there are processors.
    for (const size_t size : {size_t{0}, size_t{1}, size_t{(1 << 20) - 1}, size_t{(32 << 20) + 3},
                              size_t{(64 << 20) + 4097}}) {
        SCOPED_TRACE(size);
        Bytes data(size);
        std::mt19937_64 random(size);
        for (BYTE& b : data)
            b = static_cast<BYTE>(random());
        WriteFileBytes(folder.File("file"), data);
        int descriptor = -1;
        FileBytes bytes;
        ASSERT_EQ(ReadWholeFile(folder.File("file"), descriptor, bytes), Ok);
        ::close(descriptor);
        ASSERT_EQ(bytes.size, size);
        EXPECT_TRUE(size == 0 || std::memcmp(bytes.data.get(), data.data(), size) == 0);
    }
}
