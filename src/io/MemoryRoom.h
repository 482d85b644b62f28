#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace io {

// What the process may still allocate, from the system's point of view.
// Each limit is optional: nothing means "no such limit".
struct MemoryRoom {
    std::optional<qint64> available;    // the system's available memory
    std::optional<qint64> addressLimit; // RLIMIT_AS
    qint64 addressUsed = 0;             // the process's address space now
    std::optional<qint64> dataLimit;    // RLIMIT_DATA
    qint64 dataUsed = 0;                // the process's data segments now
};

// The room as the system reports it now (/proc/meminfo, /proc/self/status,
// getrlimit).
MemoryRoom CurrentMemoryRoom();

// The bytes that may still be allocated: the smallest of what is available
// and what each limit leaves; nothing when no bound is known.
std::optional<qint64> Headroom(const MemoryRoom& room);

// Number of lines in `bytes`: LF, CR LF and a lone CR each end one, and a
// last line without a break counts too.
qint64 CountLines(QByteArrayView bytes);

} // namespace io
