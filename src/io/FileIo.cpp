#include "io/FileIo.h"
#include "io/FileNames.h"

#include "res/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

FileError FileErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return FileError::Generic;
    case ENOENT:
        return FileError::NotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return FileError::BadPath;
    case EMFILE:
    case ENFILE:
        return FileError::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST:
        return FileError::AccessDenied;
    case ETXTBSY:
    case EBUSY:
        return FileError::SharingViolation;
    case ENOLCK:
    case EDEADLK:
        return FileError::LockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FileError::DiskFull;
    case EIO:
        return FileError::HardIo;
    default:
        return FileError::Generic;
    }
}

QString FileErrorMessage(FileError error, const QString& path, bool loading) {
    int id = 0;
    switch (error) {
    case FileError::None:
        return {};
    case FileError::NotFound: id = res::IDP_FILE_NOT_FOUND; break;
    case FileError::BadPath: id = res::IDP_FILE_BAD_PATH; break;
    case FileError::TooManyOpenFiles: id = res::IDP_FILE_TOO_MANY_OPEN; break;
    case FileError::AccessDenied: id = res::IDP_FILE_ACCESS_DENIED; break;
    case FileError::SharingViolation: id = res::IDP_FILE_SHARING; break;
    case FileError::LockViolation: id = res::IDP_FILE_LOCKING; break;
    case FileError::DiskFull: id = res::IDP_FILE_DISKFULL; break;
    case FileError::HardIo: id = res::IDP_FILE_HARD_IO; break;
    case FileError::TooLarge: id = res::IDP_FILE_TOO_LARGE; break;
    case FileError::NotVerified: id = res::IDP_SAVED_FILE_DIFFERS; break;
    case FileError::NotRestored:
        if (path.isEmpty())
            break;
        return res::LoadString(res::IDP_FILE_NOT_RESTORED)
            .arg(io::DisplayName(path), io::DisplayName(io::KeptSafetyCopy()));
    case FileError::NoSafetyCopy:
        if (path.isEmpty() || io::SafetyCopyProblem().isEmpty())
            break;
        return io::SafetyCopyProblem().arg(io::DisplayName(path));
    case FileError::Generic: id = res::IDP_FILE_GENERIC; break;
    }
    if (path.isEmpty())
        return res::LoadString(loading ? res::IDP_FAILED_TO_OPEN_DOC : res::IDP_FAILED_TO_SAVE_DOC);
    return res::LoadString(id).arg(io::DisplayName(path));
}

namespace {

#ifdef Q_OS_UNIX
io::FileIdentity IdentityFromStat(const struct stat& st) {
    io::FileIdentity id;
    id.exists = true;
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
    id.size = qint64(st.st_size);
    id.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
    return id;
}
#endif

// A path that names nothing: the file is missing when its folder exists,
// otherwise the path itself is wrong.
FileError MissingPathError(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    const bool folder = ::stat(io::EncodeName(QFileInfo(path).absolutePath()).constData(), &st) == 0 &&
                        S_ISDIR(st.st_mode);
#else
    const bool folder = QFileInfo(path).absoluteDir().exists();
#endif
    return folder ? FileError::NotFound : FileError::BadPath;
}

} // namespace

#ifdef Q_OS_UNIX

FileError io::FileTypeError(const struct stat& st) {
    if (S_ISREG(st.st_mode))
        return FileError::None;
    return S_ISDIR(st.st_mode) ? FileError::AccessDenied : FileError::BadPath;
}

io::FileIdentity io::IdentityOfOpenFile(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {};
    return IdentityFromStat(st);
}

io::FileIdentity io::IdentityOf(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(io::EncodeName(path).constData(), &st) != 0)
        return {};
    return IdentityFromStat(st);
}

FileError ReadWholeFile(const QString& path, QByteArray& bytes, io::FileIdentity* identity,
                        const std::function<bool(qint64 done, qint64 size)>& keepGoing) {
    bytes.clear();
    if (path.isEmpty())
        return FileError::BadPath;
    const QByteArray name = io::EncodeName(path);
    // Only regular files are read: a FIFO or a device may block or never end.
    // The type is checked before opening (opening a device may do something)
    // and again on what was opened; opening does not wait for a writer.
    struct stat st {};
    if (::stat(name.constData(), &st) == 0)
        if (const FileError type = io::FileTypeError(st); type != FileError::None)
            return type;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? MissingPathError(path) : FileErrorFromErrno(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0)
        return FileErrorFromErrno(errno);
    if (const FileError type = io::FileTypeError(st); type != FileError::None)
        return type;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return FileErrorFromErrno(errno);
    if (st.st_size > kMaxFileSize)
        return FileError::TooLarge;
    QByteArray data(qsizetype(st.st_size), Qt::Uninitialized); // exactly the size
    qsizetype done = 0;
    auto readSome = [fd](char* to, qsizetype size) {
        for (;;) {
            const ssize_t n = ::read(fd, to, size_t(size));
            if (n >= 0 || errno != EINTR)
                return n;
        }
    };
    for (;;) {
        if (done < data.size()) {
            const ssize_t n =
                readSome(data.data() + done, qMin(data.size() - done, kReadStep));
            if (n < 0)
                return FileErrorFromErrno(errno);
            if (n == 0)
                break;
            done += n;
            if (keepGoing && !keepGoing(done, data.size()))
                return FileError::Generic;
            continue;
        }
        // The file may have grown since it was measured: a small probe tells,
        // so that a file of the measured size needs no larger buffer.
        char probe[65536];
        const ssize_t n = readSome(probe, sizeof probe);
        if (n < 0)
            return FileErrorFromErrno(errno);
        if (n == 0)
            break;
        if (done + n > kMaxFileSize)
            return FileError::TooLarge;
        data.resize(qMin<qsizetype>(done + n + done / 2, kMaxFileSize));
        memcpy(data.data() + done, probe, size_t(n));
        done += n;
    }
    if (done > kMaxFileSize)
        return FileError::TooLarge;
    data.truncate(done);
    bytes = std::move(data);
    if (identity)
        *identity = IdentityFromStat(st);
    return FileError::None;
}

#else

io::FileIdentity io::IdentityOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    io::FileIdentity id;
    id.exists = true;
    id.size = info.size();
    id.mtimeNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return id;
}

FileError ReadWholeFile(const QString& path, QByteArray& bytes, io::FileIdentity* identity,
                        const std::function<bool(qint64 done, qint64 size)>& keepGoing) {
    bytes.clear();
    QFile file(path);
    if (!QFileInfo::exists(path))
        return MissingPathError(path);
    if (QFileInfo(path).isDir())
        return FileError::AccessDenied;
    if (!file.open(QIODevice::ReadOnly))
        return file.error() == QFileDevice::PermissionsError ? FileError::AccessDenied
                                                              : FileError::Generic;
    if (file.size() > kMaxFileSize)
        return FileError::TooLarge;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return FileError::HardIo;
    if (keepGoing && !keepGoing(data.size(), data.size()))
        return FileError::Generic;
    bytes = std::move(data);
    if (identity)
        *identity = io::IdentityOf(path);
    return FileError::None;
}

#endif
