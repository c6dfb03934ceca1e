#include "tests/support/Pillow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

std::vector<PillowPicture> ReadWithPillow(const std::vector<std::string>& paths) {
    // The helper lies beside this file, one folder up from the test data.
    const TempFolder answers;
    std::string command = "/usr/bin/python3 '" + TestDataPath("../support/read_with_pillow.py") +
                          "' '" + answers.Path() + "'";
    for (const std::string& path : paths)
        command += " '" + path + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("cannot run Pillow: " + command);
    std::vector<PillowPicture> pictures(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string answer = answers.File(std::to_string(i) + ".rgba");
        if (!FileExists(answer))
            continue;
        const Bytes bytes = ReadFileBytes(answer);
        const auto newline = std::find(bytes.begin(), bytes.end(), '\n');
        const std::string header(bytes.begin(), newline);
        PillowPicture& p = pictures[i];
        if (newline == bytes.end() ||
            std::sscanf(header.c_str(), "%u %u", &p.width, &p.height) != 2)
            continue;
        for (auto at = newline + 1; bytes.end() - at >= 4; at += 4)
            p.pixels.push_back(ARGB(at[3]) << 24 | at[0] << 16 | at[1] << 8 | at[2]);
        p.read = p.pixels.size() == size_t{p.width} * p.height;
    }
    return pictures;
}
