#include "io/FileState.h"

namespace io {

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
