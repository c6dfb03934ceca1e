// The job that shrinks one file in place: load it, keep the original under
// its backup name, write the half-size image under the file's own path.
// After every job either the path holds the new image and the backup the
// untouched original, or everything is as it was.
#pragma once

#include "platform/mfc/AfxString.h"

enum class ShrinkOutcome {
    Shrunk,
    Missing,       // no file at the path
    Unreadable,    // not a regular file, no permission to read it, or a read error
    NotDecodable,  // not an image, damaged, or a format without a decoder
    TooLarge,      // beyond one of the library's limits
    NoMemory,      // memory was refused while the file was read or decoded
    TooSmall,      // a side of one pixel halves to nothing
    NoEncoder,     // no encoder writes the path's extension
    BackupExists,  // a file of the backup name is there already
    BackupFailed,  // the backup could not be made (permissions, name too long...)
    CannotCreate,  // no memory for the half-size image
    CannotWrite,   // the half-size image could not be written
};

struct ShrinkReport {
    ShrinkOutcome outcome = ShrinkOutcome::NotDecodable;
    CString backupName;
    LONG width = 0;
    LONG height = 0;
    LONG newWidth = 0;
    LONG newHeight = 0;
    // The cause as the platform's last error: a file operation's, or for a
    // file that is passed over unread, undecoded or too large, the decoder's
    // status as its nearest code (ERROR_BAD_FORMAT, ERROR_INVALID_DATA,
    // ERROR_NOT_SUPPORTED...); else 0.
    DWORD error = 0;
    // For TooLarge: the limit in words, and the sides the file declared
    // where it declared them (else 0).
    const char* limit = nullptr;
    unsigned long long declaredWidth = 0;
    unsigned long long declaredHeight = 0;
    // The job failed after renaming the original to the backup name and
    // could not rename it back: the original now sits under backupName.
    bool leftAtBackup = false;
};

// Where the path's last component starts: after the last separator ('/',
// and on Windows '\\' too), 0 for a path without one.
int NameOffset(const CString& path);

// "old" put directly in front of the path's last component.
CString BackupNameFor(const CString& path);

// The job, reporting what it did.
ShrinkReport ShrinkFileWithReport(const CString& path);

// Every check the job makes before it touches anything, and what the job
// would meet when it makes the backup and writes the new image; nothing is
// written. The outcome is Shrunk when the job would shrink the file.
ShrinkReport CheckShrinkFile(const CString& path);

// The job as the batch run calls it: the outcome is not looked at.
void ShrinkFile(const CString& path);

// Plain words for an outcome, as the command line reports it.
const char* DescribeOutcome(ShrinkOutcome outcome);
