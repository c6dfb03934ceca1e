// The companion's options for scripts (--dry-run, --undo, --files-from with
// --null) and their spellings, run on real files in a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/support/JobChecks.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

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
        // clang-format off
        {{}, 2, "Usage: dorvalune-shrink", false}, {{"-h"}, 0, "Usage: dorvalune-shrink", false},
        {{"--version"}, 0, "dorvalune-shrink " DORVALUNE_VERSION "\n", false},
        {{"-j2", "a.bmp"}, 0, "shrunk a.bmp 8x6 -> 4x3", true}, {{"-j", "2", "--", "a.bmp"}, 0, "shrunk a.bmp", true},
        {{"-nq", "a.bmp", "tiny.bmp"}, 1, "would pass over tiny.bmp: too small", false},
        {{"--dry", "a.bmp"}, 0, "would shrink a.bmp 8x6 -> 4x3, original kept as olda.bmp", false},
        {{"--files-from=list", "-0"}, 0, "shrunk a.bmp", true}, {{"-x", "a.bmp"}, 2, "unknown option -x", false},
        {{"--frobnicate", "a.bmp"}, 2, "unknown option --frobnicate", false},
        {{"--quiet=yes", "a.bmp"}, 2, "--quiet takes no value", false},
        {{"--jobs", "0", "a.bmp"}, 2, "--jobs needs a number", false}, {{"a.bmp", "--jobs"}, 2, "--jobs needs a number", false},
        {{"a.bmp", "--files-from"}, 2, "--files-from needs a list file", false},
        {{"a.bmp", "--files-from", "nolist"}, 2, "cannot read the list nolist", false},
        {{"a.bmp", "--files-from", "list"}, 2, "line 1 holds a NUL byte (use --null)", false},
        {{"a.bmp", "--files-from", "folder"}, 2, "cannot read the list folder", false},
        // clang-format on
    };
    for (const auto& c : cases) {
        TempFolder folder;
        WritePicture(folder.File("a.bmp"), 8, 6);
        WritePicture(folder.File("tiny.bmp"), 1, 6);
        WriteText(folder.File("list"), std::string("a.bmp\0", 6));
        ::mkdir(folder.File("folder").c_str(), 0700);
        const FolderState before = StateOf(folder.Path());
        const CompanionRun run = Companion(c.args, folder.Path());
        const std::string named = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(run.status, c.status) << named << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        if (c.shrinks)
            ExpectKept(before, folder.Path(), {{"a.bmp", 4, 3}});
        else
            EXPECT_EQ(Differences(before, StateOf(folder.Path())), "") << named;
    }
}

// --undo, and --undo --dry-run before it.
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

    const std::string restored =
        "restored a.bmp from olda.bmp\nrestored gone.bmp from oldgone.bmp\n"
        "restored linked.bmp from oldlinked.bmp\nrestored sub/d.bmp from oldd.bmp\n";
    const std::string passedOver =
        "passed over none.bmp: no backup (oldnone.bmp)\n"
        "passed over dir.bmp: the backup name is a folder (olddir.bmp)\n"
        "passed over : no backup (old)\n";
    std::vector<std::string> args = {"--undo",    "-j1",      "a.bmp",   "gone.bmp", "linked.bmp",
                                     "sub/d.bmp", "none.bmp", "dir.bmp", "",         "-n"};
    // A dry run first says the same and touches nothing.
    const FolderState shrunk = StateOf(dir);
    const CompanionRun dry = Companion(args, dir);
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(dry.out, Replace(restored, "restored", "would restore"));
    EXPECT_EQ(dry.err, Replace(passedOver, "passed over", "would pass over"));
    EXPECT_EQ(Differences(shrunk, StateOf(dir)), "");
    args.pop_back();
    const CompanionRun run = Companion(args, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, restored);
    EXPECT_EQ(run.err, passedOver);
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
    const std::string nulList("a.bmp\0new\nline.bmp\0\0", 20);
    const Case cases[] = {
        {"a.bmp\n\nb c.bmp\n", {"x.bmp", "--files-from", "list", "d.bmp"}, "", "x a b\\ c d"},
        {"b c.bmp\n\xFF.bmp", {"--files-from=list"}, "", "b\\ c \xFF"},
        {nulList, {"--files-from", "-", "-0"}, "<list ", "a new\\nline"},
        {"d.bmp\n", {"--files-from", "list", "x.bmp", "--files-from=-"}, "<list ", "d x d"},
        {"", {"--files-from", "list"}, "", ""},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        for (const char* name : {"a.bmp", "b c.bmp", "d.bmp", "x.bmp", "\xFF.bmp", "new\nline.bmp"})
            WritePicture(folder.File(name), 4, 4);
        WriteText(folder.File("list"), c.list);
        std::vector<std::string> args = {"-nj1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CompanionRun run = Companion(args, folder.Path(), c.before);
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
    const CompanionRun run = Companion({"-q", "--files-from", "list"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 100000);
    EXPECT_NE(run.err.find("passed over m99999.bmp: no such file\n"), std::string::npos);
}

TEST(ScriptOptionsTest, TheManualPageListsTheOptionsTheHelpLists) {
    // The option spellings in the first group of each matching line, with
    // the page's escaped dashes and font changes taken out.
    auto spellings = [](std::string text, const std::regex& entry) {
        text = std::regex_replace(text, std::regex("\\\\-"), "-");
        text = std::regex_replace(text, std::regex("\\\\f[BIRP]"), "");
        const std::regex spelling("(^|[ ,\"])(--?[a-z0-9][a-z0-9-]*(=[A-Z]+)?)");
        std::set<std::string> found;
        for (std::sregex_iterator at(text.begin(), text.end(), entry), end; at != end; ++at) {
            const std::string line = (*at)[1].str();
            for (std::sregex_iterator s(line.begin(), line.end(), spelling), none; s != none; ++s)
                found.insert((*s)[2].str());
        }
        return found;
    };
    TempFolder folder;
    const std::set<std::string> help = spellings(Companion({"--help"}, folder.Path()).out,
                                                 std::regex("\n {2,6}(-[^\n]*?)(  |\n)"));
    const Bytes page = ReadFileBytes(DORVALUNE_SOURCE_DIR "/docs/man/dorvalune-shrink.1");
    std::string text(page.begin(), page.end());
    text = text.substr(text.find(".SH OPTIONS\n"));
    text = text.substr(0, text.find("\n.SH ", 1));
    EXPECT_GE(help.size(), 14u);
    EXPECT_EQ(spellings(text, std::regex("\\.TP\n([^\n]*)")), help);
}
