#pragma once

#include <QString>

// Why one file of a run was not converted. Each value is decided where the failure happens (the
// loader, the page checks, the writer, the rename, the run's output-name ledger) and carried to
// the starter, which tells the user; nobody reads a library's message text to find it.
enum class FileFailureKind {
    None,
    InputMissing,        // the input file vanished or cannot be found
    InputUnreadable,     // permission denied or an I/O error while reading it
    NotTiff,             // the file does not begin like a TIFF
    Damaged,             // a TIFF, but truncated or damaged (detail: the page, when known)
    PageTooLarge,        // a page beyond the size limit (detail: "W x H")
    NoPages,             // every selected page is empty (0 x 0)
    ProcessingFailed,    // an image step gave no image (usually memory)
    OutOfMemory,         // the writer could not allocate its buffers
    OutputFolderMissing, // the output folder (or subfolder) does not exist
    PermissionDenied,    // the output folder or file may not be written
    DiskFull,            // no space (or quota) left
    FileTooLarge,        // the file size limit of the process or file system
    WriteFailed,         // the writer failed for another reason (detail: the format key)
    RenameFailed,        // the finished temporary file could not take the output name
    OutputNameUsed,      // an earlier file of the run wrote this name (detail: that input)
    WouldOverwriteInput, // the output name is an input file of the run (detail: the output)
    OutputLeavesFolder,  // the output name climbs out of the output folder (detail: the output)
    Abandoned,           // the run was stopped while the file was in hand
};

struct FileFailure {
    FileFailureKind kind = FileFailureKind::None;
    QString detail = {};

    explicit operator bool() const { return kind != FileFailureKind::None; }
};

// One line of plain English for a failure: "not a TIFF file", "page too large (40000 x 40000)",
// "output name already used by /in/a/img.tif", ...
QString describeFailure(const FileFailure& failure);

// Why an input failed to decode is told by engine/decode/input_diagnosis.h.

// Why a write into `path` failed, from the errno the writer left (0 when unknown) and the state
// of the target folder.
FileFailure diagnoseWriteFailure(const QString& path, int savedErrno, const QString& outputKey);
