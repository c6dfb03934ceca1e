// Every defect kept under tests/data/<format>/, through Load and through the
// whole job. A file under a folder named "malformed" (found by hand or by the
// fuzzers) must be refused cleanly: the image stays empty and the job leaves
// the file as it was without a backup. A file under "findings" once crashed a
// decoder and must decode. The public suites have tests of their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "shrink/ShrinkFile.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

bool IsMalformed(const fs::path& file) {
    for (const fs::path& part : file.parent_path()) {
        if (part == "malformed")
            return true;
    }
    return false;
}

std::vector<char> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
}

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(DORVALUNE_SOURCE_DIR "/tests/data")) {
        const std::string folder = entry.path().parent_path().filename().string();
        if (entry.is_regular_file() && (folder == "malformed" || folder == "findings"))
            files.push_back(entry.path());
    }
    return files;
}

}  // namespace

TEST(CorpusReplayTest, MalformedFilesLeaveTheImageEmptyAndOthersDecode) {
    const std::vector<fs::path> files = CorpusFiles();
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        CDibImage image;
        const HRESULT result = image.Load(file.c_str());
        if (IsMalformed(file)) {
            EXPECT_EQ(result, E_FAIL) << file;
            EXPECT_EQ(image.section(), nullptr) << file;
            EXPECT_EQ(image.firstRow(), nullptr) << file;
            EXPECT_EQ(image.width(), 0) << file;
            EXPECT_EQ(image.height(), 0) << file;
        } else {
            EXPECT_EQ(result, S_OK) << file;
            EXPECT_GT(image.width(), 0) << file;
            EXPECT_GT(image.height(), 0) << file;
        }
    }
}

TEST(CorpusReplayTest, TheJobLeavesMalformedFilesAsTheyWere) {
    TempFolder folder;
    size_t replayed = 0;
    for (const fs::path& file : CorpusFiles()) {
        if (!IsMalformed(file))
            continue;
        // Each under its own extension, which also chooses the encoder.
        const std::string copy = folder.File("replay" + file.extension().string());
        fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
        const ShrinkReport report = ShrinkFileWithReport(CString(copy.c_str()));
        EXPECT_EQ(report.outcome, ShrinkOutcome::NotDecodable) << file;
        EXPECT_EQ(ReadBytes(copy), ReadBytes(file)) << file;
        EXPECT_FALSE(FileExists(BackupNameFor(CString(copy.c_str())).GetString())) << file;
        fs::remove(copy);
        ++replayed;
    }
    EXPECT_GT(replayed, 0u);
    EXPECT_EQ(ListFolder(folder.Path()), "");
}
