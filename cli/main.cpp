// dorvalune-shrink: the file job of the window, for scripts. Reports what it
// did with every file and sets the exit status accordingly.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "Win32Api.h"
#include "cli/FileFormat.h"
#include "cli/FileList.h"
#include "cli/ParallelJobs.h"
#include "cli/RestoreOriginal.h"
#include "res/Version.h"
#include "shrink/ShrinkFile.h"

namespace {

constexpr int kAllShrunk = 0;
constexpr int kSomePassedOver = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "Usage: dorvalune-shrink [OPTION]... [--] FILE...\n"
    "Halves the width and height of each image FILE in place. The original is\n"
    "kept beside it with \"old\" in front of its name; the half-size image is\n"
    "written under FILE in the format its extension names. The colour red 255,\n"
    "green 0, blue 128 is treated as transparent.\n"
    "\n"
    "  -q, --quiet             report only the files that were passed over\n"
    "  -j, --jobs N, --jobs=N  work on up to N files at once (default: one per\n"
    "                          processor, four per processor when every file\n"
    "                          is under 4 MiB)\n"
    "  -n, --dry-run           make every check and report what would be done;\n"
    "                          write, rename and leave nothing\n"
    "      --undo              put each FILE's original back: its backup is\n"
    "                          renamed over FILE\n"
    "      --files-from LIST, --files-from=LIST\n"
    "                          also take the paths listed in LIST, one a line\n"
    "                          (\"-\": standard input), where the option stands\n"
    "  -0, --null              the lists hold paths ended by NUL bytes, as from\n"
    "                          find -print0\n"
    "  -h, --help              show this text\n"
    "      --version           show the version\n"
    "\n"
    "Short options combine (-nq) and take their value attached or apart (-j4,\n"
    "-j 4); long options may be shortened to any unambiguous start (--dry).\n"
    "After --, every argument is a FILE.\n"
    "\n"
    "Each file gets one line as it ends, on standard output when it was done,\n"
    "on standard error when it was passed over: with --jobs above 1, in the\n"
    "order in which files end. File names are reported with control characters\n"
    "and backslashes escaped as in C (\\n, \\\\, \\x01).\n"
    "\n"
    "Exit status: 0 when every file was done, 1 when any was passed over,\n"
    "2 for a usage error (then no file is touched).\n";

// After a usage error, on standard error.
const char kTryHelp[] =
    "Usage: dorvalune-shrink [OPTION]... [--] FILE...\n"
    "Try 'dorvalune-shrink --help' for more.\n";

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
    return Printable(path.GetString() + NameOffset(path));
}

// Why a file operation failed, in the system's own words; null for a code
// the program does not expect from one.
const char* DescribeError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_DISK_FULL:
            return "disk full";
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
            return "input/output error";
        case ERROR_FILENAME_EXCED_RANGE:
            return "file name too long";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return "not enough memory";
        case ERROR_SHARING_VIOLATION:
            return "file busy";
        case ERROR_NOT_SUPPORTED:
            return "not supported by the file system";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "too many open files";
        case ERROR_DIRECTORY:
            return "is a folder";
        case ERROR_BAD_FILE_TYPE:
            return "not a regular file";
        case ERROR_CANT_RESOLVE_FILENAME:
            return "too many levels of symbolic links";
        default:
            return nullptr;
    }
}

// Why the file was not decoded: the decoder's status (in the report's last
// error) and, where the first bytes tell it, the file's format.
std::string UndecodableCause(const CString& path, DWORD error) {
    bool ours = false;
    const char* format = RecogniseFormat(path.GetString(), ours);
    if (format != nullptr && !ours)
        return std::string("a ") + format + " file: not a format this program reads";
    if (error == ERROR_NOT_SUPPORTED)
        return format != nullptr
                   ? std::string("a ") + format + " file in a variant this program does not read"
                   : "a variant this program does not read";
    if (format == nullptr)
        return "not a picture, or a format this program does not read";
    return std::string("a damaged ") + format + " file";
}

// The words in brackets after the outcome; empty where the outcome says all.
std::string Cause(const CString& path, const ShrinkReport& report) {
    switch (report.outcome) {
        case ShrinkOutcome::Unreadable:
        case ShrinkOutcome::BackupFailed:
        case ShrinkOutcome::CannotWrite: {
            if (const char* words = DescribeError(report.error))
                return words;
            return report.error != 0 ? "system error " + std::to_string(report.error) : "";
        }
        case ShrinkOutcome::NotDecodable:
            return UndecodableCause(path, report.error);
        case ShrinkOutcome::TooLarge: {
            const std::string limit =
                report.limit != nullptr ? report.limit : "what this program decodes";
            if (report.declaredWidth == 0 || report.declaredHeight == 0)
                return "over the limit of " + limit;
            return std::to_string(report.declaredWidth) + " x " +
                   std::to_string(report.declaredHeight) + " is over the limit of " + limit;
        }
        default:
            return "";
    }
}

// One line per file: what became of it, on stdout when done, else on stderr.
// Called as each file ends, one line at a time; stdout is line-buffered, so
// that both streams into one file or pipe keep the order of the work.
void Report(const CString& path, const ShrinkReport& report, bool quiet, bool dryRun) {
    if (report.outcome == ShrinkOutcome::Shrunk) {
        if (!quiet) {
            std::printf("%s %s %ldx%ld -> %ldx%ld, original kept as %s\n",
                        dryRun ? "would shrink" : "shrunk", Printable(path.GetString()).c_str(),
                        static_cast<long>(report.width), static_cast<long>(report.height),
                        static_cast<long>(report.newWidth), static_cast<long>(report.newHeight),
                        BaseName(report.backupName).c_str());
        }
        return;
    }
    const std::string cause = Cause(path, report);
    // Where the original could not be moved back, the user must know where it is.
    const std::string movedTo = report.leftAtBackup
                                    ? "; the original could not be moved back and is now " +
                                          Printable(report.backupName.GetString())
                                    : "";
    std::fprintf(stderr, "%s %s: %s%s%s%s%s\n", dryRun ? "would pass over" : "passed over",
                 Printable(path.GetString()).c_str(), DescribeOutcome(report.outcome),
                 cause.empty() ? "" : " (", cause.c_str(), cause.empty() ? "" : ")",
                 movedTo.c_str());
}

void ReportRestore(const CString& path, const RestoreReport& report, bool quiet, bool dryRun) {
    if (report.outcome == RestoreOutcome::Restored) {
        if (!quiet) {
            std::printf("%s %s from %s\n", dryRun ? "would restore" : "restored",
                        Printable(path.GetString()).c_str(), BaseName(report.backupName).c_str());
        }
        return;
    }
    // Held here: the backup's printable name must outlive the line.
    std::string cause;
    if (report.outcome != RestoreOutcome::CannotRestore) {
        cause = BaseName(report.backupName);
    } else if (const char* error = DescribeError(report.error)) {
        cause = error;
    }
    std::fprintf(stderr, "%s %s: %s%s%s%s\n", dryRun ? "would pass over" : "passed over",
                 Printable(path.GetString()).c_str(), DescribeRestoreOutcome(report.outcome),
                 cause.empty() ? "" : " (", cause.c_str(), cause.empty() ? "" : ")");
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
    enum LongOnly { kUndo = 256, kFilesFrom, kVersion };
    static const option kOptions[] = {{"quiet", no_argument, nullptr, 'q'},
                                      {"jobs", required_argument, nullptr, 'j'},
                                      {"dry-run", no_argument, nullptr, 'n'},
                                      {"undo", no_argument, nullptr, kUndo},
                                      {"files-from", required_argument, nullptr, kFilesFrom},
                                      {"null", no_argument, nullptr, '0'},
                                      {"help", no_argument, nullptr, 'h'},
                                      {"version", no_argument, nullptr, kVersion},
                                      {nullptr, 0, nullptr, 0}};
    bool quiet = false;
    bool dryRun = false;
    bool undo = false;
    bool nulSeparated = false;
    unsigned jobs = 0;  // not given
    // Paths and lists in the order given; the lists are read once every
    // option is known, as --null applies to all of them.
    struct Source {
        const char* name;
        bool isList;
    };
    std::vector<Source> sources;

    // "-" first: paths come back in their place among the options (as the
    // argument of option 1); ":" first after it: a missing value is ':'.
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, "-:qj:n0h", kOptions, nullptr)) != -1) {
        switch (option) {
            case 1:
                sources.push_back({optarg, false});
                break;
            case 'q':
                quiet = true;
                break;
            case 'j':
                if (!ParseJobs(optarg, jobs)) {
                    std::fprintf(stderr,
                                 "dorvalune-shrink: --jobs needs a number from 1 to 1024\n");
                    return kUsageError;
                }
                break;
            case 'n':
                dryRun = true;
                break;
            case kUndo:
                undo = true;
                break;
            case kFilesFrom:
                sources.push_back({optarg, true});
                break;
            case '0':
                nulSeparated = true;
                break;
            case 'h':
                std::fputs(kUsage, stdout);
                return kAllShrunk;
            case kVersion:
                std::puts("dorvalune-shrink " DORVALUNE_VERSION_TEXT);
                return kAllShrunk;
            case ':':
                std::fprintf(stderr, "dorvalune-shrink: %s\n%s",
                             optopt == 'j' ? "--jobs needs a number from 1 to 1024"
                                           : "--files-from needs a list file",
                             kTryHelp);
                return kUsageError;
            default: {
                const char* arg = argv[optind - 1];
                if (std::strncmp(arg, "--", 2) == 0 && optopt != 0) {
                    const std::string name(arg, std::strcspn(arg, "="));
                    std::fprintf(stderr, "dorvalune-shrink: %s takes no value\n%s", name.c_str(),
                                 kTryHelp);
                } else if (std::strncmp(arg, "--", 2) == 0) {
                    std::fprintf(stderr, "dorvalune-shrink: unknown option %s\n%s",
                                 Printable(arg).c_str(), kTryHelp);
                } else {
                    std::fprintf(
                        stderr, "dorvalune-shrink: unknown option -%s\n%s",
                        Printable(std::string(1, static_cast<char>(optopt)).c_str()).c_str(),
                        kTryHelp);
                }
                return kUsageError;
            }
        }
    }
    for (int i = optind; i < argc; ++i)
        sources.push_back({argv[i], false});

    std::vector<CString> files;
    for (const Source& source : sources) {
        std::string error;
        if (!source.isList) {
            files.emplace_back(source.name);
        } else if (!ReadFileList(source.name, nulSeparated, files, error)) {
            std::fprintf(stderr, "dorvalune-shrink: cannot read the list %s: %s\n",
                         Printable(source.name).c_str(), error.c_str());
            return kUsageError;
        }
    }
    if (files.empty()) {
        // An empty list is no mistake: nothing to do.
        for (const Source& source : sources) {
            if (source.isList)
                return kAllShrunk;
        }
        std::fputs(kTryHelp, stderr);
        return kUsageError;
    }

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (jobs == 0)
        jobs = DefaultJobCount(files);
    std::mutex reporting;
    bool allDone = true;
    // Files that ran out of memory while other files were in flight, each
    // retried once alone at the end: the memory the others held is free then.
    std::vector<CString> retry;
    const auto shrink = [&](const CString& path, bool alone) {
        const ShrinkReport report = dryRun ? CheckShrinkFile(path) : ShrinkFileWithReport(path);
        const bool memory = report.outcome == ShrinkOutcome::NoMemory ||
                            (report.outcome == ShrinkOutcome::CannotCreate && !report.leftAtBackup);
        std::lock_guard<std::mutex> lock(reporting);
        if (memory && !alone) {
            retry.push_back(path);
            return;
        }
        Report(path, report, quiet, dryRun);
        allDone = allDone && report.outcome == ShrinkOutcome::Shrunk;
    };
    RunInParallel(files, jobs, [&](const CString& path) {
        if (undo) {
            const RestoreReport report = RestoreOriginal(path, dryRun);
            std::lock_guard<std::mutex> lock(reporting);
            ReportRestore(path, report, quiet, dryRun);
            allDone = allDone && report.outcome == RestoreOutcome::Restored;
        } else {
            shrink(path, jobs == 1);
        }
    });
    for (const CString& path : retry)
        shrink(path, true);
    return allDone ? kAllShrunk : kSomePassedOver;
}
