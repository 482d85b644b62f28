// Writing a whole file so that a failure never hurts it and a success keeps
// what the file was: its inode where other names share it, its owner, group,
// mode bits and extended attributes.

#include "io/FileIo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <csignal>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

void (*io::testing::s_corruptReadBack)(QByteArray& bytes) = nullptr;

namespace {

thread_local QString t_keptSafetyCopy;

// Writes and read-backs go in pieces of at most this size.
constexpr qint64 kPiece = qint64(1) << 20;

// Bytes in memory, handed out in pieces.
class ArraySource final : public io::ByteSource {
public:
    explicit ArraySource(const QByteArray& bytes) : m_bytes(bytes) {}
    void Rewind() override { m_done = 0; }
    QByteArrayView Next() override {
        const qsizetype size = qMin<qsizetype>(kPiece, m_bytes.size() - m_done);
        const QByteArrayView piece(m_bytes.constData() + m_done, size);
        m_done += size;
        return piece;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_done = 0;
};

} // namespace

QString io::KeptSafetyCopy() { return t_keptSafetyCopy; }

QString io::StateFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/velm");
}

QString io::SafetyCopyFolder() { return StateFolder() + QStringLiteral("/backup"); }

void io::IgnoreFileSizeSignal() {
#ifdef SIGXFSZ
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
#endif
}

#ifdef Q_OS_LINUX

int io::SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // Some file systems cannot flush a folder; they say so with EINVAL.
    const int error = ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    return error;
}

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// The outcome of one step: the error number, 0 on success.
using Errno = int;

// Moves `size` bytes at `offset` through `transfer` (pread or pwrite) until
// all are done; moving none before that is a failure.
template <typename Buffer, typename Transfer>
Errno AllAt(Transfer transfer, int fd, Buffer data, qint64 size, off_t offset) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = transfer(fd, data + done, size_t(size - done), offset + off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        done += n;
    }
    return 0;
}

Errno WriteAllAt(int fd, const char* data, qint64 size, off_t offset) {
    return AllAt(::pwrite, fd, data, size, offset);
}

// Reads `size` bytes at `offset` into `to`; fewer bytes than that is a
// failure.
Errno ReadAllAt(int fd, char* to, qint64 size, off_t offset) {
    return AllAt(::pread, fd, to, size, offset);
}

// The first `size` bytes of an open file, read in pieces.
class FileSource final : public io::ByteSource {
public:
    FileSource(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    void Rewind() override {
        m_done = 0;
        m_error = 0;
    }
    QByteArrayView Next() override {
        if (m_error || m_done >= m_size)
            return {};
        const qint64 size = qMin(kPiece, m_size - m_done);
        m_buffer.resize(qsizetype(size));
        if ((m_error = ReadAllAt(m_fd, m_buffer.data(), size, off_t(m_done))))
            return {};
        m_done += size;
        return m_buffer;
    }
    int Failure() const override { return m_error; }

private:
    int m_fd;
    qint64 m_size;
    qint64 m_done = 0;
    Errno m_error = 0;
    QByteArray m_buffer;
};

// Writes the bytes of `source` to `fd` from its start; their count goes to
// `size`.
Errno WriteAll(int fd, io::ByteSource& source, qint64& size) {
    size = 0;
    source.Rewind();
    for (QByteArrayView piece = source.Next(); !piece.isEmpty(); piece = source.Next()) {
        if (const Errno e = WriteAllAt(fd, piece.data(), piece.size(), off_t(size)))
            return e;
        size += piece.size();
    }
    return source.Failure();
}

// What is read back: the saved file (which tests may corrupt) or the safety
// copy.
enum class ReadBackOf { SavedFile, SafetyCopy };

// Whether the file behind `fd` differs from the `size` bytes of `source`,
// end included. A failure to read gives its error number; other bytes give
// -1.
Errno ReadBackDiffers(int fd, io::ByteSource& source, qint64 size,
                      ReadBackOf what = ReadBackOf::SavedFile) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    if (st.st_size != size)
        return -1;
    // After the fsync the file system has taken the bytes; they are read
    // back through it (not past its cache) in pieces, so the check needs no
    // second copy of the file.
    QByteArray check(qsizetype(kPiece), Qt::Uninitialized);
    qint64 done = 0;
    source.Rewind();
    for (QByteArrayView piece = source.Next(); !piece.isEmpty(); piece = source.Next()) {
        for (qsizetype at = 0; at < piece.size();) {
            const qsizetype n = qMin<qsizetype>(check.size(), piece.size() - at);
            if (done + n > size)
                return -1;
            if (const Errno e = ReadAllAt(fd, check.data(), n, off_t(done)))
                return e;
            QByteArray got = QByteArray::fromRawData(check.constData(), n);
            if (what == ReadBackOf::SavedFile && io::testing::s_corruptReadBack) {
                got.detach();
                io::testing::s_corruptReadBack(got);
            }
            if (QByteArrayView(got) != piece.sliced(at, n))
                return -1;
            at += n;
            done += n;
        }
    }
    if (const Errno e = source.Failure())
        return e;
    return done == size ? 0 : -1;
}

FileError ErrorOf(Errno e) { return e < 0 ? FileError::NotVerified : FileErrorFromErrno(e); }

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray BaseNameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// The file a chain of symbolic links ends at, whether or not it exists.
// Sets `error` to ELOOP for a chain that does not end.
QByteArray FollowLinks(QByteArray path, Errno& error) {
    error = 0;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        QByteArray target(qsizetype(PATH_MAX), Qt::Uninitialized);
        const ssize_t n = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return path;
        target.truncate(n);
        path = target.startsWith('/') ? target : FolderOf(path) + '/' + target;
    }
    error = ELOOP;
    return path;
}

QByteArray RandomSuffix(int length) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray s(length, Qt::Uninitialized);
    for (char& c : s)
        c = kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet - 1))];
    return s;
}

// Creates a new file `folder/prefix` + random letters; the name is put in
// `name`.
int CreateUnique(const QByteArray& folder, const QByteArray& prefix, mode_t mode, QByteArray& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + '/' + prefix + RandomSuffix(8);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The names of the extended attributes of `fd`.
Errno ListAttributes(int fd, QList<QByteArray>& names) {
    names.clear();
    QByteArray list;
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? 0 : errno;
        list.resize(size);
        const ssize_t n = size ? ::flistxattr(fd, list.data(), size_t(size)) : 0;
        if (n >= 0) {
            list.truncate(n);
            break;
        }
        if (errno != ERANGE)
            return errno;
    }
    for (const QByteArray& name : list.split('\0'))
        if (!name.isEmpty())
            names.append(name);
    return 0;
}

Errno GetAttribute(int fd, const QByteArray& name, QByteArray& value) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.constData(), nullptr, 0);
        if (size < 0)
            return errno;
        value.resize(size);
        const ssize_t n = size ? ::fgetxattr(fd, name.constData(), value.data(), size_t(size)) : 0;
        if (n >= 0) {
            value.truncate(n);
            return 0;
        }
        if (errno != ERANGE)
            return errno;
    }
}

// Gives `to` exactly the extended attributes of `from`: those it inherited
// from its folder (a default ACL) and `from` lacks are removed.
Errno CopyAttributes(int from, int to) {
    QList<QByteArray> names;
    if (const Errno e = ListAttributes(from, names))
        return e;
    QByteArray value;
    for (const QByteArray& name : names) {
        if (const Errno e = GetAttribute(from, name, value))
            return e;
        if (::fsetxattr(to, name.constData(), value.constData(), size_t(value.size()), 0) != 0)
            return errno;
    }
    QList<QByteArray> present;
    if (const Errno e = ListAttributes(to, present))
        return e;
    for (const QByteArray& name : present)
        if (!names.contains(name) && ::fremovexattr(to, name.constData()) != 0)
            return errno;
    return 0;
}

// The steps of a save, with the error number of the one that failed.
struct Outcome {
    enum Kind { Done, Failed, InPlace } kind;
    Errno error = 0;
};

// Gives the temporary file the owner, group, attributes and mode of the old
// file. Anything it cannot give means the atomic way would change the file.
bool TakeOverMetadata(int old, const struct stat& was, int temp) {
    struct stat now {};
    if (::fstat(temp, &now) != 0)
        return false;
    // Changing the owner clears the set-id bits, so the mode comes after it.
    if ((now.st_uid != was.st_uid || now.st_gid != was.st_gid) &&
        ::fchown(temp, was.st_uid, was.st_gid) != 0)
        return false;
    if (CopyAttributes(old, temp) != 0)
        return false;
    if (::fchmod(temp, was.st_mode & 07777) != 0)
        return false;
    // The system may drop a set-id bit silently instead of failing.
    if (::fstat(temp, &now) != 0)
        return false;
    return now.st_uid == was.st_uid && now.st_gid == was.st_gid &&
           (now.st_mode & 07777) == (was.st_mode & 07777);
}

// Writes the bytes of `source` to a temporary file in the folder of `path`,
// checks it and renames it over `path`. `old` is the open old file, -1 when
// there is none.
Outcome SaveAtomically(const QByteArray& path, int old, const struct stat& was,
                       io::ByteSource& source, io::FileIdentity* identity) {
    const bool existing = old >= 0;
    QByteArray tempName;
    // A short name, so that any name the file system takes can be saved.
    const Fd temp(CreateUnique(FolderOf(path), ".velm", existing ? 0600 : 0666, tempName));
    if (!temp) {
        const Errno e = errno;
        if (existing && (e == EACCES || e == EPERM))
            return {Outcome::InPlace, e};
        return {Outcome::Failed, e};
    }
    struct Remover {
        const QByteArray* name;
        ~Remover() {
            if (name)
                ::unlink(name->constData());
        }
    } remover{&tempName};

    qint64 size = 0;
    if (const Errno e = WriteAll(temp.get(), source, size))
        return {Outcome::Failed, e};
    // The metadata comes after the content: writing clears set-id bits and
    // file capabilities.
    if (existing && !TakeOverMetadata(old, was, temp.get()))
        return {Outcome::InPlace, 0};
    // The disk may report that it is full only now.
    if (::fsync(temp.get()) != 0)
        return {Outcome::Failed, errno};
    if (const Errno e = ReadBackDiffers(temp.get(), source, size))
        return {Outcome::Failed, e};
    if (::rename(tempName.constData(), path.constData()) != 0) {
        const Errno e = errno;
        // A sticky folder lets only the owner replace the file; a file
        // mounted on its own cannot be replaced at all.
        if (existing && (e == EACCES || e == EPERM || e == EBUSY || e == EXDEV))
            return {Outcome::InPlace, e};
        return {Outcome::Failed, e};
    }
    remover.name = nullptr;
    if (const Errno e = io::SyncFolder(FolderOf(path)))
        return {Outcome::Failed, e};
    if (identity)
        *identity = io::IdentityOfOpenFile(temp.get());
    return {Outcome::Done, 0};
}

// Makes the folder and the folders above it that are missing, for the
// owner only.
Errno MakeFolders(const QByteArray& folder) {
    struct stat st {};
    if (::stat(folder.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    const QByteArray parent = FolderOf(folder);
    if (parent != folder)
        if (const Errno e = MakeFolders(parent))
            return e;
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// A file name in the safety copy folder that tells which file it keeps.
QByteArray SafetyCopyPrefix(const QByteArray& path) {
    QByteArray base = BaseNameOf(path);
    if (base.size() > 120) {
        qsizetype cut = 120;
        while (cut > 0 && (uchar(base[cut]) & 0xC0) == 0x80)
            --cut; // not within a UTF-8 sequence
        base.truncate(cut);
    }
    return base + '.' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1() + '.';
}

// Writes a verified copy of the bytes of `source` to the safety copy
// folder; its name goes to `copyName`, and `copy` is left open on it.
Errno WriteSafetyCopy(const QByteArray& path, io::ByteSource& source, QByteArray& copyName,
                      Fd& copy) {
    const QByteArray folder = QFile::encodeName(io::SafetyCopyFolder());
    if (const Errno e = MakeFolders(folder))
        return e;
    copy.reset(CreateUnique(folder, SafetyCopyPrefix(path), 0600, copyName));
    if (!copy)
        return errno;
    qint64 size = 0;
    Errno e = WriteAll(copy.get(), source, size);
    if (!e && ::fsync(copy.get()) != 0)
        e = errno;
    if (!e)
        e = ReadBackDiffers(copy.get(), source, size, ReadBackOf::SafetyCopy);
    if (!e)
        e = io::SyncFolder(folder);
    if (e) {
        copy.reset();
        ::unlink(copyName.constData());
        copyName.clear();
        return e < 0 ? EIO : e;
    }
    return 0;
}

// Puts the bytes of `source` into the open file `fd` from its start, cuts it
// there and checks it.
Errno Rewrite(int fd, io::ByteSource& source) {
    qint64 size = 0;
    if (const Errno e = WriteAll(fd, source, size))
        return e;
    if (::ftruncate(fd, off_t(size)) != 0)
        return errno;
    if (::fsync(fd) != 0)
        return errno;
    return ReadBackDiffers(fd, source, size);
}

// Rewrites the open file `fd` in place, with a safety copy of its old bytes.
FileError SaveInPlace(const QByteArray& path, int fd, io::ByteSource& source,
                      io::FileIdentity* identity) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return FileErrorFromErrno(errno);
    FileSource old(fd, st.st_size);
    QByteArray copyName;
    Fd copy;
    if (const Errno e = WriteSafetyCopy(path, old, copyName, copy))
        return FileErrorFromErrno(e);

    const Errno e = Rewrite(fd, source);
    if (e != 0) {
        FileSource kept(copy.get(), st.st_size);
        if (Rewrite(fd, kept) != 0) {
            t_keptSafetyCopy = QFile::decodeName(copyName);
            return FileError::NotRestored;
        }
    }
    ::unlink(copyName.constData());
    if (e != 0)
        return ErrorOf(e);
    if (identity)
        *identity = io::IdentityOfOpenFile(fd);
    return FileError::None;
}

} // namespace

FileError WriteWholeFile(const QString& pathName, io::ByteSource& bytes, io::FileIdentity* identity) {
    t_keptSafetyCopy.clear();
    if (pathName.isEmpty())
        return FileError::BadPath;
    io::IgnoreFileSizeSignal();
    Errno linkError = 0;
    const QByteArray path = FollowLinks(QFile::encodeName(pathName), linkError);
    if (linkError)
        return FileErrorFromErrno(linkError);

    struct stat was {};
    Fd old;
    if (::stat(path.constData(), &was) == 0) {
        if (const FileError type = io::FileTypeError(was); type != FileError::None)
            return type;
        // A file the saver may not write to is not replaced either.
        old.reset(::open(path.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (!old || ::fstat(old.get(), &was) != 0)
            return FileErrorFromErrno(errno);
        if (const FileError type = io::FileTypeError(was); type != FileError::None)
            return type;
    } else if (errno != ENOENT) {
        return FileErrorFromErrno(errno);
    }

    // Other names of the file must see the new content.
    if (!old || was.st_nlink <= 1) {
        const Outcome atomic = SaveAtomically(path, old.get(), was, bytes, identity);
        if (atomic.kind == Outcome::Done)
            return FileError::None;
        if (atomic.kind == Outcome::Failed)
            return atomic.error == ENOENT ? FileError::BadPath : ErrorOf(atomic.error);
    }
    return SaveInPlace(path, old.get(), bytes, identity);
}

#else

namespace {

// The cause of the save file's last failure. The file is created if it is
// missing, so a missing name is a folder of its path that does not exist.
FileError SaveFailure(const QSaveFile& file) {
    switch (file.error()) {
    case QFileDevice::PermissionsError:
        return FileError::AccessDenied;
    case QFileDevice::ResourceError:
        return FileError::DiskFull;
    default:
        return QFileInfo(file.fileName()).absoluteDir().exists() ? FileError::Generic
                                                                  : FileError::BadPath;
    }
}

} // namespace

FileError WriteWholeFile(const QString& path, io::ByteSource& bytes, io::FileIdentity* identity) {
    t_keptSafetyCopy.clear();
    if (path.isEmpty())
        return FileError::BadPath;
    if (QFileInfo(path).isDir())
        return FileError::AccessDenied;
    io::IgnoreFileSizeSignal();
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return SaveFailure(file);
    bytes.Rewind();
    bool written = true;
    for (QByteArrayView piece = bytes.Next(); written && !piece.isEmpty(); piece = bytes.Next())
        written = file.write(piece.data(), piece.size()) == piece.size();
    if (!written || bytes.Failure() != 0 || !file.commit()) {
        const FileError cause = SaveFailure(file);
        file.cancelWriting();
        return cause;
    }
    QFile check(path);
    if (!check.open(QIODevice::ReadOnly))
        return FileError::NotVerified;
    bytes.Rewind();
    for (QByteArrayView piece = bytes.Next(); !piece.isEmpty(); piece = bytes.Next()) {
        QByteArray got = check.read(piece.size());
        if (io::testing::s_corruptReadBack)
            io::testing::s_corruptReadBack(got);
        if (QByteArrayView(got) != piece)
            return FileError::NotVerified;
    }
    if (!check.atEnd())
        return FileError::NotVerified;
    if (identity)
        *identity = io::IdentityOf(path);
    return FileError::None;
}

#endif

FileError WriteWholeFile(const QString& path, const QByteArray& bytes, io::FileIdentity* identity) {
    ArraySource source(bytes);
    return WriteWholeFile(path, source, identity);
}
