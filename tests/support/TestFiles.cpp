#include "tests/support/TestFiles.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

std::string TestDataPath(const std::string& relative) {
    return std::string(DORVALUNE_TESTDATA_DIR) + "/" + relative;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("test input missing or unreadable: " + path);
    Bytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        throw std::runtime_error("test input could not be read: " + path);
    return bytes;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("could not write test file: " + path);
}
