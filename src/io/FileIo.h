#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/FileState.h"

#include <QByteArray>
#include <QString>

// Why a file could not be read or written.
enum class FileError {
    None,
    NotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    SharingViolation,
    LockViolation,
    DiskFull,
    HardIo,
    TooLarge,    // more than the program can hold
    NotVerified, // written, but reading it back gave other bytes
    Generic,
};

// The cause for a system error number.
FileError FileErrorFromErrno(int error);

// The message for a failure on `path`; `loading` picks the general message
// used when no cause is known.
QString FileErrorMessage(FileError error, const QString& path, bool loading);

// The largest file the editor opens.
constexpr qint64 kMaxFileSize = qint64(1) << 30;

// Reads the whole file. On failure `bytes` is left empty. `identity`, when
// given, receives what the file was when it was read.
FileError ReadWholeFile(const QString& path, QByteArray& bytes,
                        io::FileIdentity* identity = nullptr);

// Replaces the file with `bytes`: the content goes to a temporary file in the
// same folder, which is flushed to the disk and renamed over the old one, so
// a failure at any point leaves the old file as it was. The result is read
// back and compared before success is reported.
// `identity`, when given, receives what the file is after the save.
FileError WriteWholeFile(const QString& path, const QByteArray& bytes,
                         io::FileIdentity* identity = nullptr);

namespace io {

// What the file at `path` (symbolic links followed) is now; `exists` is
// false when nothing is there.
FileIdentity IdentityOf(const QString& path);

} // namespace io
