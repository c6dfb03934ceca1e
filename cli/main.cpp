// dorvalune-shrink: the file job of the window, for scripts. Reports what it
// did with every file and sets the exit status accordingly.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/ParallelJobs.h"
#include "platform/win32/LastError.h"
#include "res/Version.h"
#include "shrink/ShrinkFile.h"

namespace {

constexpr int kAllShrunk = 0;
constexpr int kSomePassedOver = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "Usage: dorvalune-shrink [--quiet] [--jobs N] [--] FILE...\n"
    "Halves the width and height of each image FILE in place. The original is\n"
    "kept beside it with \"old\" in front of its name; the half-size image is\n"
    "written under FILE in the format its extension names. The colour red 255,\n"
    "green 0, blue 128 is treated as transparent.\n"
    "\n"
    "  --quiet     report only the files that were passed over\n"
    "  --jobs N    shrink up to N files at once (default: one per processor,\n"
    "              four per processor when every file is under 4 MiB)\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "File names are reported with control characters and backslashes escaped as\n"
    "in C (\\n, \\\\, \\x01).\n"
    "\n"
    "Exit status: 0 when every file was shrunk, 1 when any was passed over,\n"
    "2 for a usage error.\n";

// A name on one line of the report: control characters and backslashes
// escaped as in C, so that a newline in a name cannot start a false line.
std::string Printable(const char* name) {
    std::string text;
    for (const char* c = name; *c != '\0'; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte == '\n') {
            text += "\\n";
        } else if (byte == '\t') {
            text += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
            text += escaped;
        } else {
            text += *c;
        }
    }
    return text;
}

std::string BaseName(const CString& path) {
    const int slash = path.ReverseFind('/');
    return Printable(path.GetString() + slash + 1);
}

// Why a file operation failed, where that tells more than the outcome.
const char* DescribeError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_DISK_FULL:
            return "disk full";
        case ERROR_WRITE_FAULT:
            return "input/output error";
        case ERROR_FILENAME_EXCED_RANGE:
            return "file name too long";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return "out of memory";
        case ERROR_SHARING_VIOLATION:
            return "file busy";
        case ERROR_NOT_SUPPORTED:
            return "not supported by the file system";
        default:
            return nullptr;
    }
}

// One line per file: what became of it, on stdout when shrunk, else on stderr.
void Report(const CString& path, const ShrinkReport& report, bool quiet) {
    if (report.outcome == ShrinkOutcome::Shrunk) {
        if (!quiet) {
            std::printf("shrunk %s %ldx%ld -> %ldx%ld, original kept as %s\n",
                        Printable(path.GetString()).c_str(), static_cast<long>(report.width),
                        static_cast<long>(report.height), static_cast<long>(report.newWidth),
                        static_cast<long>(report.newHeight), BaseName(report.backupName).c_str());
        }
        return;
    }
    const char* cause = report.outcome == ShrinkOutcome::BackupFailed ||
                                report.outcome == ShrinkOutcome::CannotWrite
                            ? DescribeError(report.error)
                            : nullptr;
    std::fprintf(stderr, "passed over %s: %s%s%s%s\n", Printable(path.GetString()).c_str(),
                 DescribeOutcome(report.outcome), cause ? " (" : "", cause ? cause : "",
                 cause ? ")" : "");
}

bool ParseJobs(const char* text, unsigned& jobs) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || value == 0 || value > 1024)
        return false;
    jobs = static_cast<unsigned>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    unsigned jobs = 0;  // not given
    std::vector<CString> files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && std::strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && std::strcmp(arg, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return kAllShrunk;
        } else if (options && std::strcmp(arg, "--version") == 0) {
            std::puts("dorvalune-shrink " DORVALUNE_VERSION_TEXT);
            return kAllShrunk;
        } else if (options && std::strcmp(arg, "--quiet") == 0) {
            quiet = true;
        } else if (options && std::strcmp(arg, "--jobs") == 0) {
            if (i + 1 >= argc || !ParseJobs(argv[++i], jobs)) {
                std::fprintf(stderr, "dorvalune-shrink: --jobs needs a number from 1 to 1024\n");
                return kUsageError;
            }
        } else if (options && std::strncmp(arg, "--jobs=", 7) == 0) {
            if (!ParseJobs(arg + 7, jobs)) {
                std::fprintf(stderr, "dorvalune-shrink: --jobs needs a number from 1 to 1024\n");
                return kUsageError;
            }
        } else if (options && arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "dorvalune-shrink: unknown option %s\n%s", arg, kUsage);
            return kUsageError;
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.empty()) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }

    if (jobs == 0)
        jobs = DefaultJobCount(files);
    bool allShrunk = true;
    RunInParallel(files, jobs, [&](const CString& path, const ShrinkReport& report) {
        Report(path, report, quiet);
        if (report.outcome != ShrinkOutcome::Shrunk)
            allShrunk = false;
    });
    return allShrunk ? kAllShrunk : kSomePassedOver;
}
