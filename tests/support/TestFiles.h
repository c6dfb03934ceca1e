// Reading and writing whole files in tests. A file a test needs and cannot
// read fails that test with the file's name instead of handing it an empty
// buffer to patch or decode.
#pragma once

#include <string>
#include <vector>

#include "Win32Api.h"

using Bytes = std::vector<BYTE>;

// A file of the repository's test data (tests/data/<relative>).
std::string TestDataPath(const std::string& relative);

// The whole file in a buffer of exactly its size, so that AddressSanitizer
// sees any read past its end. Throws std::runtime_error naming the file when
// it cannot be read; GoogleTest reports that as the test's failure.
Bytes ReadFileBytes(const std::string& path);

// Writes the file whole; throws like ReadFileBytes when it cannot.
void WriteFileBytes(const std::string& path, const Bytes& bytes);
