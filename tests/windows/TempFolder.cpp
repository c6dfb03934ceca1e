// The test folders of tests/support/TempFolder.h on Windows: a fresh folder
// under the system's temporary folder, removed with its contents at the end.
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Win32Api.h"

TempFolder::TempFolder() {
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof(base), base);
    const std::string folder(base, length);
    static unsigned count = 0;
    for (;;) {
        m_path = folder + "dorvalune-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(count++);
        if (CreateDirectoryA(m_path.c_str(), nullptr))
            return;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Give back write access a test may have taken away, then remove all.
    for (auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored))
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    std::filesystem::remove_all(m_path, ignored);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ListFolder(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (auto& entry : std::filesystem::directory_iterator(path, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& name : names)
        joined += (joined.empty() ? "" : " ") + name;
    return joined;
}
