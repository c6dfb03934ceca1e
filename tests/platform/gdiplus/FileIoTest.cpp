// Reading a file whole, in shares on several threads when it is large.
#include "platform/gdiplus/FileIo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

TEST(FileIoTest, ReadWholeFileReturnsEveryByteInOrderWhateverItsSize) {
    char folder[] = "/tmp/dorvalune-fileio-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/file";
    // Sizes read in one share and in as many as there are processors.
    for (const size_t size : {size_t{0}, size_t{1}, size_t{(1 << 20) - 1}, size_t{(32 << 20) + 3},
                              size_t{(64 << 20) + 4097}}) {
        SCOPED_TRACE(size);
        std::vector<BYTE> data(size);
        std::mt19937_64 random(size);
        for (BYTE& b : data)
            b = static_cast<BYTE>(random());
        FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        if (size > 0) {
            ASSERT_EQ(std::fwrite(data.data(), 1, size, out), size);
        }
        std::fclose(out);

        int descriptor = -1;
        FileBytes bytes;
        ASSERT_EQ(ReadWholeFile(path, descriptor, bytes), Ok);
        ::close(descriptor);
        ASSERT_EQ(bytes.size, size);
        if (size > 0) {
            EXPECT_EQ(std::memcmp(bytes.data.get(), data.data(), size), 0);
        }
    }
    std::remove(path.c_str());
    ::rmdir(folder);
}
