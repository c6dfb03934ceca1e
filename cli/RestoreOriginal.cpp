#include "cli/RestoreOriginal.h"

#include "Win32Api.h"
#include "shrink/ShrinkFile.h"

RestoreReport RestoreOriginal(const CString& path, bool checkOnly) {
    RestoreReport report;
    report.backupName = BackupNameFor(path);
    // An empty path has no backup: "old" alone names some other file.
    const DWORD backup =
        path.IsEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(report.backupName);
    if (backup == INVALID_FILE_ATTRIBUTES) {
        report.outcome = RestoreOutcome::NoBackup;
        return report;
    }
    if ((backup & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        report.outcome = RestoreOutcome::BackupIsFolder;
        return report;
    }
    const DWORD file = GetFileAttributesA(path);
    if (file != INVALID_FILE_ATTRIBUTES && (file & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        report.outcome = RestoreOutcome::FileIsFolder;
        return report;
    }
    if (checkOnly) {
        // The rename needs the folder writable.
        const int name = NameOffset(path);
        const DWORD folder = GetFileAttributesA(name == 0 ? CString("./") : path.Left(name));
        if (folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_READONLY) != 0) {
            report.error = ERROR_ACCESS_DENIED;
            report.outcome = RestoreOutcome::CannotRestore;
            return report;
        }
    } else if (!MoveFileExA(report.backupName, path, MOVEFILE_REPLACE_EXISTING)) {
        report.error = GetLastError();
        report.outcome = RestoreOutcome::CannotRestore;
        return report;
    }
    report.outcome = RestoreOutcome::Restored;
    return report;
}

const char* DescribeRestoreOutcome(RestoreOutcome outcome) {
    switch (outcome) {
        case RestoreOutcome::Restored:
            return "restored";
        case RestoreOutcome::NoBackup:
            return "no backup";
        case RestoreOutcome::BackupIsFolder:
            return "the backup name is a folder";
        case RestoreOutcome::FileIsFolder:
            return "is a folder";
        case RestoreOutcome::CannotRestore:
            return "cannot restore the original";
    }
    return "passed over";
}
