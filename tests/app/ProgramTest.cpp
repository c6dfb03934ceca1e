// The whole program, started as a user starts it and driven through its
// window with keys: the native open-file dialog adds files, "OK" shrinks them.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/guitesting/GuiTesting.h"
#include "tests/support/TempFolder.h"

extern char** environ;

namespace {

class Program {
public:
    // Starts the program with the given arguments, which it ignores.
    explicit Program(const std::vector<std::string>& arguments) {
        std::vector<std::string> words = {DORVALUNE_PROGRAM};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, DORVALUNE_PROGRAM, nullptr, nullptr, argv.data(), environ) != 0) {
            m_pid = 0;
        }
    }
    ~Program() {
        if (m_pid != 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The program's window, once it is on screen; 0 if none came.
    unsigned long Window() const {
        const std::string found =
            RunCommand("timeout 20 xdotool search --sync --onlyvisible --name '^Dorvalune$'");
        return std::strtoul(found.c_str(), nullptr, 10);
    }

    // True when the program has ended within the time, with exit code 0.
    bool EndsCleanly(int seconds = 20) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

private:
    pid_t m_pid = 0;
    bool m_exited = false;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A 24-bit bitmap of the size, a red and blue gradient.
void WriteBitmap(const std::string& path, int width, int height) {
    RunCommand("convert -size " + std::to_string(width) + "x" + std::to_string(height) +
               " gradient:red-blue -type TrueColor BMP3:'" + path + "'");
}

std::string SizeOf(const std::string& path) {
    return RunCommand("identify -format '%w x %h' '" + path + "' 2>/dev/null");
}

// From the list (the focus is on "OK" when the window opens) to "^ .bmp",
// then through the native open-file dialog: the path typed into its
// location field.
void AddThroughOpenDialog(unsigned long window, const std::string& path) {
    SendKeys(window, "Tab Tab space");
    const std::string found =
        RunCommand("timeout 20 xdotool search --sync --onlyvisible --name '^Select a file$'");
    const unsigned long chooser = std::strtoul(found.c_str(), nullptr, 10);
    ASSERT_NE(chooser, 0u) << "the open-file dialog did not appear";
    PumpFor(500);
    SendKeys(chooser, "ctrl+l");
    TypeText(chooser, path);
    SendKeys(chooser, "Return");
    // Back in the window, "^ .bmp" has the focus; Shift+Tab twice gives it
    // to "OK" again.
    PumpUntil(
        [] { return RunCommand("xdotool search --onlyvisible --name '^Select a file$'").empty(); });
    SendKeys(window, "shift+Tab shift+Tab");
}

TEST(ProgramTest, TheWindowOpensEmptyWhateverTheCommandLineAndOkEndsTheProgram) {
    TempFolder folder;
    WriteBitmap(folder.File("a.bmp"), 10, 8);
    const std::string before = Contents(folder.File("a.bmp"));
    Program program({folder.File("a.bmp")});
    const unsigned long window = program.Window();
    ASSERT_NE(window, 0u);
    const std::string properties = RunCommand("xprop -id " + std::to_string(window) + " WM_CLASS");
    EXPECT_NE(properties.find("\"dorvalune\""), std::string::npos) << properties;
    SendKeys(window, "Return");
    EXPECT_TRUE(program.EndsCleanly());
    // The file named on the command line was never listed, so never shrunk.
    EXPECT_EQ(Contents(folder.File("a.bmp")), before);
    EXPECT_EQ(ListFolder(folder.Path()), "a.bmp");
}

TEST(ProgramTest, EscapeAndTheCloseBoxEndTheProgramWithoutTouchingTheListedFiles) {
    const struct {
        const char* how;
        void (*end)(unsigned long window);
    } ways[] = {
        {"Escape", [](unsigned long window) { SendKeys(window, "Escape"); }},
        {"close box", [](unsigned long window) { RequestClose(window); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        TempFolder folder;
        WriteBitmap(folder.File("a.bmp"), 10, 8);
        const std::string before = Contents(folder.File("a.bmp"));
        Program program({});
        const unsigned long window = program.Window();
        ASSERT_NE(window, 0u);
        AddThroughOpenDialog(window, folder.File("a.bmp"));
        way.end(window);
        EXPECT_TRUE(program.EndsCleanly());
        EXPECT_EQ(Contents(folder.File("a.bmp")), before);
        EXPECT_EQ(ListFolder(folder.Path()), "a.bmp");
    }
}

TEST(ProgramTest, OkHalvesEveryFileAddedThroughTheOpenDialogAndKeepsTheOriginals) {
    TempFolder folder;
    WriteBitmap(folder.File("a.bmp"), 100, 80);
    WriteBitmap(folder.File("b.bmp"), 101, 81);
    Program program({});
    const unsigned long window = program.Window();
    ASSERT_NE(window, 0u);
    AddThroughOpenDialog(window, folder.File("b.bmp"));
    AddThroughOpenDialog(window, folder.File("a.bmp"));
    SendKeys(window, "Return");
    ASSERT_TRUE(program.EndsCleanly());
    EXPECT_EQ(SizeOf(folder.File("olda.bmp")), "100 x 80");
    EXPECT_EQ(SizeOf(folder.File("a.bmp")), "50 x 40");
    EXPECT_EQ(SizeOf(folder.File("oldb.bmp")), "101 x 81");
    EXPECT_EQ(SizeOf(folder.File("b.bmp")), "50 x 40");
}

}  // namespace
