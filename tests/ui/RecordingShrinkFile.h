// The file job as the dialog tests see it: a recorder linked in place of the
// real one, so "OK" can be watched without touching any file.
#pragma once

#include <string>
#include <vector>

// Every path handed to the file job, in order.
std::vector<std::string>& ShrunkPaths();
// The file job raises the framework's memory exception for this path.
void FailShrinkingWithMemoryException(const std::string& path);
