// dorvalune-shrink as scripts run it: its reports, its exit status, and the
// files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/JobChecks.h"
#include "tests/support/TempFolder.h"

namespace {

struct CompanionRun {
    int status = -1;
    std::string out, err;
};

// Runs the companion in the folder with the arguments, each quoted for the shell.
CompanionRun Companion(const std::vector<std::string>& args, const std::string& folder) {
    std::string command = "cd '" + folder + "' && '" DORVALUNE_SHRINK_BINARY "'";
    for (const std::string& arg : args) {
        command += " '";
        for (char c : arg)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    const std::string errFile = folder + ".err";
    CompanionRun run;
    FILE* pipe = ::popen((command + " 2>'" + errFile + "'").c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const Bytes err = ReadFileBytes(errFile);
    run.err.assign(err.begin(), err.end());
    std::remove(errFile.c_str());
    return run;
}

}  // namespace

TEST(CompanionTest, UsageErrorsExitWithTwoAndHelpAndVersionWithZero) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {{{}, 2, "Usage: dorvalune-shrink"},
                 {{"--frobnicate", "a.bmp"}, 2, "unknown option --frobnicate"},
                 {{"--jobs", "0", "a.bmp"}, 2, "--jobs needs a number"},
                 {{"--jobs"}, 2, "--jobs needs a number"},
                 {{"--help"}, 0, "Usage: dorvalune-shrink"},
                 {{"--version"}, 0, "dorvalune-shrink " DORVALUNE_VERSION "\n"},
                 {{"x.bmp"}, 0, "shrunk x.bmp 4x4 -> 2x2"}};
    TempFolder folder;
    WritePicture(folder.File("x.bmp"), 4, 4);
    for (const auto& c : cases) {
        const CompanionRun run = Companion(c.args, folder.Path());
        EXPECT_EQ(run.status, c.status) << c.says;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
    }
    EXPECT_EQ(ListFolder(folder.Path()), "oldx.bmp x.bmp");
}

TEST(CompanionTest, EveryFileGetsOneLineInTheOrderGivenWhateverTheJobCount) {
    const std::string longName = std::string(249, 'n') + ".bmp";
    // Pictures of the size, or (at 0) a file that is no picture; the line
    // the report gives it.
    const struct {
        std::string name;
        LONG width, height;
        std::string said;
    } files[] = {
        {"b.bmp", 100, 80, "shrunk b.bmp 100x80 -> 50x40, original kept as oldb.bmp"},
        {"a.bmp", 101, 81, "shrunk a.bmp 101x81 -> 50x40, original kept as olda.bmp"},
        {"notes.bmp", 0, 0,
         "passed over notes.bmp: not decodable (not an image, damaged, or an unsupported format)"},
        {"-dash.bmp", 6, 6, "shrunk -dash.bmp 6x6 -> 3x3, original kept as old-dash.bmp"},
        {"new\nline.bmp", 6, 7,
         "shrunk new\\nline.bmp 6x7 -> 3x3, original kept as oldnew\\nline.bmp"},
        {"back\\slash.bmp", 9, 6,
         "shrunk back\\\\slash.bmp 9x6 -> 4x3, original kept as oldback\\\\slash.bmp"},
        {"bad\xFF\xFE.bmp", 4, 4,
         "shrunk bad\xFF\xFE.bmp 4x4 -> 2x2, original kept as oldbad\xFF\xFE.bmp"},
        {"page\f.txt", 6, 6, "passed over page\\x0C.txt: no encoder for the extension"},
        {"missing.bmp", 0, 0, "passed over missing.bmp: no such file"},
        {"c.bmp", 30, 20, "shrunk c.bmp 30x20 -> 15x10, original kept as oldc.bmp"},
        {longName, 6, 6,
         "passed over " + longName + ": cannot make the backup (file name too long)"},
        {"d.bmp", 2, 60, "shrunk d.bmp 2x60 -> 1x30, original kept as oldd.bmp"},
        // A path given twice is done twice, in order: the second finds its backup.
        {"a.bmp", 0, 0, "passed over a.bmp: backup name exists"},
        {"fifo.bmp", 0, 0,
         "passed over fifo.bmp: cannot be read (not a regular file, or permission denied)"},
    };
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--jobs", "1"}, {"--jobs=4", "--quiet"}}) {
        SCOPED_TRACE(options[0]);
        TempFolder folder;
        const bool quiet = options.back() == "--quiet";
        std::vector<std::string> args = options;
        args.push_back("--");
        std::string out, err;
        std::vector<Halved> halved;
        for (const auto& f : files) {
            if (f.width > 0 && !FileExists(folder.File(f.name))) {
                WritePicture(folder.File("picture.bmp"), f.width, f.height);
                std::rename(folder.File("picture.bmp").c_str(), folder.File(f.name).c_str());
            }
            if (f.said.rfind("shrunk ", 0) == 0)
                halved.push_back({f.name, f.width / 2, f.height / 2});
            (f.said.rfind("shrunk ", 0) == 0 ? out : err) += f.said + "\n";
            args.push_back(f.name);
        }
        WriteFileBytes(folder.File("notes.bmp"), Bytes(20, 'x'));
        ::mkfifo(folder.File("fifo.bmp").c_str(), 0600);
        const FolderState before = StateOf(folder.Path());
        const CompanionRun run = Companion(args, folder.Path());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, quiet ? "" : out);
        EXPECT_EQ(run.err, err);
        ExpectKept(before, folder.Path(), halved);
    }
}
