#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "tests/support/TempFolder.h"

namespace {

struct CompanionRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the companion with the arguments (each quoted for the shell).
CompanionRun Companion(const std::vector<std::string>& args, const std::string& folder) {
    std::string command = "cd '" + folder + "' && '" DORVALUNE_SHRINK_BINARY "'";
    for (const std::string& arg : args) {
        std::string quoted;
        for (char c : arg)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " '" + quoted + "'";
    }
    command += " 2>'" + folder + "/.err'";
    CompanionRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(folder + "/.err");
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    std::remove((folder + "/.err").c_str());
    return run;
}

std::multiset<std::string> SortedLines(const std::string& text) {
    std::multiset<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        lines.insert(text.substr(start, end - start));
    }
    return lines;
}

void MakeBitmap(const std::string& path, LONG width, LONG height) {
    CDibImage image;
    ASSERT_TRUE(image.Create(width, height, 24, BI_RGB, nullptr, 0));
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x)
            image.SetPixel(x, y, RGB(x, y, 7));
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
}

}  // namespace

TEST(CompanionTest, UsageErrorsExitWithTwoAndHelpWithZero) {
    TempFolder folder;
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {{{}, 2, "Usage: dorvalune-shrink"},
                          {{"--frobnicate", "a.bmp"}, 2, "unknown option --frobnicate"},
                          {{"--jobs", "0", "a.bmp"}, 2, "--jobs needs a number"},
                          {{"--jobs"}, 2, "--jobs needs a number"},
                          {{"--help"}, 0, "Usage: dorvalune-shrink"},
                          {{"--version"}, 0, "dorvalune-shrink 1.0.0.1"}};
    for (const Case& c : cases) {
        const CompanionRun run = Companion(c.args, folder.Path());
        EXPECT_EQ(run.status, c.status) << c.says;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
    }
    EXPECT_EQ(ListFolder(folder.Path()), "");
}

TEST(CompanionTest, EveryFileIsReportedInTheOrderGiven) {
    TempFolder folder;
    MakeBitmap(folder.File("b.bmp"), 100, 80);
    MakeBitmap(folder.File("a.bmp"), 101, 81);
    std::ofstream(folder.File("c.bmp")) << "not a picture";
    const CompanionRun run =
        Companion({"--jobs", "1", "b.bmp", "c.bmp", "a.bmp", "missing.bmp"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "shrunk b.bmp 100x80 -> 50x40, original kept as oldb.bmp\n"
              "shrunk a.bmp 101x81 -> 50x40, original kept as olda.bmp\n");
    EXPECT_EQ(run.err,
              "passed over c.bmp: not decodable (not an image, damaged, or an unsupported "
              "format)\n"
              "passed over missing.bmp: no such file\n");
    EXPECT_EQ(ListFolder(folder.Path()), "a.bmp b.bmp c.bmp olda.bmp oldb.bmp");
}

TEST(CompanionTest, QuietRunsReportOnlyWhatWasPassedOver) {
    TempFolder folder;
    MakeBitmap(folder.File("a.bmp"), 4, 4);
    MakeBitmap(folder.File("olda.bmp"), 4, 4);
    MakeBitmap(folder.File("b.bmp"), 4, 4);
    const CompanionRun run = Companion({"--quiet", "a.bmp", "b.bmp"}, folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "passed over a.bmp: backup name exists\n");

    const CompanionRun clean = Companion({"--quiet", "b.bmp"}, folder.Path());
    EXPECT_EQ(clean.err, "passed over b.bmp: backup name exists\n");
}

TEST(CompanionTest, NamesWithAnyBytesAndLeadingDashesWork) {
    TempFolder folder;
    const std::vector<std::string> names = {"-dash.bmp", "with space.bmp", "caf\xC3\xA9.bmp",
                                            "bad\xFF\xFE.bmp", "new\nline.bmp"};
    std::vector<std::string> args = {"--"};
    for (const std::string& name : names) {
        MakeBitmap(folder.File(name), 6, 6);
        args.push_back(name);
    }
    const CompanionRun run = Companion(args, folder.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    for (const std::string& name : names) {
        EXPECT_TRUE(FileExists(folder.File("old" + name))) << name;
        CDibImage halved;
        EXPECT_EQ(halved.Load(folder.File(name).c_str()), S_OK) << name;
        EXPECT_EQ(halved.width(), 3);
    }
}

TEST(CompanionTest, ParallelJobsGiveTheSameResultsAsOneAtATime) {
    TempFolder folder;
    std::vector<std::string> args = {"--jobs", "4"};
    for (int i = 0; i < 24; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bmp";
        MakeBitmap(folder.File(name), 10 + i, 12 + i);
        args.push_back(name);
    }
    // A path listed twice is done twice, in order: the second finds its backup.
    args.push_back("f3.bmp");
    const CompanionRun run = Companion(args, folder.Path());
    EXPECT_EQ(run.status, 1);
    std::string expected;
    for (int i = 0; i < 24; ++i) {
        expected += "shrunk f" + std::to_string(i) + ".bmp " + std::to_string(10 + i) + "x" +
                    std::to_string(12 + i) + " -> " + std::to_string((10 + i) / 2) + "x" +
                    std::to_string((12 + i) / 2) + ", original kept as oldf" + std::to_string(i) +
                    ".bmp\n";
    }
    // The lines come in the order in which the files end.
    EXPECT_EQ(SortedLines(run.out), SortedLines(expected));
    EXPECT_EQ(run.err, "passed over f3.bmp: backup name exists\n");
}

TEST(CompanionTest, EveryFileGetsOneLineThatSaysWhyItWasPassedOver) {
    TempFolder folder;
    const std::string longName = std::string(249, 'n') + ".bmp";
    for (const std::string& name : {std::string("new\nline.bmp"), std::string("back\\slash.bmp"),
                                    std::string("page\f.bmp"), longName}) {
        MakeBitmap(folder.File(name), 6, 6);
    }
    ::rename(folder.File("page\f.bmp").c_str(), folder.File("page\f.txt").c_str());
    ::mkfifo(folder.File("fifo.bmp").c_str(), 0600);
    const CompanionRun run =
        Companion({"-j1", "new\nline.bmp", "back\\slash.bmp", "page\f.txt", "fifo.bmp", longName},
                  folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "shrunk new\\nline.bmp 6x6 -> 3x3, original kept as oldnew\\nline.bmp\n"
              "shrunk back\\\\slash.bmp 6x6 -> 3x3, original kept as oldback\\\\slash.bmp\n");
    EXPECT_EQ(run.err,
              "passed over page\\x0C.txt: no encoder for the extension\n"
              "passed over fifo.bmp: cannot be read (not a regular file, or permission "
              "denied)\n"
              "passed over " +
                  longName + ": cannot make the backup (file name too long)\n");
}
