// Runs the file job in one process over every file of a folder, one after
// the other, and checks that nothing accumulates from file to file: the
// open descriptors and the heap in use after the warm-up files must be what
// they are after the last one.
//
//   soak_job FOLDER [WARMUP]   exit 0 when nothing grew, 1 when something did
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "shrink/ShrinkFile.h"

namespace {

// Growth of the heap in use that is still taken as none: a few blocks that
// live from one file to the next (a buffer grown to the largest row so far).
// A leak of 100 bytes a file shows after 200 files.
constexpr long kHeapSlackBytes = 16 * 1024;

// glibc's per-thread caches keep freed blocks that its statistics count as
// in use; without them the heap in use is exact.
constexpr char kExactHeapStatistics[] = "glibc.malloc.tcache_count=0";

struct Usage {
    long descriptors = 0;
    long heapBytes = 0;
    long residentKb = 0;
};

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

Usage Measure() {
    Usage usage;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++usage.descriptors;
    const struct mallinfo2 heap = ::mallinfo2();
    usage.heapBytes = static_cast<long>(heap.uordblks + heap.hblkhd);
    usage.residentKb = ResidentKb();
    return usage;
}

// The folder's names as bytes, sorted, listed before any job runs.
std::vector<std::string> ListNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: soak_job FOLDER [WARMUP]\n");
        return 2;
    }
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables == nullptr || std::strcmp(tunables, kExactHeapStatistics) != 0) {
        ::setenv("GLIBC_TUNABLES", kExactHeapStatistics, 1);
        ::execv("/proc/self/exe", argv);
    }
    const std::string folder = argv[1];
    const size_t warmup = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100;
    const std::vector<std::string> names = ListNames(folder);
    if (names.size() <= warmup) {
        std::fprintf(stderr, "soak_job: %zu files, more than %zu needed\n", names.size(), warmup);
        return 2;
    }

    std::map<std::string, int> outcomes;
    Usage afterWarmup;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string path = folder + "/" + names[i];
        ++outcomes[DescribeOutcome(ShrinkFileWithReport(CString(path.c_str())).outcome)];
        if (i + 1 == warmup)
            afterWarmup = Measure();
    }
    const Usage atEnd = Measure();

    for (const auto& [outcome, count] : outcomes)
        std::printf("%6d %s\n", count, outcome.c_str());
    std::printf("after file %zu and file %zu: descriptors %ld and %ld, resident %ld and %ld kB\n",
                warmup, names.size(), afterWarmup.descriptors, atEnd.descriptors,
                afterWarmup.residentKb, atEnd.residentKb);
    bool grew = atEnd.descriptors != afterWarmup.descriptors;
#if defined(__SANITIZE_ADDRESS__)
    std::printf("heap in use not measured under AddressSanitizer; LeakSanitizer checks at exit\n");
#else
    std::printf("heap in use: %ld and %ld bytes\n", afterWarmup.heapBytes, atEnd.heapBytes);
    grew = grew || atEnd.heapBytes > afterWarmup.heapBytes + kHeapSlackBytes;
#endif
    if (grew)
        std::printf("FAIL: grew from file to file\n");
    return grew ? 1 : 0;
}
