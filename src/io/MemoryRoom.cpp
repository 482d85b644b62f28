#include "io/MemoryRoom.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cstring>

#include <sys/resource.h>

namespace io {
namespace {

// The value in kB of `key` in a "Key:   123 kB" listing, in bytes.
std::optional<qint64> KibField(const QByteArray& listing, const char* key) {
    const QByteArray prefix = QByteArray(key) + ':';
    qsizetype at = listing.startsWith(prefix) ? 0 : listing.indexOf('\n' + prefix);
    if (at < 0)
        return std::nullopt;
    if (at > 0)
        ++at;
    const qsizetype end = listing.indexOf('\n', at);
    QByteArray value = listing.mid(at + prefix.size(), end < 0 ? -1 : end - at - prefix.size());
    value = value.trimmed();
    if (value.endsWith("kB"))
        value.chop(2);
    bool ok = false;
    const qint64 kib = value.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return kib * 1024;
}

QByteArray ReadProcFile(const char* path) {
    // Files in /proc report size 0; read until the end.
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::optional<qint64> Limit(int resource) {
    rlimit l{};
    if (getrlimit(resource, &l) != 0 || l.rlim_cur == RLIM_INFINITY)
        return std::nullopt;
    return qint64(std::min<rlim_t>(l.rlim_cur, rlim_t(INT64_MAX)));
}

} // namespace

MemoryRoom CurrentMemoryRoom() {
    MemoryRoom room;
    room.available = KibField(ReadProcFile("/proc/meminfo"), "MemAvailable");
    const QByteArray status = ReadProcFile("/proc/self/status");
    room.addressLimit = Limit(RLIMIT_AS);
    room.addressUsed = KibField(status, "VmSize").value_or(0);
    room.dataLimit = Limit(RLIMIT_DATA);
    room.dataUsed = KibField(status, "VmData").value_or(0);
    return room;
}

std::optional<qint64> Headroom(const MemoryRoom& room) {
    std::optional<qint64> least = room.available;
    auto consider = [&least](qint64 left) {
        left = std::max<qint64>(left, 0);
        least = least ? std::min(*least, left) : left;
    };
    if (room.addressLimit)
        consider(*room.addressLimit - room.addressUsed);
    if (room.dataLimit)
        consider(*room.dataLimit - room.dataUsed);
    return least;
}

qint64 CountLines(QByteArrayView bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    qint64 lines = 0;
    // LF ends a line (after CR or not); a CR ends one when no LF follows.
    for (const char* q = p; q < end;) {
        const void* hit = std::memchr(q, '\n', size_t(end - q));
        if (!hit)
            break;
        ++lines;
        q = static_cast<const char*>(hit) + 1;
    }
    for (const char* q = p; q < end;) {
        const void* hit = std::memchr(q, '\r', size_t(end - q));
        if (!hit)
            break;
        const char* at = static_cast<const char*>(hit);
        if (at + 1 == end || at[1] != '\n')
            ++lines;
        q = at + 1;
    }
    if (!bytes.isEmpty() && bytes.back() != '\n' && bytes.back() != '\r')
        ++lines;
    return lines;
}

} // namespace io
