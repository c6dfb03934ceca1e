#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/CDibImage.h"

namespace {

struct SuiteResult {
    int loaded = 0;
    int failed = 0;
};

// Loads every file of a suite folder; under the sanitizers a stray read fails the run.
SuiteResult LoadFolder(const std::string& folder) {
    SuiteResult result;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        CDibImage image;
        if (image.Load(entry.path().c_str()) == S_OK) {
            ++result.loaded;
            EXPECT_GT(image.width(), 0) << entry.path();
            // The top-left pixel is readable through the platform.
            image.GetPixel(0, 0);
        } else {
            ++result.failed;
            EXPECT_EQ(image.section(), nullptr) << entry.path();
        }
    }
    return result;
}

}  // namespace

TEST(LoadSuiteTest, EveryBitmapOfTheSuiteLoadsOrFailsCleanly) {
    const std::string suite = DORVALUNE_TESTDATA_DIR "/bmpsuite/";
    if (!std::filesystem::exists(suite)) GTEST_SKIP() << "no bitmap suite at " << suite;
    const SuiteResult good = LoadFolder(suite + "g");
    const SuiteResult questionable = LoadFolder(suite + "q");
    const SuiteResult bad = LoadFolder(suite + "b");
    EXPECT_EQ(good.failed, 0);
    EXPECT_GT(good.loaded, 20);
    EXPECT_GT(questionable.loaded, 0);
    EXPECT_EQ(bad.loaded, 0);
    EXPECT_GT(bad.failed, 10);
}

TEST(LoadSuiteTest, EveryPngOfTheSuiteLoadsOrFailsCleanly) {
    const std::string suite = DORVALUNE_TESTDATA_DIR "/pngsuite";
    if (!std::filesystem::exists(suite)) GTEST_SKIP() << "no PNG suite at " << suite;
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(suite)) {
        if (entry.path().extension() != ".png") continue;
        CDibImage image;
        const bool corrupt = entry.path().filename().string()[0] == 'x';
        const HRESULT result = image.Load(entry.path().c_str());
        EXPECT_EQ(result, corrupt ? E_FAIL : S_OK) << entry.path();
        loaded += result == S_OK;
    }
    EXPECT_GT(loaded, 100);
}
