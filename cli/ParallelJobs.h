// Runs a job over many files on several threads. Each file's job is
// unchanged; a path listed more than once is worked on by one thread, in the
// order given, so its second pass sees the first pass's result.
#pragma once

#include <functional>
#include <vector>

#include "platform/mfc/AfxString.h"

// How many files to work on at once when the user does not say: one per
// processor; four per processor when every file is small (under
// kSmallFileBytes), as such a job spends most of its time waiting for the
// disk to take the new file, and the file system takes several in one go.
constexpr unsigned long long kSmallFileBytes = 4ull << 20;
unsigned DefaultJobCount(const std::vector<CString>& files);

// Calls job for every file, up to `jobs` at once, the files taken in the
// order given (with one job, strictly one after another); returns when all
// are done. Reporting is up to the job, which
// runs on the worker threads.
void RunInParallel(const std::vector<CString>& files, unsigned jobs,
                   const std::function<void(const CString&)>& job);
