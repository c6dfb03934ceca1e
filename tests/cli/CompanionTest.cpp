// dorvalune-shrink as scripts run it: its reports, its exit status, and the
// files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/support/JobChecks.h"
#include "tests/support/TempFolder.h"

namespace {

std::multiset<std::string> SortedLines(const std::string& text) {
    std::multiset<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        lines.insert(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace

// Every kind of file the job meets, each reported on one line: with one job
// in the order given, standard output and error interleaved as the work went,
// and a dry run first saying the same and touching nothing; the folder left
// with every halved picture and its original beside it and all else as it was.
TEST(CompanionTest, EveryFileGetsOneLineInTheOrderGivenWithOneJobAndOnceWithMany) {
    const std::string noEncoder = "no encoder for the extension", taken = "backup name exists";
    const std::string fits(248, 'f'), tooLong(249, 'n');  // "old" + name: 255 bytes at most
    const struct {
        std::string name;
        LONG width, height;      // of the picture written under the name; 0: none
        std::string reason;      // why it is passed over; empty: it is shrunk
        std::string shown = "";  // the name in the report, where it differs
    } files[] = {
        // clang-format off
        {"b.bmp", 100, 80, ""}, {"a.bmp", 101, 81, ""},
        {"notes.bmp", 0, 0, "not decodable (not a picture, or a format this program does not read)"},
        {"big.png", 0, 0, "too large (33000 x 33000 is over the limit of 2^30 pixels)"},
        {"pic.webp", 0, 0, "not decodable (a WebP file: not a format this program reads)"},
        {"cut.png", 0, 0, "not decodable (a damaged PNG file)"}, {"", 0, 0, "no such file"}, {"-dash.bmp", 6, 6, ""},
        {"new\nline.bmp", 6, 7, "", "new\\nline.bmp"}, {"back\\slash.bmp", 9, 6, "", "back\\\\slash.bmp"},
        {"tab\t.bmp", 5, 4, "", "tab\\t.bmp"}, {"bad\xFF\xFE.bmp", 4, 4, ""},
        {"page\f.txt", 6, 6, noEncoder, "page\\x0C.txt"}, {"noextension", 6, 6, noEncoder},
        {"thin.bmp", 1, 40, "too small to halve"}, {"flat.bmp", 40, 1, "too small to halve"}, {fits + ".bmp", 6, 6, ""},
        {tooLong + ".bmp", 6, 6, "cannot make the backup (file name too long)"}, {"d.bmp", 2, 60, ""},
        {"taken.bmp", 8, 8, taken}, {"dangling.bmp", 0, 0, "no such file"},
        {"fifo.bmp", 0, 0, "cannot be read (not a regular file)"},  // without a writer, must not hold the job up
        {"folder.bmp", 0, 0, "cannot be read (is a folder)"},
        {"loop.bmp", 0, 0, "cannot be read (too many levels of symbolic links)"},
        // clang-format on
    };
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--jobs", "1"}, {"--jobs=4", "--quiet"}}) {
        SCOPED_TRACE(options[0]);
        TempFolder folder;
        std::vector<std::string> args = options;
        args.push_back("--");
        std::string out, err, log, dryLog;
        std::vector<Halved> halved;
        for (const auto& f : files) {
            if (f.width > 0) {
                WritePicture(folder.File("picture.bmp"), f.width, f.height);
                std::rename(folder.File("picture.bmp").c_str(), folder.File(f.name).c_str());
            }
            const std::string shown = f.shown.empty() ? f.name : f.shown;
            const bool shrunk = f.reason.empty();
            const std::string said =
                shrunk ? shown + " " + std::to_string(f.width) + "x" + std::to_string(f.height) +
                             " -> " + std::to_string(f.width / 2) + "x" +
                             std::to_string(f.height / 2) + ", original kept as old" + shown + "\n"
                       : shown + ": " + f.reason + "\n";
            (shrunk ? out : err) += (shrunk ? "shrunk " : "passed over ") + said;
            log += (shrunk ? "shrunk " : "passed over ") + said;
            dryLog += (shrunk ? "would shrink " : "would pass over ") + said;
            if (shrunk)
                halved.push_back({f.name, f.width / 2, f.height / 2});
            args.push_back(f.name);
        }
        WriteFileBytes(folder.File("notes.bmp"), Bytes(20, 'x'));
        // A PNG header declaring 33000 x 33000 (CRCs are not checked), a
        // WebP header, and a PNG cut short after its signature.
        const char png[] = "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x80\xE8\0\0\x80\xE8\x08\x02";
        Bytes big(png, png + sizeof(png));  // the terminating zero as the first of 3
        big.resize(45);
        WriteFileBytes(folder.File("big.png"), big);
        const char webp[] =
            "RIFF\x24\0\0\0WEBPVP8 \0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0";
        WriteFileBytes(folder.File("pic.webp"), Bytes(webp, webp + sizeof(webp)));
        WriteFileBytes(folder.File("cut.png"), Bytes(png, png + 12));
        WriteFileBytes(folder.File("oldtaken.bmp"), Bytes(20, 'y'));
        ::mkfifo(folder.File("fifo.bmp").c_str(), 0600);
        ::mkdir(folder.File("folder.bmp").c_str(), 0700);
        ::symlink("nowhere.bmp", folder.File("dangling.bmp").c_str());
        ::symlink("loop.bmp", folder.File("loop.bmp").c_str());
        const FolderState before = StateOf(folder.Path());
        // Several jobs write each line as its file ends: there only the lines are fixed.
        const bool one = options[1] == "1";
        if (one) {
            std::vector<std::string> dryArgs = {"--dry-run"};
            dryArgs.insert(dryArgs.end(), args.begin(), args.end());
            const CompanionRun dry = Companion(dryArgs, folder.Path(), "", true);
            EXPECT_EQ(dry.status, 1);
            EXPECT_EQ(dry.out, dryLog);
            EXPECT_EQ(Differences(before, StateOf(folder.Path())), "") << "--dry-run";
        }
        const CompanionRun run = Companion(args, folder.Path(), "", one);
        EXPECT_EQ(run.status, 1);
        if (one) {
            EXPECT_EQ(run.out, log);
        } else {
            EXPECT_EQ(run.out, "");  // --quiet
            EXPECT_EQ(SortedLines(run.err), SortedLines(err));
        }
        ExpectKept(before, folder.Path(), halved);
    }
}

TEST(CompanionTest, WithoutPermissionOnlyAReadOnlyPictureInAWritableFolderIsShrunk) {
    // Run as a user without privileges where the tests run as root.
    const std::string as =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    TempFolder folder;
    const std::string reach = "test -x '" DORVALUNE_SHRINK_BINARY "' -a -x '" +
                              folder.Path().substr(0, folder.Path().rfind('/')) + "'";
    if (!as.empty() && std::system((as + reach).c_str()) != 0)
        GTEST_SKIP() << "the unprivileged user cannot reach the companion or " << folder.Path();
    ::mkdir(folder.File("ro").c_str(), 0755);
    ::mkdir(folder.File("rw").c_str(), 0755);
    WritePicture(folder.File("ro/a.bmp"), 8, 8);
    WritePicture(folder.File("rw/readonly.bmp"), 8, 8);
    WritePicture(folder.File("rw/unreadable.bmp"), 8, 8);
    ::chmod(folder.File("rw/readonly.bmp").c_str(), 0444);
    ::chmod(folder.File("rw/unreadable.bmp").c_str(), 0200);
    if (!as.empty())
        std::system(("chown -R 65534:65534 '" + folder.Path() + "'").c_str());
    ::chmod(folder.File("ro").c_str(), 0555);
    const FolderState ro = StateOf(folder.File("ro")), rw = StateOf(folder.File("rw"));
    const CompanionRun run =
        Companion({"-j1", "ro/a.bmp", "rw/readonly.bmp", "rw/unreadable.bmp"}, folder.Path(), as);
    EXPECT_EQ(run.status, 1);
    // A read-only picture in a folder that may be written is shrunk, the
    // original kept as the backup (the mode kept: the test below).
    EXPECT_EQ(run.out, "shrunk rw/readonly.bmp 8x8 -> 4x4, original kept as oldreadonly.bmp\n");
    EXPECT_EQ(run.err,
              "passed over ro/a.bmp: cannot make the backup (permission denied)\n"
              "passed over rw/unreadable.bmp: cannot be read (permission denied)\n");
    ExpectKept(ro, folder.File("ro"));
    ExpectKept(rw, folder.File("rw"), {{"readonly.bmp", 4, 4}});
}

TEST(CompanionTest, TheNewImageAndTheBackupKeepTheOriginalsOwnerAndMode) {
    TempFolder folder;
    WritePicture(folder.File("a.bmp"), 8, 8);
    ::chmod(folder.File("a.bmp").c_str(), 0604);
    // Root shrinking a user's file leaves it the user's.
    if (::geteuid() == 0)
        ::chown(folder.File("a.bmp").c_str(), 65534, 65534);
    struct stat original, info;
    ASSERT_EQ(::stat(folder.File("a.bmp").c_str(), &original), 0);
    ASSERT_EQ(Companion({"a.bmp"}, folder.Path()).status, 0);
    for (const char* name : {"a.bmp", "olda.bmp"}) {
        ASSERT_EQ(::stat(folder.File(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0604u) << name;
        EXPECT_EQ(info.st_uid, original.st_uid) << name;
        EXPECT_EQ(info.st_gid, original.st_gid) << name;
    }
}

// Under a small address space a picture that needs more is passed over for
// memory, a small one beside it is shrunk, and with two jobs a picture that
// runs out while the other is in flight is retried alone. Under few file
// descriptors, every file that met the limit says so and is left as it was.
TEST(CompanionTest, UnderTheProcessLimitsEachFileSaysWhichLimitItMet) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers' runtime reserves its shadow memory at start and needs
    // descriptors of its own, so under these limits it fails before the
    // companion does; the plain build runs this test.
    GTEST_SKIP() << "not under the sanitizers";
#endif
    CompanionRun run;
    TempFolder folder;
    WritePicture(folder.File("a.png"), 5000, 5000, 24, RGB(0, 90, 200));
    WritePicture(folder.File("small.bmp"), 8, 8);
    const FolderState before = StateOf(folder.Path());
    run = Companion({"-j1", "a.png", "small.bmp"}, folder.Path(), "prlimit --as=60000000 ");
    EXPECT_EQ(run.err, "passed over a.png: not enough memory\n");
    EXPECT_EQ(run.out, "shrunk small.bmp 8x8 -> 4x4, original kept as oldsmall.bmp\n");
    ExpectKept(before, folder.Path(), {{"small.bmp", 4, 4}});
    // Each alone needs about 115 MB, the two at once twice that. One malloc
    // arena, so that the address space the threads' arenas reserve (64 MB
    // each) does not blur the limit at this small scale.
    ::link(folder.File("a.png").c_str(), folder.File("b.png").c_str());
    run = Companion({"-j2", "a.png", "b.png"}, folder.Path(),
                    "MALLOC_ARENA_MAX=1 prlimit --as=200000000 ");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(SortedLines(run.out),
              SortedLines("shrunk a.png 5000x5000 -> 2500x2500, original kept as olda.png\n"
                          "shrunk b.png 5000x5000 -> 2500x2500, original kept as oldb.png\n"));

    TempFolder many;
    std::vector<std::string> args = {"-j16"};
    for (int i = 0; i < 32; ++i) {
        args.push_back("p" + std::to_string(i) + ".bmp");
        WritePicture(many.File(args.back()), 8, 8);
    }
    const FolderState start = StateOf(many.Path());
    // Nothing but the standard streams inherited; the loader needs the one
    // descriptor left at start, then 16 jobs share it.
    run = Companion(args, many.Path(), "3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- prlimit --nofile=4 ");
    const std::multiset<std::string> out = SortedLines(run.out), err = SortedLines(run.err);
    std::vector<Halved> halved;
    size_t limited = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (out.count("shrunk " + name + " 8x8 -> 4x4, original kept as old" + name) == 1) {
            halved.push_back({name, 4, 4});
        } else {
            const std::string over = "passed over " + name + ": ";
            limited += err.count(over + "cannot be read (too many open files)") +
                       err.count(over + "cannot write (too many open files)");
        }
    }
    // Every file has its one line, and no other line is written.
    EXPECT_EQ(halved.size() + limited, 32u) << run.out << run.err;
    EXPECT_EQ(out.size() + err.size(), 32u) << run.out << run.err;
    EXPECT_GT(limited, 0);
    ExpectKept(start, many.Path(), halved);
}
