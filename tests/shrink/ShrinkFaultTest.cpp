// The file job when the disk, the folder or other programs work against it:
// after every case the file holds what it held, no backup or temporary file
// is left behind, and the report says why the file was passed over.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "image/CDibImage.h"
#include "platform/win32/LastError.h"
#include "shrink/ShrinkFile.h"
#include "tests/fakes/GdiplusFakes.h"
#include "tests/fakes/Win32Fakes.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<char>;

// A regular file's bytes; nothing for anything else.
Bytes ReadBytes(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void MakeBitmap(const std::string& path, LONG width = 16, LONG height = 12) {
    CDibImage image;
    ASSERT_TRUE(image.Create(width, height, 24, BI_RGB, nullptr, 0));
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x)
            image.SetPixel(x, y, RGB(x * 9, y * 7, 50));
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
}

LONG WidthOf(const std::string& path) {
    CDibImage image;
    return image.Load(path.c_str()) == S_OK ? image.width() : 0;
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

ShrinkReport Shrink(const std::string& path) {
    return ShrinkFileWithReport(CString(path.c_str()));
}

// An uid and gid that own nothing on the system.
constexpr uid_t kNobody = 65534;

struct Result {
    ShrinkOutcome outcome;
    DWORD error;
};

// The job on each path, run as a user without privileges: in a child process
// that gives up root's, or directly when the tests do not run as root.
std::vector<Result> ShrinkAsUnprivilegedUser(const std::vector<std::string>& paths) {
    std::vector<Result> results(paths.size());
    if (::geteuid() != 0) {
        for (size_t i = 0; i < paths.size(); ++i) {
            const ShrinkReport report = Shrink(paths[i]);
            results[i] = {report.outcome, report.error};
        }
        return results;
    }
    int channel[2];
    if (::pipe(channel) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(1);
        for (size_t i = 0; i < paths.size(); ++i) {
            const ShrinkReport report = Shrink(paths[i]);
            results[i] = {report.outcome, report.error};
        }
        const ssize_t size = static_cast<ssize_t>(results.size() * sizeof(Result));
        ::_exit(::write(channel[1], results.data(), static_cast<size_t>(size)) == size ? 0 : 1);
    }
    ::close(channel[1]);
    const ssize_t size = static_cast<ssize_t>(results.size() * sizeof(Result));
    const bool complete = ::read(channel[0], results.data(), static_cast<size_t>(size)) == size;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return results;
}

// Whether a user without privileges can reach files in the folder.
bool ReachableByAnyone(const std::string& folder) {
    for (std::filesystem::path at = std::filesystem::path(folder).parent_path();;
         at = at.parent_path()) {
        struct stat info;
        if (::stat(at.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0)
            return false;
        if (at == at.root_path() || at.empty())
            return true;
    }
}

// Hands a folder and everything in it to the unprivileged user.
void GiveAway(const std::string& folder) {
    if (::geteuid() != 0)
        return;
    ::chown(folder.c_str(), kNobody, kNobody);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        ::lchown(entry.path().c_str(), kNobody, kNobody);
    }
}

// Makes the next backup meet something another program does just before it.
class BeforeBackup {
public:
    using Action = void (*)(const char* path, const char* backupName);
    explicit BeforeBackup(Action action) {
        s_action = action;
        win32_testing::RenameCalls calls = win32_testing::SystemRenameCalls();
        calls.link = [](const char* from, const char* to) {
            if (s_action != nullptr)
                s_action(from, to);
            s_action = nullptr;
            return win32_testing::SystemRenameCalls().link(from, to);
        };
        m_previous = win32_testing::SetRenameCalls(calls);
    }
    ~BeforeBackup() {
        win32_testing::SetRenameCalls(m_previous);
        s_action = nullptr;
    }

private:
    static inline Action s_action = nullptr;
    win32_testing::RenameCalls m_previous{};
};

}  // namespace

TEST(ShrinkFaultTest, AFailureWritingTheNewImageLeavesTheFileAsItWasAndSaysWhy) {
    using gdiplus_testing::WriteStep;
    struct Case {
        const char* what;
        int error;
        size_t writeAfter;  // bytes written before the write fails; with the step unused
        bool atStep;
        WriteStep step;
        DWORD reported;
    };
    const Case cases[] = {
        {"disk full at the first write", ENOSPC, 0, false, WriteStep::Sync, ERROR_DISK_FULL},
        {"disk full halfway", ENOSPC, 300, false, WriteStep::Sync, ERROR_DISK_FULL},
        {"I/O error on write", EIO, 10, false, WriteStep::Sync, ERROR_WRITE_FAULT},
        {"disk full on flush", ENOSPC, 0, true, WriteStep::Sync, ERROR_DISK_FULL},
        {"I/O error on flush", EIO, 0, true, WriteStep::Sync, ERROR_WRITE_FAULT},
        {"disk full on close", ENOSPC, 0, true, WriteStep::Close, ERROR_DISK_FULL},
        {"I/O error on close", EIO, 0, true, WriteStep::Close, ERROR_WRITE_FAULT},
        {"I/O error on rename", EIO, 0, true, WriteStep::Rename, ERROR_WRITE_FAULT},
    };
    TempFolder folder;
    const std::string path = folder.File("a.bmp");
    MakeBitmap(path, 64, 48);
    const Bytes original = ReadBytes(path);
    const int descriptors = OpenDescriptors();
    for (const Case& c : cases) {
        if (c.atStep) {
            gdiplus_testing::InjectStepError(c.step, c.error);
        } else {
            gdiplus_testing::InjectWriteError(c.error, c.writeAfter);
        }
        const ShrinkReport report = Shrink(path);
        gdiplus_testing::InjectStepError(c.step, 0);
        gdiplus_testing::InjectWriteError(0, 0);
        EXPECT_EQ(report.outcome, ShrinkOutcome::CannotWrite) << c.what;
        EXPECT_EQ(report.error, c.reported) << c.what;
        EXPECT_EQ(ReadBytes(path), original) << c.what;
        EXPECT_EQ(ListFolder(folder.Path()), "a.bmp") << c.what;
        EXPECT_EQ(OpenDescriptors(), descriptors) << c.what;
    }
    EXPECT_EQ(Shrink(path).outcome, ShrinkOutcome::Shrunk) << "every fault was taken back";
}

TEST(ShrinkFaultTest, SomethingElseInTheFilesPlaceIsPassedOverUntouched) {
    TempFolder folder;
    MakeBitmap(folder.File("elsewhere.bmp"));
    ::mkfifo(folder.File("fifo.bmp").c_str(), 0600);
    ::mkdir(folder.File("folder.bmp").c_str(), 0700);
    ::symlink("nowhere.bmp", folder.File("dangling.bmp").c_str());
    ::symlink("loop.bmp", folder.File("loop.bmp").c_str());
    ::symlink("folder.bmp", folder.File("tofolder.bmp").c_str());
    ::symlink("fifo.bmp", folder.File("tofifo.bmp").c_str());
    struct Case {
        const char* name;
        ShrinkOutcome outcome;
    };
    const Case cases[] = {
        {"fifo.bmp", ShrinkOutcome::Unreadable},     {"folder.bmp", ShrinkOutcome::Unreadable},
        {"dangling.bmp", ShrinkOutcome::Missing},    {"loop.bmp", ShrinkOutcome::Unreadable},
        {"tofolder.bmp", ShrinkOutcome::Unreadable}, {"tofifo.bmp", ShrinkOutcome::Unreadable},
        {"vanished.bmp", ShrinkOutcome::Missing}};
    const std::string before = ListFolder(folder.Path());
    // A FIFO without a writer must not hold the job up.
    std::signal(SIGALRM, SIG_DFL);
    ::alarm(60);
    for (const Case& c : cases) {
        EXPECT_EQ(Shrink(folder.File(c.name)).outcome, c.outcome) << c.name;
    }
    ::alarm(0);
    EXPECT_EQ(ListFolder(folder.Path()), before);
    struct stat info;
    EXPECT_TRUE(::lstat(folder.File("fifo.bmp").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
}

TEST(ShrinkFaultTest, ASymbolicLinkIsReplacedByTheNewImageAndKeptAsTheBackup) {
    TempFolder folder;
    ::mkdir(folder.File("originals").c_str(), 0700);
    MakeBitmap(folder.File("originals/picture.bmp"));
    const Bytes original = ReadBytes(folder.File("originals/picture.bmp"));
    ::symlink("originals/picture.bmp", folder.File("a.bmp").c_str());
    ASSERT_EQ(Shrink(folder.File("a.bmp")).outcome, ShrinkOutcome::Shrunk);
    // Writing through the link would have halved the only copy.
    EXPECT_EQ(ReadBytes(folder.File("originals/picture.bmp")), original);
    EXPECT_EQ(std::filesystem::read_symlink(folder.File("olda.bmp")), "originals/picture.bmp");
    EXPECT_EQ(WidthOf(folder.File("a.bmp")), 8);
    EXPECT_EQ(ListFolder(folder.Path()), "a.bmp olda.bmp originals");
}

TEST(ShrinkFaultTest, WhatHappensJustBeforeTheBackupIsRespected) {
    struct Case {
        const char* what;
        BeforeBackup::Action action;
        ShrinkOutcome outcome;
        const char* folderAfter;
    };
    const Case cases[] = {
        {"a file takes the backup name",
         [](const char*, const char* backupName) {
             std::ofstream(backupName, std::ios::binary) << "someone else's";
         },
         ShrinkOutcome::BackupExists, "a.bmp olda.bmp"},
        {"a link takes the backup name",
         [](const char* path, const char* backupName) { ::symlink(path, backupName); },
         ShrinkOutcome::BackupExists, "a.bmp olda.bmp"},
        {"the file is deleted", [](const char* path, const char*) { ::unlink(path); },
         ShrinkOutcome::Missing, ""},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.File("a.bmp");
        MakeBitmap(path);
        const Bytes original = ReadBytes(path);
        ShrinkReport report;
        {
            BeforeBackup intrusion(c.action);
            report = Shrink(path);
        }
        EXPECT_EQ(report.outcome, c.outcome) << c.what;
        EXPECT_EQ(ListFolder(folder.Path()), c.folderAfter) << c.what;
        if (FileExists(path)) {
            EXPECT_EQ(ReadBytes(path), original) << c.what;
        }
    }
}

TEST(ShrinkFaultTest, ABackupNameThatComesAndGoesNeverCostsAFile) {
    TempFolder folder;
    const std::string path = folder.File("a.bmp");
    const std::string backupName = folder.File("olda.bmp");
    MakeBitmap(path, 8, 8);
    const Bytes original = ReadBytes(path);
    std::atomic<bool> stop{false};
    // Another program that creates the backup name and removes only what it created.
    std::thread intruder([&] {
        while (!stop) {
            const int fd = ::open(backupName.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
            if (fd < 0)
                continue;
            ::close(fd);
            ::unlink(backupName.c_str());
        }
    });
    int shrunk = 0, refused = 0;
    for (int round = 0; round < 300; ++round) {
        const ShrinkReport report = Shrink(path);
        if (report.outcome == ShrinkOutcome::Shrunk) {
            ++shrunk;
            EXPECT_EQ(ReadBytes(backupName), original) << "round " << round;
            EXPECT_EQ(WidthOf(path), 4) << "round " << round;
            // Start over from the original.
            ::rename(backupName.c_str(), path.c_str());
        } else {
            ++refused;
            EXPECT_EQ(report.outcome, ShrinkOutcome::BackupExists) << "round " << round;
            EXPECT_EQ(ReadBytes(path), original) << "round " << round;
        }
    }
    stop = true;
    intruder.join();
    EXPECT_EQ(shrunk + refused, 300);
    EXPECT_EQ(ListFolder(folder.Path()), "a.bmp");
}

TEST(ShrinkFaultTest, AnyBytesUpToTheNameLimitAreAName) {
    TempFolder folder;
    struct Case {
        std::string name;
        ShrinkOutcome outcome;
        DWORD error;
    };
    // "old" and the name must fit the 255 bytes a name may have.
    const Case cases[] = {
        {"new\nline.bmp", ShrinkOutcome::Shrunk, 0},
        {"bad\xFF\xFEutf8.bmp", ShrinkOutcome::Shrunk, 0},
        {"back\\slash and \t tab.bmp", ShrinkOutcome::Shrunk, 0},
        {std::string(248, 'x') + ".bmp", ShrinkOutcome::Shrunk, 0},
        {std::string(249, 'y') + ".bmp", ShrinkOutcome::BackupFailed, ERROR_FILENAME_EXCED_RANGE},
        {std::string(251, 'z') + ".bmp", ShrinkOutcome::BackupFailed, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        const std::string path = folder.File(c.name);
        MakeBitmap(path);
        const Bytes original = ReadBytes(path);
        const ShrinkReport report = Shrink(path);
        EXPECT_EQ(report.outcome, c.outcome) << c.name;
        EXPECT_EQ(report.error, c.error) << c.name;
        const bool shrunk = c.outcome == ShrinkOutcome::Shrunk;
        EXPECT_EQ(ReadBytes(folder.File("old" + c.name)), shrunk ? original : Bytes()) << c.name;
        EXPECT_EQ(WidthOf(path), shrunk ? 8 : 16) << c.name;
    }
    size_t names = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        ++names;
    EXPECT_EQ(names, 4u * 2 + 2) << "no temporary file is left: " << ListFolder(folder.Path());
}

TEST(ShrinkFaultTest, WithoutPermissionNothingChanges) {
    TempFolder folder;
    if (::geteuid() == 0 && !ReachableByAnyone(folder.Path()))
        GTEST_SKIP() << "other users cannot reach " << folder.Path();
    for (const char* sub : {"ro", "rw"})
        ::mkdir(folder.File(sub).c_str(), 0755);
    for (const char* name : {"ro/a.bmp", "rw/readonly.bmp", "rw/unreadable.bmp"}) {
        MakeBitmap(folder.File(name));
    }
    ::chmod(folder.File("rw/readonly.bmp").c_str(), 0444);
    ::chmod(folder.File("rw/unreadable.bmp").c_str(), 0200);
    GiveAway(folder.Path());
    ::chmod(folder.File("ro").c_str(), 0555);
    struct Case {
        const char* name;
        ShrinkOutcome outcome;
        DWORD error;
    };
    const Case cases[] = {
        {"ro/a.bmp", ShrinkOutcome::BackupFailed, ERROR_ACCESS_DENIED},
        // The folder would let a rename replace it; its owner said no.
        {"rw/readonly.bmp", ShrinkOutcome::CannotWrite, ERROR_ACCESS_DENIED},
        {"rw/unreadable.bmp", ShrinkOutcome::Unreadable, ERROR_ACCESS_DENIED},
    };
    std::vector<std::string> paths;
    std::vector<Bytes> originals;
    for (const Case& c : cases) {
        paths.push_back(folder.File(c.name));
        originals.push_back(ReadBytes(paths.back()));
    }
    const std::vector<Result> results = ShrinkAsUnprivilegedUser(paths);
    ASSERT_EQ(results.size(), paths.size()) << "the unprivileged job did not report";
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(results[i].outcome, cases[i].outcome) << cases[i].name;
        EXPECT_EQ(results[i].error, cases[i].error) << cases[i].name;
        EXPECT_EQ(ReadBytes(paths[i]), originals[i]) << cases[i].name;
    }
    EXPECT_EQ(ListFolder(folder.File("ro")), "a.bmp");
    EXPECT_EQ(ListFolder(folder.File("rw")), "readonly.bmp unreadable.bmp");
}

TEST(ShrinkFaultTest, ImmutableAndAppendOnlyFilesArePassedOverUntouched) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root sets the immutable and append-only flags";
    TempFolder folder;
    struct Case {
        const char* name;
        int flag;
    };
    const Case cases[] = {{"immutable.bmp", FS_IMMUTABLE_FL}, {"appendonly.bmp", FS_APPEND_FL}};
    for (const Case& c : cases) {
        const std::string path = folder.File(c.name);
        MakeBitmap(path);
        const Bytes original = ReadBytes(path);
        const int fd = ::open(path.c_str(), O_RDONLY);
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
            (flags |= c.flag, ::ioctl(fd, FS_IOC_SETFLAGS, &flags)) != 0) {
            ::close(fd);
            GTEST_SKIP() << "the file system has no immutable or append-only files";
        }
        const ShrinkReport report = Shrink(path);
        flags &= ~c.flag;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
        EXPECT_EQ(report.outcome, ShrinkOutcome::BackupFailed) << c.name;
        EXPECT_EQ(report.error, ERROR_ACCESS_DENIED) << c.name;
        EXPECT_EQ(ReadBytes(path), original) << c.name;
    }
    EXPECT_EQ(ListFolder(folder.Path()), "appendonly.bmp immutable.bmp");
}

TEST(ShrinkFaultTest, RootShrinkingAUsersFileLeavesItTheUsers) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can shrink another user's file";
    TempFolder folder;
    const std::string path = folder.File("a.bmp");
    MakeBitmap(path);
    ::chown(path.c_str(), kNobody, kNobody);
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(Shrink(path).outcome, ShrinkOutcome::Shrunk);
    for (const std::string& name : {path, folder.File("olda.bmp")}) {
        struct stat info;
        ASSERT_EQ(::stat(name.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, kNobody) << name;
        EXPECT_EQ(info.st_gid, kNobody) << name;
        EXPECT_EQ(info.st_mode & 07777, 0640u) << name;
    }
}
