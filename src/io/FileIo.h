#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/FileState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <vector>

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
    NotRestored, // rewriting in place failed and the old bytes could not be
                 // put back; they are kept in a safety copy (io::KeptSafetyCopy)
    NoSafetyCopy, // the file must be rewritten in place, but its safety copy or
                  // the record of the save could not be written (io::SafetyCopyProblem)
    Generic,
};

// The cause for a system error number.
FileError FileErrorFromErrno(int error);

// The message for a failure on `path`; `loading` picks the general message
// used when no cause is known.
QString FileErrorMessage(FileError error, const QString& path, bool loading);

// The largest file the editor opens.
constexpr qint64 kMaxFileSize = qint64(1) << 30;

// Reads the whole file. Only regular files are read: a folder gives
// AccessDenied, a FIFO, socket or device BadPath, at once. On failure `bytes`
// is left empty. `identity`, when given, receives what the file was when it
// was read. `keepGoing`, when given, is told after every kReadStep bytes how
// many are read of how many; when it returns false, reading stops and gives
// Generic.
constexpr qsizetype kReadStep = qsizetype(4) << 20;
FileError ReadWholeFile(const QString& path, QByteArray& bytes,
                        io::FileIdentity* identity = nullptr,
                        const std::function<bool(qint64 done, qint64 size)>& keepGoing = {});

namespace io {

// The bytes a save writes, handed out chunk by chunk, so that neither the
// writer nor the check reading them back needs the whole file at once.
// Every pass from Rewind on gives the same bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual void Rewind() = 0;
    // The next chunk, valid until the next call; empty at the end.
    virtual QByteArrayView Next() = 0;
    // The error number when the source could not give all its bytes, 0
    // otherwise.
    virtual int Failure() const { return 0; }
};

} // namespace io

// Replaces the content of the file at `path` (a symbolic link is followed and
// stays a link) with `bytes`, keeping its owner, group, mode bits and
// extended attributes (POSIX ACLs included). Every write is checked and the
// result read back and compared before success is reported; a failure leaves
// the old file as it was.
// - Atomic: a temporary file in the same folder gets the bytes and the old
//   file's metadata, is flushed, read back, and renamed over the old file.
// - In place, when the atomic way cannot keep the file what it was (more
//   than one hard link, a folder the saver cannot write to, an owner, group
//   or attribute the saver cannot give): the old bytes go to a safety copy
//   in io::SafetyCopyFolder() first; the file is overwritten, truncated,
//   flushed and read back; on failure the old bytes are written back. The
//   copy is removed once the file is whole, and kept (NotRestored) if it is
//   not.
// A new file gets the mode 0666 less the umask. The temporary file has no
// name until it is complete where the file system allows (O_TMPFILE);
// otherwise its name tells the process, and temporaries of processes that
// have gone are removed by the next save in the folder.
// `identity`, when given, receives what the file is after the save.
// The old bytes of a file rewritten in place are copied chunk by chunk as
// well: a save holds a few MiB beyond its source, whatever the file's size.
FileError WriteWholeFile(const QString& path, io::ByteSource& bytes,
                         io::FileIdentity* identity = nullptr);
FileError WriteWholeFile(const QString& path, const QByteArray& bytes,
                         io::FileIdentity* identity = nullptr);

#ifdef Q_OS_UNIX
struct stat;
#endif

namespace io {

// What the file at `path` (symbolic links followed) is now; `exists` is
// false when nothing is there.
FileIdentity IdentityOf(const QString& path);
// What the open file `fd` is now; `exists` is false when it cannot be told.
FileIdentity IdentityOfOpenFile(int fd);

#ifdef Q_OS_UNIX
// None for a regular file; a folder is not accessible as a file (access
// denied), anything else is not a file the editor can hold (bad path).
FileError FileTypeError(const struct stat& st);
#endif

// Makes a write beyond the file-size limit fail with EFBIG instead of ending
// the program with SIGXFSZ (unless the program handles the signal itself).
void IgnoreFileSizeSignal();

// The program's own state: $XDG_STATE_HOME/velm, by default
// ~/.local/state/velm.
QString StateFolder();

// Where safety copies of files rewritten in place are kept: backup in the
// state folder.
QString SafetyCopyFolder();

// Flushes the entries of `folder` (encoded name) to the disk: 0, or the
// error number. A file system that cannot flush a folder (EINVAL) counts as
// done.
int SyncFolder(const QByteArray& folder);

// Removes the temporary files that saves of processes now gone left in the
// folder of `file`.
void RemoveDeadTemporaries(const QString& file);

// The safety copy the last save in this thread had to keep because the file
// could not be made whole again; empty when it kept none.
QString KeptSafetyCopy();

// Why the last save in this thread could not make its safety copy: the
// folder and the cause; empty when it made one.
QString SafetyCopyProblem();

// How far the state folder (or a folder in it) can be trusted with what
// the program keeps there.
enum class FolderTrust {
    Own,          // the user's own folder, which nobody else can write to
    SymbolicLink, // not used: it could lead anywhere
    ForeignOwner, // not used: another user's folder
    OpenToOthers, // not used: group or others may write to it
    Missing,
    Unusable, // cannot be made or read (error)
};
struct FolderCheck {
    FolderTrust trust = FolderTrust::Own;
    int error = 0;  // the error number for Missing and Unusable
    QString folder; // the folder the verdict is about
};
// Checks `folder` and, when it lies in the state folder, each folder from
// the state folder down to it. Nothing is made.
FolderCheck CheckPrivateFolder(const QString& folder);
// Makes the missing folders of the path to `folder`, each for the owner
// alone (0700) whatever the umask, then checks it as above.
FolderCheck MakePrivateFolder(const QString& folder);
// Why the folder is not used, in a few words; and the status bar's text
// about it.
QString FolderReason(const FolderCheck& check);
QString FolderProblem(const FolderCheck& check);
// Opens a file in a private folder without following a symbolic link; only
// a regular file owned by this user is opened. -1 otherwise, the cause in
// `error`.
int OpenOwnFile(const QString& path, int flags, int* error = nullptr);

// A save that rewrote a file in place and was cut off (the program ended
// during it), as found at the next start from the record it left.
struct SettledSave {
    enum Kind {
        KeptNew,     // the file held the new bytes whole: kept
        Restored,    // anything else: the old bytes were put back
        LeftAlone,   // the file was replaced or removed since: not touched
        NotRestored, // the old bytes could not be put back
    } kind = KeptNew;
    QString path;
    QString copy;          // the safety copy, when it is kept
    FileIdentity identity; // the file after settling
};
// Settles every record in `folder` of an in-place save whose process has
// gone: a file that holds exactly the new bytes keeps them, any other
// state is put back from the safety copy. Records of running processes,
// other users' files and damaged records are left alone.
std::vector<SettledSave> SettleInterruptedSaves(const QString& folder);
// The message for a settled save; empty when there is nothing to tell.
QString SettledSaveMessage(const SettledSave& settled);

namespace testing {
// The steps of a save rewritten in place at which s_saveStep is called.
enum class SaveStep {
    Recorded,        // the record of the save is on disk; nothing is written yet
    Rewriting,       // the first chunk of the new bytes is written
    BeforeForgetting, // the new bytes are read back; the record is still there
    TemporaryWritten, // an atomic save has written its temporary file
};
// Called, when set, at each step; a test ends the process there.
extern void (*s_saveStep)(SaveStep step);

// Called, when set, on each chunk (up to 1 MiB) of the bytes a save reads
// back, before it is compared.
extern void (*s_corruptReadBack)(QByteArray& bytes);
} // namespace testing

} // namespace io
