// The program's state folder and the files in it: created for the user
// alone, and believed only while nobody else can have put anything there.

#include "io/FileIo.h"
#include "io/FileNames.h"

#include "res/StringTable.h"

#include <QDir>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// `folder` and those above it that lie within the state folder, the
// outermost first; a folder elsewhere alone.
QStringList FoldersToTrust(const QString& folder) {
    const QString clean = QDir::cleanPath(folder);
    const QString state = QDir::cleanPath(io::StateFolder());
    QStringList chain{clean};
    if (clean.startsWith(state + u'/'))
        for (QString up = QDir::cleanPath(clean + u"/.."_s); up.size() >= state.size();
             up = QDir::cleanPath(up + u"/.."_s))
            chain.prepend(up);
    return chain;
}

#ifdef Q_OS_UNIX
io::FolderCheck CheckOne(const QString& folder) {
    struct stat st {};
    if (::lstat(io::EncodeName(folder).constData(), &st) != 0)
        return {errno == ENOENT ? io::FolderTrust::Missing : io::FolderTrust::Unusable, errno,
                folder};
    if (S_ISLNK(st.st_mode))
        return {io::FolderTrust::SymbolicLink, 0, folder};
    if (!S_ISDIR(st.st_mode))
        return {io::FolderTrust::Unusable, ENOTDIR, folder};
    if (st.st_uid != ::geteuid())
        return {io::FolderTrust::ForeignOwner, 0, folder};
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return {io::FolderTrust::OpenToOthers, 0, folder};
    return {io::FolderTrust::Own, 0, folder};
}
#endif

} // namespace

io::FolderCheck io::CheckPrivateFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    for (const QString& each : FoldersToTrust(folder))
        if (const FolderCheck check = CheckOne(each); check.trust != FolderTrust::Own)
            return check;
#endif
    return {FolderTrust::Own, 0, folder};
}

io::FolderCheck io::MakePrivateFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    // Every folder made here is the user's alone, whatever the umask: the
    // missing ones above the state folder as well.
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    QStringList missing;
    for (QString at = clean;; at = QDir::cleanPath(at + u"/.."_s)) {
        struct stat st {};
        if (::lstat(EncodeName(at).constData(), &st) == 0 || errno != ENOENT || at == u"/")
            break;
        missing.prepend(at);
    }
    for (const QString& each : missing) {
        const QByteArray name = EncodeName(each);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            return {FolderTrust::Unusable, errno, each};
        ::chmod(name.constData(), 0700);
    }
#endif
    return CheckPrivateFolder(folder);
}

QString io::FolderReason(const FolderCheck& check) {
    switch (check.trust) {
    case FolderTrust::Own:
        return {};
    case FolderTrust::SymbolicLink:
        return res::LoadString(res::IDS_FOLDER_IS_LINK);
    case FolderTrust::ForeignOwner:
        return res::LoadString(res::IDS_FOLDER_NOT_OWN);
    case FolderTrust::OpenToOthers:
        return res::LoadString(res::IDS_FOLDER_OPEN);
    case FolderTrust::Missing:
    case FolderTrust::Unusable:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(check.error ? check.error : ENOENT));
}

QString io::FolderProblem(const FolderCheck& check) {
    const QString folder = QDir::toNativeSeparators(DisplayName(check.folder));
    switch (check.trust) {
    case FolderTrust::Own:
        return {};
    case FolderTrust::Missing:
    case FolderTrust::Unusable:
        return res::LoadString(res::IDS_STATE_FOLDER_UNUSABLE).arg(folder, FolderReason(check));
    default:
        return res::LoadString(res::IDS_STATE_FOLDER_NOT_USED).arg(folder, FolderReason(check));
    }
}

int io::OpenOwnFile(const QString& path, int flags, int* error) {
#ifdef Q_OS_UNIX
    const int fd = ::open(EncodeName(path).constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY |
                                                            O_NONBLOCK);
    int code = fd < 0 ? errno : 0;
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        ::close(fd);
        code = EPERM;
    }
    if (code) {
        if (error)
            *error = code;
        return -1;
    }
    const int now = ::fcntl(fd, F_GETFL);
    if (now >= 0)
        ::fcntl(fd, F_SETFL, now & ~O_NONBLOCK);
    return fd;
#else
    Q_UNUSED(path) Q_UNUSED(flags)
    if (error)
        *error = ENOSYS;
    return -1;
#endif
}
