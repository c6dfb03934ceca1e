// Runs the file job over many files on several threads. Each file's job is
// unchanged; a path listed more than once is worked on by one thread, in the
// order given, so its second pass sees the first pass's result.
#pragma once

#include <functional>
#include <vector>

#include "shrink/ShrinkFile.h"

unsigned DefaultJobCount();

// Calls report for every file in the order given, as soon as that file and
// all before it are done.
void RunInParallel(const std::vector<CString>& files, unsigned jobs,
                   const std::function<void(const CString&, const ShrinkReport&)>& report);
