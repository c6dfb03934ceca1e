#include "cli/ParallelJobs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/ParallelParts.h"
#include "tests/support/TempFolder.h"

TEST(ParallelJobsTest, SmallFilesGetFourJobsAProcessorAndAnyLargeFileOne) {
    TempFolder folder;
    auto make = [&](const std::string& name, size_t bytes) {
        std::ofstream(folder.File(name), std::ios::binary) << std::string(bytes, 'x');
        return CString(folder.File(name).c_str());
    };
    const unsigned processors = static_cast<unsigned>(ProcessorCount());
    const CString small = make("small.bmp", 1000);
    const CString almost = make("almost.bmp", kSmallFileBytes - 1);
    const CString large = make("large.bmp", kSmallFileBytes);
    const CString missing(folder.File("missing.bmp").c_str());
    struct Case {
        std::vector<CString> files;
        unsigned jobs;
    };
    const Case cases[] = {
        {{small, almost, missing}, 4 * processors},
        {{small, large, almost}, processors},
        {{large}, processors},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DefaultJobCount(c.files), c.jobs) << c.files.size() << " files";
}
