// How much memory the test process has held at most, to show that a decoder
// refused a huge declared size before allocating it.
#pragma once

#include <sys/resource.h>

// The process's peak resident memory so far, in kilobytes.
inline long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
