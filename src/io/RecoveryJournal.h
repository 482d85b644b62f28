#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/FileState.h"
#include "io/ParagraphWalk.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

#include <optional>

namespace io {

// Who wrote a journal: enough to tell whether that process still runs. The
// start time tells a reused process number from the one that wrote it.
struct JournalOwner {
    QString host;
    QString bootId;
    qint64 pid = 0;
    quint64 startTime = 0; // clock ticks after boot, from /proc/<pid>/stat

    friend bool operator==(const JournalOwner&, const JournalOwner&) = default;
};

// One change of a text: `removed` units at `position` replaced by `inserted`.
struct JournalEdit {
    qint64 position = 0;
    qint64 removed = 0;
    QString inserted;

    friend bool operator==(const JournalEdit&, const JournalEdit&) = default;
};

// A recovery journal: the unsaved state of one document. Without text it is
// only the owner's record that the file is open (the lock). On disk the text
// is a base (the whole text as last written whole) and the edits appended
// since; reading one replays them.
struct Journal {
    QString path; // absolute; empty for an untitled document
    FileIdentity identity;
    TextFormat format;
    QDateTime written; // UTC
    JournalOwner owner;
    bool hasText = false;
    QString text; // the pane's raw text, lines separated by U+2029
    int edits = 0;             // edit records replayed onto the base
    bool editsStopped = false; // a damaged record stopped the replay: later ones are lost

    friend bool operator==(const Journal&, const Journal&) = default;
};

enum class JournalError {
    None,
    NotFound,
    Unreadable,
    Truncated, // shorter than its header or its recorded length says
    Corrupt,   // wrong magic, unknown version, bad field or checksum
    Unwritable,
};

// The bytes of a journal, and back. Parsing accepts only a complete journal
// whose length and checksum match; anything else is an error and no part of
// it is used.
QByteArray SerializeJournal(const Journal& journal);
JournalError ParseJournal(const QByteArray& bytes, Journal& journal);

// The bytes of edit records, each with its length and checksum, to be
// appended to a journal with text; `written` becomes the journal's time.
QByteArray SerializeEdits(const std::vector<JournalEdit>& edits, const QDateTime& written);

// CRC-32 (IEEE 802.3), as zlib computes it.
quint32 Crc32(const char* data, qsizetype size, quint32 crc = 0);

// The folder of the journals: $XDG_STATE_HOME/velm/recovery, by default
// ~/.local/state/velm/recovery.
QString JournalFolder();
// Creates the folder (mode 0700) when it is missing; false when it cannot be
// made or is not a folder.
bool EnsureJournalFolder(const QString& folder, int* error = nullptr);

// The process running this code.
const JournalOwner& CurrentOwner();
// What the owner record of a journal means to this process.
enum class OwnerState {
    Self,  // this process
    Alive, // another running process on this host, or any process elsewhere
    Dead,  // gone: no such process, another start time, or another boot
};
OwnerState StateOf(const JournalOwner& owner);
// The start time of process `pid` (0 when it does not exist).
quint64 ProcessStartTime(qint64 pid);

// File names: a document with a path gets "<hash of the path>-<owner>.vjr"
// (symbolic links resolved),
// so that the journals of a file are found from its path; an untitled one
// "untitled-<owner>-<n>.vjr".
QString PathKey(const QString& absolutePath);
QString JournalFileName(const QString& absolutePath, const JournalOwner& owner, int untitledNumber);

// Reads and checks the journal file at `file`.
JournalError ReadJournal(const QString& file, Journal& journal);
// Writes `bytes` as the journal file `file` atomically: a temporary file in
// the same folder (mode 0600), written, fsynced, renamed over `file`, and the
// folder fsynced. On failure nothing at `file` changes.
JournalError WriteJournalFile(const QString& file, const QByteArray& bytes, int* error = nullptr);
// Writes `journal` with `lines` (joined but at `splits`) as its text
// (journal.text is not used) the same way, serialising straight into the file.
JournalError WriteJournal(const QString& file, const Journal& journal, const ParagraphBatches& lines,
                          const TextSplits& splits = {}, int* error = nullptr);
// Appends `records` (from SerializeEdits) to the journal file `file` and
// fsyncs it. On failure the file may end in a torn record, which reading
// drops: a base must be written before anything is appended again.
JournalError AppendJournalFile(const QString& file, const QByteArray& records, int* error = nullptr);
// Removes the journal file; true when it is gone.
bool RemoveJournalFile(const QString& file);

// The journal files in `folder`; with `absolutePath`, only that file's.
QStringList ListJournalFiles(const QString& folder, const QString& absolutePath = QString());

} // namespace io
