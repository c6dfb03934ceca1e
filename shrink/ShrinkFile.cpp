#include "shrink/ShrinkFile.h"

#include <atomic>
#include <cstdio>
#include <vector>

#include "GdiplusApi.h"
#include "Win32Api.h"
#include "image/CDibImage.h"
#include "image/EncoderChoice.h"
#include "shrink/HalveImage.h"

namespace {

// How the original was kept under the backup name, so a failed job can undo it.
enum class Backup { None, Linked, Moved };

// Keeps the original under the backup name. A hard link keeps the path
// holding the original until the new image replaces it in one rename, so a
// job interrupted at any point loses nothing; where the file system has no
// hard links, the file is renamed instead.
Backup KeepOriginal(const CString& path, const CString& backupName, DWORD& error) {
    if (CreateHardLinkA(backupName, path, nullptr))
        return Backup::Linked;
    error = GetLastError();
    if (error != ERROR_NOT_SUPPORTED && error != ERROR_ACCESS_DENIED)
        return Backup::None;
    if (MoveFileA(path, backupName))
        return Backup::Moved;
    error = GetLastError();
    return Backup::None;
}

// False when the original, renamed to the backup name, could not be
// renamed back: it then stays there, whole.
bool UndoBackup(Backup backup, const CString& path, const CString& backupName) {
    if (backup == Backup::Linked) {
        DeleteFileA(backupName);
    } else if (backup == Backup::Moved) {
        return MoveFileA(backupName, path) != FALSE;
    }
    return true;
}

// Indexed images keep their own colours: the half-size image gets the
// source's colour table, so averages land on the file's palette.
void CopyColorTable(CDibImage& source, CDibImage& destination) {
    if (source.bitsPerPixel() > 8)
        return;
    RGBQUAD table[256];
    const UINT count = GetDIBColorTable(source.BorrowDC(), 0, 256, table);
    source.ReturnDC();
    destination.SetColorTable(0, count, table);
}

// The load leaves its cause in the last error: the system's, or the
// decoder's status as a code.
ShrinkOutcome LoadFailure(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ShrinkOutcome::Missing;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ShrinkOutcome::NoMemory;
        case ERROR_ARITHMETIC_OVERFLOW:
            return ShrinkOutcome::TooLarge;
        case ERROR_SUCCESS:
        case ERROR_BAD_FORMAT:
        case ERROR_INVALID_DATA:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:
            return ShrinkOutcome::NotDecodable;
        default:  // permission, read errors, not a regular file...
            return ShrinkOutcome::Unreadable;
    }
}

ShrinkOutcome BackupFailure(DWORD error) {
    switch (error) {
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return ShrinkOutcome::BackupExists;
        // The file went away after it was read.
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ShrinkOutcome::Missing;
        default:
            return ShrinkOutcome::BackupFailed;
    }
}

}  // namespace

int NameOffset(const CString& path) {
    return static_cast<int>(PathFindFileNameA(path) - path.GetString());
}

CString BackupNameFor(const CString& path) {
    CString backupName(path);
    backupName.Insert(NameOffset(path), "old");
    return backupName;
}

namespace {

// The checks before anything is touched: false, with the outcome in the
// report, when the file is passed over.
bool LoadAndCheck(const CString& path, CDibImage& source, ShrinkReport& report) {
    // An empty path names no file (the library would call it no picture).
    if (path.IsEmpty()) {
        report.error = ERROR_FILE_NOT_FOUND;
        report.outcome = ShrinkOutcome::Missing;
        return false;
    }
    // What the name holds, asked first: a codec library may report a
    // missing file or a folder only as a picture it cannot decode.
    const DWORD attributes = GetFileAttributesA(path);
    const DWORD missing = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
    if (missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND) {
        report.error = missing;
        report.outcome = ShrinkOutcome::Missing;
        return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        report.error = ERROR_DIRECTORY;
        report.outcome = ShrinkOutcome::Unreadable;
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    ClearSizeRefusal();
    if (FAILED(source.Load(path))) {
        report.error = GetLastError();
        report.outcome = LoadFailure(report.error);
        if (report.outcome == ShrinkOutcome::TooLarge) {
            // The codec library records the limit and the declared sides.
            const SizeRefusal refusal = LastSizeRefusal();
            report.limit = refusal.limit;
            report.declaredWidth = refusal.width;
            report.declaredHeight = refusal.height;
        }
        return false;
    }
    report.width = source.width();
    report.height = source.height();
    report.newWidth = source.width() / 2;
    report.newHeight = source.height() / 2;
    report.backupName = BackupNameFor(path);
    // Passed over before anything is touched: nothing could be written.
    if (report.newWidth == 0 || report.newHeight == 0) {
        report.outcome = ShrinkOutcome::TooSmall;
        return false;
    }
    if (!HasEncoderForPath(path)) {
        report.outcome = ShrinkOutcome::NoEncoder;
        return false;
    }
    return true;
}

// The folder a path names a file in, with its separator ("./" for a bare
// name).
CString FolderOf(const CString& path) {
    const int name = NameOffset(path);
    return name == 0 ? CString("./") : path.Left(name);
}

// A name beside the path for the new image until it replaces the path: "~"
// with the process's id and a count, then the path's extension, which
// chooses the encoder. As short as that, it fits wherever the path's own
// name fits. A name that a file holds already is not taken.
CString TemporaryNameFor(const CString& path) {
    static std::atomic<unsigned> count{0};
    const CString folder = path.Left(NameOffset(path));
    const LPCSTR extension = PathFindExtensionA(path);
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof(name), "~%lu-%u",
                      static_cast<unsigned long>(GetCurrentProcessId()), count++);
        CString temporary(folder);
        temporary += name;
        temporary += extension;
        if (GetFileAttributesA(temporary) == INVALID_FILE_ATTRIBUTES)
            return temporary;
    }
}

// Gives the new file what the system lets the caller give it of the
// original's security: first the owner and group, then the access list
// (on Linux the permission bits), as writing over the original would have
// kept them.
void CopySecurity(const CString& from, const CString& to) {
    for (const SECURITY_INFORMATION parts :
         {OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, DACL_SECURITY_INFORMATION}) {
        DWORD needed = 0;
        GetFileSecurityA(from, parts, nullptr, 0, &needed);
        if (needed == 0)
            continue;
        std::vector<BYTE> descriptor(needed);
        if (GetFileSecurityA(from, parts, descriptor.data(), needed, &needed))
            SetFileSecurityA(to, parts, descriptor.data());
    }
}

// Writes the new image to a temporary file beside the path, which then
// replaces the path in one move. The path is never written to itself: the
// backup may be a hard link to the same file, and a save that writes over an
// existing file in place would change the backup too. On failure the
// temporary file is removed, the path is untouched and error holds the cause.
bool SaveReplacing(CDibImage& image, const CString& path, DWORD& error) {
    const CString temporary = TemporaryNameFor(path);
    SetLastError(ERROR_SUCCESS);
    if (SUCCEEDED(image.Save(temporary, GUID_NULL))) {
        CopySecurity(path, temporary);
        if (MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
    }
    error = GetLastError();
    DeleteFileA(temporary);
    return false;
}

}  // namespace

ShrinkReport ShrinkFileWithReport(const CString& path) {
    ShrinkReport report;
    CDibImage source;
    CDibImage destination;
    if (!LoadAndCheck(path, source, report))
        return report;

    const Backup backup = KeepOriginal(path, report.backupName, report.error);
    if (backup == Backup::None) {
        report.outcome = BackupFailure(report.error);
        return report;
    }
    // Bottom-up, no alpha, the source's depth.
    if (!destination.Create(report.newWidth, report.newHeight,
                            static_cast<WORD>(source.bitsPerPixel()), BI_RGB, nullptr, 0)) {
        report.leftAtBackup = !UndoBackup(backup, path, report.backupName);
        report.outcome = ShrinkOutcome::CannotCreate;
        return report;
    }
    CopyColorTable(source, destination);
    HalveImage(source, destination);
    // The picture as loaded is not read again: its memory goes back before
    // the half picture is written, rather than with the job.
    source.Destroy();
    if (!SaveReplacing(destination, path, report.error)) {
        report.leftAtBackup = !UndoBackup(backup, path, report.backupName);
        report.outcome = ShrinkOutcome::CannotWrite;
        return report;
    }
    report.outcome = ShrinkOutcome::Shrunk;
    return report;
}

ShrinkReport CheckShrinkFile(const CString& path) {
    ShrinkReport report;
    CDibImage source;
    if (!LoadAndCheck(path, source, report))
        return report;
    // What the backup's hard link or rename and the writing of the new image
    // would meet. A read-only file is shrunk like any other: the new image
    // is a new file in the folder. Where the system refuses a hard link to
    // another user's file, the job renames it instead.
    if (GetFileAttributesA(report.backupName) != INVALID_FILE_ATTRIBUTES) {
        report.outcome = ShrinkOutcome::BackupExists;
        return report;
    }
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        report.error = GetLastError();
        report.outcome = ShrinkOutcome::BackupFailed;
        return report;
    }
    const DWORD folder = GetFileAttributesA(FolderOf(path));
    if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_READONLY) != 0) {
        report.error = folder == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_ACCESS_DENIED;
        report.outcome = ShrinkOutcome::BackupFailed;
        return report;
    }
    report.outcome = ShrinkOutcome::Shrunk;
    return report;
}

void ShrinkFile(const CString& path) {
    ShrinkFileWithReport(path);
}

const char* DescribeOutcome(ShrinkOutcome outcome) {
    switch (outcome) {
        case ShrinkOutcome::Shrunk:
            return "shrunk";
        case ShrinkOutcome::Missing:
            return "no such file";
        case ShrinkOutcome::Unreadable:
            return "cannot be read";
        case ShrinkOutcome::NotDecodable:
            return "not decodable";
        case ShrinkOutcome::TooLarge:
            return "too large";
        case ShrinkOutcome::NoMemory:
            return "not enough memory";
        case ShrinkOutcome::TooSmall:
            return "too small to halve";
        case ShrinkOutcome::NoEncoder:
            return "no encoder for the extension";
        case ShrinkOutcome::BackupExists:
            return "backup name exists";
        case ShrinkOutcome::BackupFailed:
            return "cannot make the backup";
        case ShrinkOutcome::CannotCreate:
            return "not enough memory for the half-size image";
        case ShrinkOutcome::CannotWrite:
            return "cannot write";
    }
    return "passed over";
}
