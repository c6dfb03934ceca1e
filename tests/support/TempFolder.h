// A fresh folder under the system's temporary folder, removed with its
// contents when the test ends.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

bool FileExists(const std::string& path);
// The names in a folder, sorted.
std::string ListFolder(const std::string& path);
