#include "io/FileState.h"

#include <cstring>

namespace io {
namespace {

// `find(from, c)` gives the index of the next `c` at or after `from`, or -1.
template <typename Text, typename Find> LineEnd DetectLineEndIn(const Text& text, Find find) {
    const qsizetype n = text.size();
    qsizetype lf = 0, cr = 0, crlf = 0;
    for (qsizetype at = find(0, '\n'); at >= 0; at = find(at + 1, '\n'))
        ++(at > 0 && text[at - 1] == '\r' ? crlf : lf);
    for (qsizetype at = find(0, '\r'); at >= 0; at = find(at + 1, '\r'))
        if (at + 1 == n || text[at + 1] != '\n')
            ++cr;
    if (lf > 0 && cr == 0 && crlf == 0)
        return LineEnd::Lf;
    if (cr > 0 && lf == 0 && crlf == 0)
        return LineEnd::Cr;
    return LineEnd::CrLf;
}

} // namespace

LineEnd DetectLineEnd(QByteArrayView bytes) {
    return DetectLineEndIn(bytes, [&](qsizetype from, char c) {
        if (from >= bytes.size())
            return qsizetype(-1);
        const void* hit = std::memchr(bytes.data() + from, c, size_t(bytes.size() - from));
        return hit ? static_cast<const char*>(hit) - bytes.data() : qsizetype(-1);
    });
}

LineEnd DetectLineEnd(QStringView text) {
    return DetectLineEndIn(text, [&](qsizetype from, char c) {
        return from >= text.size() ? qsizetype(-1) : text.indexOf(QChar(c), from);
    });
}

ChangeOnDisk Compare(const FileIdentity& known, const FileIdentity& now,
                     const FileIdentity& declined) {
    if (!known.exists)
        return ChangeOnDisk::None;
    if (!now.exists)
        return ChangeOnDisk::Deleted;
    if (now == known)
        return ChangeOnDisk::None;
    if (declined.exists && now == declined)
        return ChangeOnDisk::Declined;
    return ChangeOnDisk::Changed;
}

} // namespace io
