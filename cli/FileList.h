// The paths of a list file, for --files-from: one to a line, or separated by
// NUL bytes as `find -print0` writes them.
#pragma once

#include <string>
#include <vector>

#include "platform/mfc/AfxString.h"

// Appends the paths of the list `name` ("-" for standard input) to files, in
// their order, leaving out empty ones. A path may hold any byte but the
// separator; in line mode a NUL byte is refused, as it means the list was
// written for NUL mode. False, with the reason in error, when the list cannot
// be read or is refused.
bool ReadFileList(const char* name, bool nulSeparated, std::vector<CString>& files,
                  std::string& error);
