#include "platform/win32/FileOps.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win32/LastError.h"

namespace {

namespace fs = std::filesystem;

int NoRenameNoReplace(const char*, const char*) {
    errno = EINVAL;
    return -1;
}

int NoRenameNoReplaceInTheKernel(const char*, const char*) {
    errno = ENOSYS;
    return -1;
}

int NoHardLinks(const char*, const char*) {
    errno = EPERM;
    return -1;
}

// Removes every file but one named a.bmp.
int CannotUnlinkTheOldName(const char* path) {
    if (fs::path(path).filename() == "a.bmp") {
        errno = EACCES;
        return -1;
    }
    return unlink(path);
}

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "dorvalune-move-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_systemCalls = win32_testing::SystemRenameCalls();
    }

    void TearDown() override {
        win32_testing::SetRenameCalls(m_systemCalls);
        fs::remove_all(m_folder);
    }

    std::string PathOf(const std::string& name) const { return (m_folder / name).string(); }

    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(PathOf(name), std::ios::binary) << content;
    }

    // The file's content, or "<missing>".
    std::string Read(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        if (!in)
            return "<missing>";
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }

    int FileCount() const {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_folder))
            ++count;
        return count;
    }

    fs::path m_folder;
    win32_testing::RenameCalls m_systemCalls{};
};

// Without RENAME_NOREPLACE, from the file system or from the kernel, the
// rename goes by link and unlink and keeps every promise.
struct Way {
    const char* what;
    int (*renameNoReplace)(const char*, const char*);
};
const Way kWays[] = {
    {"rename without replacing", nullptr},
    {"link and unlink on a file system without the flag", NoRenameNoReplace},
    {"link and unlink on a kernel without the flag", NoRenameNoReplaceInTheKernel},
};

class FileOpsWaysTest : public FileOpsTest {
protected:
    void Use(const Way& way) {
        win32_testing::RenameCalls calls = m_systemCalls;
        if (way.renameNoReplace != nullptr)
            calls.renameNoReplace = way.renameNoReplace;
        win32_testing::SetRenameCalls(calls);
    }
};

TEST_F(FileOpsWaysTest, RenamesAFileToAFreeNameInEveryWay) {
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.what);
        Use(way);
        Write("a.bmp", "pixels");
        ASSERT_EQ(MoveFileA(PathOf("a.bmp").c_str(), PathOf("olda.bmp").c_str()), TRUE);
        EXPECT_EQ(Read("olda.bmp"), "pixels");
        EXPECT_EQ(Read("a.bmp"), "<missing>");
        EXPECT_EQ(FileCount(), 1);
        fs::remove(PathOf("olda.bmp"));
    }
}

TEST_F(FileOpsWaysTest, NeverReplacesAnExistingFileInAnyWay) {
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.what);
        Use(way);
        Write("a.bmp", "new");
        Write("olda.bmp", "old");
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MoveFileA(PathOf("a.bmp").c_str(), PathOf("olda.bmp").c_str()), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        EXPECT_EQ(Read("a.bmp"), "new");
        EXPECT_EQ(Read("olda.bmp"), "old");
        EXPECT_EQ(FileCount(), 2);
    }
}

TEST_F(FileOpsWaysTest, FailsForAMissingFileInEveryWay) {
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.what);
        Use(way);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MoveFileA(PathOf("a.bmp").c_str(), PathOf("olda.bmp").c_str()), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(FileCount(), 0);
    }
}

TEST_F(FileOpsWaysTest, FailsForAMissingFolderOfTheNewNameInEveryWay) {
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.what);
        Use(way);
        Write("a.bmp", "pixels");
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MoveFileA(PathOf("a.bmp").c_str(), PathOf("gone/olda.bmp").c_str()), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
        EXPECT_EQ(Read("a.bmp"), "pixels");
        EXPECT_EQ(FileCount(), 1);
    }
}

TEST_F(FileOpsTest, RenamesNamesThatAreNotUtf8AndNamesWithBackslashes) {
    const std::string names[] = {"gr\xF6\xDF.bmp", "a\\b.bmp", "\xED\xA0\x80.bmp", "a b.bmp"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Write(name, name);
        ASSERT_EQ(MoveFileA(PathOf(name).c_str(), PathOf("old" + name).c_str()), TRUE);
        EXPECT_EQ(Read("old" + name), name);
        EXPECT_EQ(Read(name), "<missing>");
    }
}

TEST_F(FileOpsTest, WithoutHardLinksEitherItFailsRatherThanRiskAnOverwrite) {
    win32_testing::SetRenameCalls({NoRenameNoReplace, NoHardLinks, m_systemCalls.unlink});
    Write("a.bmp", "pixels");
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MoveFileA(PathOf("a.bmp").c_str(), PathOf("olda.bmp").c_str()), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read("a.bmp"), "pixels");
    EXPECT_EQ(FileCount(), 1);
}

TEST_F(FileOpsTest, AnOldNameThatCannotBeRemovedTakesTheNewLinkAwayAgain) {
    win32_testing::SetRenameCalls({NoRenameNoReplace, m_systemCalls.link, CannotUnlinkTheOldName});
    Write("a.bmp", "pixels");
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MoveFileA(PathOf("a.bmp").c_str(), PathOf("olda.bmp").c_str()), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read("a.bmp"), "pixels");
    EXPECT_EQ(Read("olda.bmp"), "<missing>");
}

TEST_F(FileOpsTest, RefusesNullNames) {
    Write("a.bmp", "pixels");
    const std::string path = PathOf("a.bmp");
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MoveFileA(nullptr, path.c_str()), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MoveFileA(path.c_str(), nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Read("a.bmp"), "pixels");
}

}  // namespace
