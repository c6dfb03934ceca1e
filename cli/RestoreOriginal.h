// --undo: the original that a job kept under the backup name goes back under
// the file's own name, in one rename that replaces the half-size image.
#pragma once

#include "platform/mfc/AfxString.h"

enum class RestoreOutcome {
    Restored,
    NoBackup,        // nothing of the backup name
    BackupIsFolder,  // the backup name is a folder, not a kept original
    FileIsFolder,    // the path names a folder
    CannotRestore,   // the rename failed
};

struct RestoreReport {
    RestoreOutcome outcome = RestoreOutcome::NoBackup;
    CString backupName;
    // The platform's last error where the rename failed, else 0.
    DWORD error = 0;
};

// Renames the backup over path; with checkOnly, says what that would do and
// renames nothing.
RestoreReport RestoreOriginal(const CString& path, bool checkOnly);

const char* DescribeRestoreOutcome(RestoreOutcome outcome);
