#include "cli/FileList.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The system's words for an error, as the rest of a report line: "no such
// file or directory".
std::string Reason(int error) {
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

bool ReadFileList(const char* name, bool nulSeparated, std::vector<CString>& files,
                  std::string& error) {
    const bool standardInput = std::strcmp(name, "-") == 0;
    FILE* list = standardInput ? stdin : std::fopen(name, "rb");
    if (list == nullptr) {
        error = Reason(errno);
        return false;
    }
    const char separator = nulSeparated ? '\0' : '\n';
    std::vector<CString> read;
    std::string path;
    bool ok = true;
    unsigned long line = 1;
    char buffer[65536];
    size_t count;
    while (ok && (count = std::fread(buffer, 1, sizeof(buffer), list)) > 0) {
        for (size_t i = 0; i < count; ++i) {
            const char c = buffer[i];
            if (c == separator) {
                if (!path.empty())
                    read.emplace_back(path.c_str());
                path.clear();
                ++line;
            } else if (c == '\0') {
                error = "line " + std::to_string(line) + " holds a NUL byte (use --null)";
                ok = false;
                break;
            } else {
                path += c;
            }
        }
    }
    if (ok && std::ferror(list)) {
        error = Reason(errno);
        ok = false;
    }
    if (ok && !path.empty())
        read.emplace_back(path.c_str());
    if (!standardInput)
        std::fclose(list);
    if (!ok)
        return false;
    files.insert(files.end(), read.begin(), read.end());
    return true;
}
