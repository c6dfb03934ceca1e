#include "tests/ui/RecordingShrinkFile.h"

#include "platform/mfc/AfxExceptions.h"
#include "shrink/ShrinkFile.h"

namespace {

std::string g_failingPath;

}  // namespace

std::vector<std::string>& ShrunkPaths() {
    static std::vector<std::string> paths;
    return paths;
}

void FailShrinkingWithMemoryException(const std::string& path) {
    g_failingPath = path;
}

// Takes the place of the file job in this test program: the linker uses this
// definition and never pulls the real one from the shrink library.
void ShrinkFile(const CString& path) {
    ShrunkPaths().emplace_back(path.GetString());
    if (!g_failingPath.empty() && g_failingPath == path.GetString())
        AfxThrowMemoryException();
}
