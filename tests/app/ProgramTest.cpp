// The whole program, started as a user starts it and driven through its
// window with keys: the native open-file dialog adds files, "OK" halves them.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/guitesting/GuiTesting.h"
#include "tests/support/JobChecks.h"
#include "tests/support/TempFolder.h"

extern char** environ;

namespace {

// The program, started with arguments (which it ignores), killed if it is
// still running at the end of the test.
class Program {
public:
    explicit Program(std::vector<std::string> words) {
        words.insert(words.begin(), DORVALUNE_PROGRAM);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, DORVALUNE_PROGRAM, nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
    }
    ~Program() {
        if (m_pid != 0 && kill(m_pid, SIGKILL) == 0)
            waitpid(m_pid, nullptr, 0);
    }

    // True when the program ends within 20 seconds, with exit code 0.
    bool EndsCleanly() {
        int status = 0;
        for (int tries = 0; tries < 400; ++tries, PumpFor(50)) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
        }
        return false;
    }

private:
    pid_t m_pid = 0;
};

// A window of the title once it is on screen; 0 if none came.
unsigned long FindWindow(const std::string& title, const char* wait = "--sync ") {
    return std::strtoul(RunCommand("timeout 20 xdotool search " + std::string(wait) +
                                   "--onlyvisible --name '^" + title + "$'")
                            .c_str(),
                        nullptr, 10);
}

// From "OK" (which has the focus when the window opens) to "^ .bmp", then
// through the native open-file dialog with the path typed into its location
// field, and back to "OK".
void AddThroughOpenDialog(unsigned long window, const std::string& path) {
    SendKeys(window, "Tab Tab space");
    const unsigned long chooser = FindWindow("Open");
    ASSERT_NE(chooser, 0u) << "the open-file dialog did not appear";
    PumpFor(500);
    SendKeys(chooser, "ctrl+l");
    TypeText(chooser, path);
    SendKeys(chooser, "Return");
    PumpUntil([] { return FindWindow("Open", "") == 0; });
    SendKeys(window, "shift+Tab shift+Tab");
}

TEST(ProgramTest, OkHalvesTheFilesAddedThroughTheOpenDialogWhileEscapeAndTheCloseBoxTouchNone) {
    const struct {
        const char* how;
        void (*end)(unsigned long window);
        bool halves;
    } ways[] = {
        {"Enter on OK", [](unsigned long window) { SendKeys(window, "Return"); }, true},
        {"Escape", [](unsigned long window) { SendKeys(window, "Escape"); }, false},
        {"close box", [](unsigned long window) { RequestClose(window); }, false},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        TempFolder folder;
        WritePicture(folder.File("a.bmp"), 100, 80);
        WritePicture(folder.File("b.bmp"), 101, 81);
        WritePicture(folder.File("c.bmp"), 10, 8);
        const FolderState before = StateOf(folder.Path());
        // A file named on the command line is never listed, so never shrunk.
        Program program({folder.File("c.bmp")});
        const unsigned long window = FindWindow("Dorvalune");
        ASSERT_NE(window, 0u);
        // What desktops match the launcher entry and show the icon by.
        const std::string id = std::to_string(window);
        EXPECT_NE(RunCommand("xprop -id " + id + " WM_CLASS").find("\"dorvalune\""),
                  std::string::npos);
        EXPECT_NE(RunCommand("xprop -id " + id + " _NET_WM_ICON").find("Icon (32 x 32)"),
                  std::string::npos);
        AddThroughOpenDialog(window, folder.File("b.bmp"));
        AddThroughOpenDialog(window, folder.File("a.bmp"));
        way.end(window);
        ASSERT_TRUE(program.EndsCleanly());
        ExpectKept(before, folder.Path(),
                   way.halves ? std::vector<Halved>{{"a.bmp", 50, 40}, {"b.bmp", 50, 40}}
                              : std::vector<Halved>{});
    }
}

}  // namespace

TEST(ProgramTest, WithoutADisplayItSaysSoOnOneLineAndExitsWithOne) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY '" DORVALUNE_PROGRAM "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string said;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        said += buffer;
    const int status = ::pclose(pipe);
    EXPECT_EQ(said, "dorvalune: cannot open the display; is DISPLAY set?\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}
