// What the file job promises, checked from the files alone: after every job
// either the path holds the new image and "old" + its name the untouched
// original, or everything in the folder is as it was.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "tests/support/TestFiles.h"

// A folder's entries, its subfolders' included, by path from the folder: a
// file's bytes, a link's target (not followed), or the kind.
using FolderState = std::map<std::string, Bytes>;

inline FolderState StateOf(const std::string& folder) {
    namespace fs = std::filesystem;
    FolderState state;
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).string();
        if (entry.is_symlink())
            state[name] = text("link to " + fs::read_symlink(entry.path()).string());
        else if (entry.is_regular_file() && ::access(entry.path().string().c_str(), R_OK) == 0)
            state[name] = ReadFileBytes(entry.path().string());
        else if (entry.is_regular_file())
            state[name] = text("an unreadable file");
        else
            state[name] = text(entry.is_directory() ? "a folder" : "a special file");
    }
    return state;
}

// The names that differ between two states; empty when they are the same.
inline std::string Differences(const FolderState& expected, const FolderState& actual) {
    std::string names;
    for (const auto& [name, bytes] : expected) {
        if (!actual.count(name) || actual.at(name) != bytes)
            names += (actual.count(name) ? " changed: " : " missing: ") + name;
    }
    for (const auto& [name, bytes] : actual) {
        if (!expected.count(name))
            names += " new: " + name;
    }
    return names;
}

// After jobs in folder, whose state was before: every halved name holds an
// image of its half size and "old" + name the original; all else is as it was.
struct Halved {
    std::string name;
    LONG width, height;
};
inline void ExpectKept(const FolderState& before, const std::string& folder,
                       const std::vector<Halved>& halved = {}) {
    const FolderState after = StateOf(folder);
    FolderState expected = before;
    for (const Halved& h : halved) {
        CDibImage image;
        EXPECT_EQ(image.Load((folder + "/" + h.name).c_str()), S_OK) << h.name;
        EXPECT_EQ(image.width(), h.width) << h.name;
        EXPECT_EQ(image.height(), h.height) << h.name;
        expected["old" + h.name] = before.count(h.name) ? before.at(h.name) : Bytes();
        expected[h.name] = after.count(h.name) ? after.at(h.name) : Bytes();
    }
    EXPECT_EQ(Differences(expected, after), "");
}

// A picture file in the format its extension names, written by our own
// encoder: a gradient, or all one colour when one is given. Indexed
// pictures get a table of black and that colour.
constexpr COLORREF kGradient = 0xFFFFFFFF;
inline void WritePicture(const std::string& path, LONG width, LONG height, WORD bpp = 24,
                         COLORREF colour = kGradient, const DWORD* masks = nullptr) {
    CDibImage image;
    ASSERT_TRUE(image.Create(width, height, bpp, masks ? BI_BITFIELDS : BI_RGB, masks, 0));
    if (bpp <= 8) {
        const RGBQUAD table[2] = {{0, 0, 0, 0},
                                  {GetBValue(colour), GetGValue(colour), GetRValue(colour), 0}};
        image.SetColorTable(0, 2, table);
    }
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x)
            image.SetPixel(x, y, colour != kGradient ? colour : RGB(x * 9 % 256, y * 7 % 256, 50));
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK) << path;
}

#ifdef DORVALUNE_SHRINK_BINARY
#include <sys/wait.h>

// What one run of the companion wrote and its exit status.
struct CompanionRun {
    int status = -1;
    std::string out, err;
};

// Runs the companion in folder with the arguments, each quoted for the shell.
// before goes ahead of the command: variables, a wrapper (prlimit, setpriv),
// redirections. With together, standard error goes into out as well.
inline CompanionRun Companion(const std::vector<std::string>& args, const std::string& folder,
                              const std::string& before = "", bool together = false) {
    auto quoted = [](const std::string& text) {
        std::string q = "'";
        for (char c : text)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    std::string command =
        "cd " + quoted(folder) + " && " + before + quoted(DORVALUNE_SHRINK_BINARY);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    const std::string errFile = folder + ".err";
    command += together ? " 2>&1" : " 2>" + quoted(errFile);
    CompanionRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!together) {
        const Bytes err = ReadFileBytes(errFile);
        run.err.assign(err.begin(), err.end());
        std::remove(errFile.c_str());
    }
    return run;
}
#endif
