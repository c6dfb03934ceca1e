#include "platform/win32/FileOps.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/win32/LastError.h"
#include "tests/fakes/Win32Fakes.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

const win32_testing::RenameCalls kSystem = win32_testing::SystemRenameCalls();

int Fails(int error) {
    errno = error;
    return -1;
}

// The folder's names and each file's content.
std::string Listing(const TempFolder& folder) {
    std::string listing = ListFolder(folder.Path());
    for (const char* name : {"a.bmp", "olda.bmp"}) {
        if (FileExists(folder.File(name))) {
            const Bytes bytes = ReadFileBytes(folder.File(name));
            listing += std::string(" ") + name + "=" + std::string(bytes.begin(), bytes.end());
        }
    }
    return listing;
}

TEST(FileOpsTest, MoveNeverReplacesAFileWhetherByTheFlagOrByLinkAndUnlink) {
    // taken: the new name holds a file already
    // clang-format off
    const struct { std::string to; bool taken; DWORD error; std::string after; } cases[] = {
        {"olda.bmp", false, 0, "olda.bmp olda.bmp=new"},
        {"olda.bmp", true, ERROR_ALREADY_EXISTS, "a.bmp olda.bmp a.bmp=new olda.bmp=old"},
        {"gone/olda.bmp", false, ERROR_PATH_NOT_FOUND, "a.bmp a.bmp=new"},
        {"\xF6\\.bmp", false, 0, "\xF6\\.bmp"},  // any bytes but "/" make a name
    };
    // clang-format on
    for (int (*flag)(const char*, const char*) :
         {kSystem.renameNoReplace, +[](const char*, const char*) { return Fails(EINVAL); },
          +[](const char*, const char*) { return Fails(ENOSYS); }}) {
        win32_testing::SetRenameCalls({flag, kSystem.link, kSystem.unlink});
        for (const auto& c : cases) {
            TempFolder folder;
            WriteFileBytes(folder.File("a.bmp"), {'n', 'e', 'w'});
            if (c.taken)
                WriteFileBytes(folder.File(c.to), {'o', 'l', 'd'});
            SetLastError(ERROR_SUCCESS);
            EXPECT_EQ(MoveFileA(folder.File("a.bmp").c_str(), folder.File(c.to).c_str()), !c.error);
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(Listing(folder), c.after);
        }
        TempFolder empty;
        EXPECT_FALSE(MoveFileA(empty.File("a.bmp").c_str(), empty.File("olda.bmp").c_str()));
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    }
    win32_testing::SetRenameCalls(kSystem);
}

TEST(FileOpsTest, WithoutTheFlagAMoveThatCannotCompleteLeavesOnlyTheOldName) {
    const auto noFlag = [](const char*, const char*) { return Fails(EINVAL); };
    const win32_testing::RenameCalls cases[] = {
        // No hard links either: no rename at all rather than one that might overwrite.
        {noFlag, [](const char*, const char*) { return Fails(EPERM); }, kSystem.unlink},
        // The old name cannot be removed: the new link goes again.
        {noFlag, kSystem.link, [](const char* path) {
             return std::string(path).ends_with("/a.bmp") ? Fails(EACCES) : ::unlink(path);
         }}};
    for (const auto& broken : cases) {
        win32_testing::SetRenameCalls(broken);
        TempFolder folder;
        WriteFileBytes(folder.File("a.bmp"), {'n', 'e', 'w'});
        EXPECT_FALSE(MoveFileA(folder.File("a.bmp").c_str(), folder.File("olda.bmp").c_str()));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_EQ(Listing(folder), "a.bmp a.bmp=new");
    }
    win32_testing::SetRenameCalls(kSystem);
}

}  // namespace
