// The companion's options for scripts (--dry-run, --undo, --files-from with
// --null) and their spellings, run on real files in a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/JobChecks.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

using Outcome = CompanionRun;

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(ScriptOptionsTest, EverySpellingWorksAndUsageErrorsExitWithTwoTouchingNothing) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string says;
        bool shrinks;
    } cases[] = {
        {{}, 2, "Usage: dorvalune-shrink", false},
        {{"-h"}, 0, "Usage: dorvalune-shrink", false},
        {{"--version"}, 0, "dorvalune-shrink " DORVALUNE_VERSION "\n", false},
        {{"-j2", "a.bmp"}, 0, "shrunk a.bmp 8x6 -> 4x3", true},
        {{"-j", "2", "a.bmp"}, 0, "shrunk a.bmp", true},
        {{"--jobs=2", "--", "a.bmp"}, 0, "shrunk a.bmp", true},
        {{"-nq", "a.bmp", "tiny.bmp"}, 1, "would pass over tiny.bmp: too small", false},
        {{"--dry", "a.bmp"}, 0, "would shrink a.bmp 8x6 -> 4x3, original kept as olda.bmp", false},
        {{"--files-from=list", "-0"}, 0, "shrunk a.bmp", true},
        {{"-x", "a.bmp"}, 2, "unknown option -x", false},
        {{"--frobnicate", "a.bmp"}, 2, "unknown option --frobnicate", false},
        {{"--quiet=yes", "a.bmp"}, 2, "--quiet takes no value", false},
        {{"--jobs", "0", "a.bmp"}, 2, "--jobs needs a number", false},
        {{"a.bmp", "--jobs"}, 2, "--jobs needs a number", false},
        {{"a.bmp", "--files-from"}, 2, "--files-from needs a list file", false},
        {{"a.bmp", "--files-from", "nolist"}, 2, "cannot read the list nolist", false},
        {{"a.bmp", "--files-from", "list"}, 2, "line 1 holds a NUL byte (use --null)", false},
        {{"a.bmp", "--files-from", "folder"}, 2, "cannot read the list folder", false},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        WritePicture(folder.File("a.bmp"), 8, 6);
        WritePicture(folder.File("tiny.bmp"), 1, 6);
        WriteText(folder.File("list"), std::string("a.bmp\0", 6));
        ::mkdir(folder.File("folder").c_str(), 0700);
        const FolderState before = StateOf(folder.Path());
        const Outcome run = Companion(c.args, folder.Path());
        const std::string named = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(run.status, c.status) << named << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        if (c.shrinks)
            ExpectKept(before, folder.Path(), {{"a.bmp", 4, 3}});
        else
            EXPECT_EQ(Differences(before, StateOf(folder.Path())), "") << named;
    }
}

TEST(ScriptOptionsTest, DryRunsSayWhatTheRealRunsDoAndTouchNothing) {
    TempFolder folder;
    WritePicture(folder.File("a.bmp"), 10, 8);
    WritePicture(folder.File("tiny.bmp"), 1, 4);
    WriteText(folder.File("junk.bmp"), "not a picture");
    WritePicture(folder.File("taken.bmp"), 4, 4);
    WriteText(folder.File("oldtaken.bmp"), "an earlier original");
    WriteFileBytes(folder.File("page.txt"), ReadFileBytes(folder.File("a.bmp")));
    ::mkdir(folder.File("sub").c_str(), 0700);
    WritePicture(folder.File("sub/b.bmp"), 6, 6);
    ::mkdir(folder.File("oldc.bmp").c_str(), 0700);
    WritePicture(folder.File(std::string(251, 'n') + ".bmp"), 4, 4);
    const std::vector<std::string> files = {
        "a.bmp",    "tiny.bmp",  "junk.bmp", "taken.bmp", "page.txt",
        "none.bmp", "sub/b.bmp", "c.bmp",    "sub/",      std::string(251, 'n') + ".bmp"};
    // Shrinking, then undoing what was shrunk, in the same folder.
    for (const std::string mode : {"-0", "--undo"}) {
        std::vector<std::string> args = {mode, "-j1"};
        args.insert(args.end(), files.begin(), files.end());
        const FolderState before = StateOf(folder.Path());
        args.push_back("-n");
        const Outcome dry = Companion(args, folder.Path());
        EXPECT_EQ(Differences(before, StateOf(folder.Path())), "") << mode;
        args.pop_back();
        const Outcome real = Companion(args, folder.Path());
        EXPECT_NE(StateOf(folder.Path()), before) << mode;
        EXPECT_EQ(dry.status, real.status) << mode;
        EXPECT_EQ(Replace(Replace(dry.out, "would shrink", "shrunk"), "would restore", "restored"),
                  real.out);
        EXPECT_EQ(Replace(dry.err, "would pass over", "passed over"), real.err);
        EXPECT_EQ(real.status, 1);
    }
}

TEST(ScriptOptionsTest, UndoRenamesEachBackupOverItsFile) {
    TempFolder folder;
    const std::string dir = folder.Path();
    ::mkdir(folder.File("sub").c_str(), 0700);
    for (const char* name : {"a.bmp", "gone.bmp", "linked.bmp", "none.bmp", "sub/d.bmp", "dir.bmp"})
        WritePicture(folder.File(name), 12, 10);
    FolderState expected = StateOf(dir);
    ASSERT_EQ(Companion({"a.bmp", "gone.bmp", "sub/d.bmp"}, dir).status, 0);
    ::unlink(folder.File("gone.bmp").c_str());
    // A job stopped between keeping the original and replacing the file.
    ::link(folder.File("linked.bmp").c_str(), folder.File("oldlinked.bmp").c_str());
    ::mkdir(folder.File("olddir.bmp").c_str(), 0700);

    const Outcome run = Companion({"--undo", "-j1", "a.bmp", "gone.bmp", "linked.bmp", "sub/d.bmp",
                                   "none.bmp", "dir.bmp", ""},
                                  dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "restored a.bmp from olda.bmp\nrestored gone.bmp from oldgone.bmp\n"
              "restored linked.bmp from oldlinked.bmp\nrestored sub/d.bmp from oldd.bmp\n");
    EXPECT_EQ(run.err,
              "passed over none.bmp: no backup (oldnone.bmp)\n"
              "passed over dir.bmp: the backup name is a folder (olddir.bmp)\n"
              "passed over : no backup (old)\n");
    // Every original back under its name; only the folder in the way is left.
    expected["olddir.bmp"] = StateOf(dir).at("olddir.bmp");
    EXPECT_EQ(Differences(expected, StateOf(dir)), "");
}

TEST(ScriptOptionsTest, ListedPathsAreTakenWhereTheListStands) {
    struct Case {
        std::string list;
        std::vector<std::string> args;
        std::string before;  // standard input from the list: "<list "
        std::string order;
    };
    const char* newline = "new\nline.bmp";
    const Case cases[] = {
        {"a.bmp\n\nb c.bmp\n", {"x.bmp", "--files-from", "list", "d.bmp"}, "", "x a b\\ c d"},
        {"b c.bmp\n\xFF.bmp", {"--files-from=list"}, "", "b\\ c \xFF"},
        {std::string("a.bmp\0new\nline.bmp\0\0", 20),
         {"--files-from", "-", "-0"},
         "<list ",
         "a new\\nline"},
        {"d.bmp\n", {"--files-from", "list", "x.bmp", "--files-from=-"}, "<list ", "d x d"},
        {"", {"--files-from", "list"}, "", ""},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        for (const std::string name : {"a.bmp", "b c.bmp", "d.bmp", "x.bmp", "\xFF.bmp", newline})
            WritePicture(folder.File(name), 4, 4);
        WriteText(folder.File("list"), c.list);
        std::vector<std::string> args = {"-nj1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome run = Companion(args, folder.Path(), c.before);
        EXPECT_EQ(run.status, 0) << run.err;
        std::string order;
        const std::regex line("would shrink (.*)\\.bmp 4x4");
        for (std::sregex_iterator at(run.out.begin(), run.out.end(), line), end; at != end; ++at)
            order += (order.empty() ? "" : " ") + Replace((*at)[1].str(), " ", "\\ ");
        EXPECT_EQ(order, c.order) << c.list;
    }

    // A hundred thousand paths, none there.
    TempFolder folder;
    std::string list;
    for (int i = 0; i < 100000; ++i)
        list += "m" + std::to_string(i) + ".bmp\n";
    WriteText(folder.File("list"), list);
    const Outcome run = Companion({"-q", "--files-from", "list"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 100000);
    EXPECT_NE(run.err.find("passed over m99999.bmp: no such file\n"), std::string::npos);
}
