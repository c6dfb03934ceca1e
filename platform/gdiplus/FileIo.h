// File access of the codec library: reading a whole image file, and writing
// one so that the target name only ever holds a complete file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gdiplus/EncodedFile.h"
#include "platform/gdiplus/GdiplusTypes.h"
#include "platform/win32/PixelMemory.h"

// The narrow file name for a UTF-16 path; escaped bytes come back as they
// were. False when the path cannot be a file name.
bool FileNameFromPath(const WCHAR* path, std::string& name);

// A whole file's bytes in memory that is not zeroed first: the file's first
// byte lies `offset` bytes into the block `data` of `blockSize` bytes.
struct FileBytes {
    PixelBlock data;
    size_t size = 0;
    size_t offset = 0;
    size_t blockSize = 0;
    BYTE* Start() const { return data.get() + offset; }
};

// Where a reader would like a file's bytes to lie in the block: the byte at
// `alignedOffset` on a 64-byte boundary, and `roomAfter` bytes of room after
// the file's last byte (for rows that a section may take over in place).
struct FilePlacement {
    size_t alignedOffset = 0;
    size_t roomAfter = 0;
};
// Asked with the file's first bytes (at most kFileHeadBytes) and its size.
using PlaceFile = FilePlacement (*)(const BYTE* head, size_t headBytes, size_t fileBytes);
constexpr size_t kFileHeadBytes = 64;

// Opens a regular file and reads it whole, placed as `place` asks where it is
// given. The descriptor stays open for the caller to close. FileNotFound,
// AccessDenied, Win32Error (not a regular file: ERROR_DIRECTORY or
// ERROR_BAD_FILE_TYPE; a read error: ERROR_READ_FAULT; too many open
// files...), ValueOverflow (larger than any picture we decode), OutOfMemory.
// Sets the last error.
Status ReadWholeFile(const std::string& name, int& descriptor, FileBytes& bytes,
                     PlaceFile place = nullptr);

// Writes the file to a new temporary file beside name, flushes it to disk and
// renames it over name. A file that name held before keeps its owner, group
// (where the caller may set them) and permission bits in the new one; a new
// file gets the usual 0666 less the umask. A read-only file is replaced where
// its folder may be written, as a rename would. On any failure the temporary file is removed and
// name is untouched; the status follows the cause (AccessDenied, Win32Error for a full disk or an
// I/O error...) with the last error set. Where the file system has O_TMPFILE, the temporary file
// gets a name only once it is complete and flushed. Writing, flushing, closing and renaming go
// through the host's calls (platform/win32/Host.h).
Status WriteWholeFileReplacing(const std::string& name, const EncodedFile& data);
