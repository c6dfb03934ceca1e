// The test folders of tests/support/TempFolder.h on Windows: a fresh folder
// under the system's temporary folder, removed with its contents at the end.
#include "tests/support/TempFolder.h"

#include <filesystem>

#include "Win32Api.h"

TempFolder::TempFolder() {
    char base[MAX_PATH + 1];
    const std::string folder(base, GetTempPathA(sizeof(base), base));
    static unsigned count = 0;
    do
        m_path = folder + "dorvalune-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(count++);
    while (!CreateDirectoryA(m_path.c_str(), nullptr));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}
