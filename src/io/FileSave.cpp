// Writing a whole file so that a failure never hurts it and a success keeps
// what the file was: its inode where other names share it, its owner, group,
// mode bits and extended attributes.

#include "io/FileIo.h"
#include "io/FileNames.h"
#include "io/RecoveryJournal.h"
#include "res/StringTable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <utility>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

void (*io::testing::s_corruptReadBack)(QByteArray& bytes) = nullptr;
void (*io::testing::s_saveStep)(io::testing::SaveStep step) = nullptr;

namespace {

thread_local QString t_keptSafetyCopy;
thread_local QString t_safetyCopyProblem;

void Step(io::testing::SaveStep step) {
    if (io::testing::s_saveStep)
        io::testing::s_saveStep(step);
}

// Writes and read-backs go in chunks of at most this size.
constexpr qint64 kPiece = qint64(1) << 20;

// Bytes in memory, handed out in chunks.
class ArraySource final : public io::ByteSource {
public:
    explicit ArraySource(const QByteArray& bytes) : m_bytes(bytes) {}
    void Rewind() override { m_done = 0; }
    QByteArrayView Next() override {
        const qsizetype size = qMin<qsizetype>(kPiece, m_bytes.size() - m_done);
        const QByteArrayView chunk(m_bytes.constData() + m_done, size);
        m_done += size;
        return chunk;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_done = 0;
};

} // namespace

QString io::KeptSafetyCopy() { return t_keptSafetyCopy; }
QString io::SafetyCopyProblem() { return t_safetyCopyProblem; }

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

// The first `size` bytes of an open file, read in chunks.
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
// `size`. `afterChunk`, when given, is called after each chunk.
Errno WriteAll(int fd, io::ByteSource& source, qint64& size,
               const std::function<void()>& afterChunk = {}) {
    size = 0;
    source.Rewind();
    for (QByteArrayView chunk = source.Next(); !chunk.isEmpty(); chunk = source.Next()) {
        if (const Errno e = WriteAllAt(fd, chunk.data(), chunk.size(), off_t(size)))
            return e;
        size += chunk.size();
        if (afterChunk)
            afterChunk();
    }
    return source.Failure();
}

// The size and CRC-32 of the bytes of `source`.
Errno Measure(io::ByteSource& source, qint64& size, quint32& crc) {
    size = 0;
    crc = 0;
    source.Rewind();
    for (QByteArrayView chunk = source.Next(); !chunk.isEmpty(); chunk = source.Next()) {
        crc = io::Crc32(chunk.data(), chunk.size(), crc);
        size += chunk.size();
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
    // back through it (not past its cache) in chunks, so the check needs no
    // second copy of the file.
    QByteArray check(qsizetype(kPiece), Qt::Uninitialized);
    qint64 done = 0;
    source.Rewind();
    for (QByteArrayView chunk = source.Next(); !chunk.isEmpty(); chunk = source.Next()) {
        for (qsizetype at = 0; at < chunk.size();) {
            const qsizetype n = qMin<qsizetype>(check.size(), chunk.size() - at);
            if (done + n > size)
                return -1;
            if (const Errno e = ReadAllAt(fd, check.data(), n, off_t(done)))
                return e;
            QByteArray got = QByteArray::fromRawData(check.constData(), n);
            if (what == ReadBackOf::SavedFile && io::testing::s_corruptReadBack) {
                got.detach();
                io::testing::s_corruptReadBack(got);
            }
            if (QByteArrayView(got) != chunk.sliced(at, n))
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

// Temporary files of the atomic save are named after the process, so that
// a later save in the folder can tell those of a process that has gone:
// ".velm-<boot>-<pid>-<start time>-" and random letters.
QByteArray TemporaryPrefix() {
    const io::JournalOwner& self = io::CurrentOwner();
    return ".velm-" + self.bootId.left(8).toLatin1() + '-' + QByteArray::number(self.pid) + '-' +
           QByteArray::number(self.startTime) + '-';
}

// Removes the temporary files in `folder` that processes now gone left
// behind (only regular files of this user). One from another boot may be
// another host's, still being written, unless it is old.
void RemoveDeadTemporariesIn(const QByteArray& folder) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const QByteArray mine = TemporaryPrefix();
    const QByteArray boot = io::CurrentOwner().bootId.left(8).toLatin1();
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(".velm-") || name.startsWith(mine))
            continue;
        const QList<QByteArray> fields = name.mid(6).split('-');
        if (fields.size() != 4)
            continue;
        bool pidOk = false, startOk = false;
        const qint64 pid = fields[1].toLongLong(&pidOk);
        const quint64 start = fields[2].toULongLong(&startOk);
        if (!pidOk || !startOk || pid <= 0)
            continue;
        struct stat st {};
        const QByteArray path = folder + '/' + name;
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        bool gone = false;
        if (fields[0] != boot) {
            gone = ::time(nullptr) - st.st_mtime > 24 * 3600;
        } else {
            const bool exists = ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
            const quint64 now = exists ? io::ProcessStartTime(pid) : 0;
            // Without /proc to tell, a running process with that number counts.
            gone = !exists || (now != 0 && now != start);
        }
        if (gone)
            ::unlink(path.constData());
    }
    ::closedir(dir);
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

// Gives the anonymous file `fd` a temporary name in `folder`, put in `name`.
Errno LinkIn(int fd, const QByteArray& folder, QByteArray& name) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + '/' + TemporaryPrefix() + RandomSuffix(8);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

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
    const QByteArray folder = FolderOf(path);
    const mode_t mode = existing ? 0600 : 0666;
    QByteArray tempName;
    struct Remover {
        const QByteArray* name;
        ~Remover() {
            if (name)
                ::unlink(name->constData());
        }
    } remover{nullptr};
    // A file without a name, linked in only when it is complete, leaves
    // nothing behind when the program ends half-way; where the file system
    // cannot make one, the name tells which process made it.
    Fd temp;
#ifdef O_TMPFILE
    temp.reset(::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
#endif
    const bool anonymous = bool(temp);
    if (!anonymous) {
        temp.reset(CreateUnique(folder, TemporaryPrefix(), mode, tempName));
        if (!temp) {
            const Errno e = errno;
            if (existing && (e == EACCES || e == EPERM))
                return {Outcome::InPlace, e};
            return {Outcome::Failed, e};
        }
        remover.name = &tempName;
    }

    qint64 size = 0;
    if (const Errno e = WriteAll(temp.get(), source, size))
        return {Outcome::Failed, e};
    Step(io::testing::SaveStep::TemporaryWritten);
    // The metadata comes after the content: writing clears set-id bits and
    // file capabilities.
    if (existing && !TakeOverMetadata(old, was, temp.get()))
        return {Outcome::InPlace, 0};
    // The disk may report that it is full only now.
    if (::fsync(temp.get()) != 0)
        return {Outcome::Failed, errno};
    if (const Errno e = ReadBackDiffers(temp.get(), source, size))
        return {Outcome::Failed, e};
    if (anonymous) {
        if (const Errno e = LinkIn(temp.get(), folder, tempName))
            return {Outcome::Failed, e};
        remover.name = &tempName;
    }
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

// Notes why the safety copy or the record could not be written, naming the
// folder.
void NoteSafetyCopyProblem(const QString& folder, const QString& why) {
    t_safetyCopyProblem = res::LoadString(res::IDP_SAFETY_COPY_FAILED)
                              .arg(u"%1"_s, QDir::toNativeSeparators(io::DisplayName(folder)), why);
}

QString ErrnoText(Errno e) { return QString::fromLocal8Bit(std::strerror(e)); }

// The folder for safety copies or records, made when missing; false (with
// the problem noted) when it cannot be made or trusted.
bool PrivateFolderReady(const QString& folder) {
    const io::FolderCheck check = io::MakePrivateFolder(folder);
    if (check.trust == io::FolderTrust::Own)
        return true;
    NoteSafetyCopyProblem(check.folder, io::FolderReason(check));
    return false;
}

// Writes a verified copy of the bytes of `source` to the safety copy
// folder; its name goes to `copyName`, and `copy` is left open on it.
Errno WriteSafetyCopy(const QByteArray& path, io::ByteSource& source, QByteArray& copyName,
                      Fd& copy) {
    const QByteArray folder = io::EncodeName(io::SafetyCopyFolder());
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
Errno Rewrite(int fd, io::ByteSource& source, const std::function<void()>& afterChunk = {}) {
    qint64 size = 0;
    if (const Errno e = WriteAll(fd, source, size, afterChunk))
        return e;
    if (::ftruncate(fd, off_t(size)) != 0)
        return errno;
    if (::fsync(fd) != 0)
        return errno;
    return ReadBackDiffers(fd, source, size);
}

// ---------------------------------------------------------------------------
// The record of a save in place: written before the first byte of the file
// changes, removed once the file is whole again.

const QString kRecordSuffix = u".vsr"_s;

struct SaveRecord {
    QByteArray path; // links resolved
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray copy;
    qint64 oldSize = 0;
    quint32 oldCrc = 0;
    qint64 newSize = 0;
    quint32 newCrc = 0;
    io::JournalOwner owner;
};

// "key value" lines, byte strings in hexadecimal, the last line the CRC-32
// of all before it.
QByteArray SerializeRecord(const SaveRecord& r) {
    QByteArray text = "velm-save 1\n";
    const auto put = [&text](const char* key, const QByteArray& value) {
        text += key;
        text += ' ';
        text += value;
        text += '\n';
    };
    put("path", r.path.toHex());
    put("device", QByteArray::number(r.device));
    put("inode", QByteArray::number(r.inode));
    put("copy", r.copy.toHex());
    put("old-size", QByteArray::number(r.oldSize));
    put("old-crc", QByteArray::number(r.oldCrc));
    put("new-size", QByteArray::number(r.newSize));
    put("new-crc", QByteArray::number(r.newCrc));
    put("host", r.owner.host.toUtf8().toHex());
    put("boot", r.owner.bootId.toUtf8().toHex());
    put("pid", QByteArray::number(r.owner.pid));
    put("start", QByteArray::number(r.owner.startTime));
    put("check", QByteArray::number(io::Crc32(text.constData(), text.size())));
    return text;
}

bool ParseRecord(const QByteArray& text, SaveRecord& r) {
    const qsizetype last = text.lastIndexOf("\ncheck ");
    if (!text.startsWith("velm-save 1\n") || last < 0 || !text.endsWith('\n'))
        return false;
    bool ok = false;
    const quint32 check = text.mid(last + 7).trimmed().toUInt(&ok);
    if (!ok || check != io::Crc32(text.constData(), last + 1))
        return false;
    QHash<QByteArray, QByteArray> fields;
    for (const QByteArray& line : text.left(last).split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            fields.insert(line.left(space), line.mid(space + 1));
    }
    bool all = true;
    const auto number = [&](const char* key) {
        bool good = false;
        const qint64 n = fields.value(key).toLongLong(&good);
        all = all && good;
        return n;
    };
    r.path = QByteArray::fromHex(fields.value("path"));
    r.device = quint64(fields.value("device").toULongLong(&ok));
    all = all && ok;
    r.inode = quint64(fields.value("inode").toULongLong(&ok));
    all = all && ok;
    r.copy = QByteArray::fromHex(fields.value("copy"));
    r.oldSize = number("old-size");
    r.oldCrc = quint32(number("old-crc"));
    r.newSize = number("new-size");
    r.newCrc = quint32(number("new-crc"));
    r.owner.host = QString::fromUtf8(QByteArray::fromHex(fields.value("host")));
    r.owner.bootId = QString::fromUtf8(QByteArray::fromHex(fields.value("boot")));
    r.owner.pid = number("pid");
    r.owner.startTime = quint64(fields.value("start").toULongLong(&ok));
    return all && ok && !r.path.isEmpty() && !r.copy.isEmpty();
}

// Writes the record (fsynced, with its folder); its file name goes to
// `file`.
Errno WriteRecord(const SaveRecord& record, QString& file) {
    const QString folder = io::JournalFolder();
    file = QDir(folder).filePath(u"save-%1-%2"_s.arg(record.owner.pid).arg(
                                     QString::fromLatin1(RandomSuffix(8))) +
                                 kRecordSuffix);
    int code = 0;
    if (io::WriteJournalFile(file, SerializeRecord(record), &code) != io::JournalError::None)
        return code ? code : EIO;
    return 0;
}

// Rewrites the open file `fd` in place, with a safety copy of its old bytes
// and a record of the save beside the journals.
FileError SaveInPlace(const QByteArray& path, int fd, io::ByteSource& source,
                      io::FileIdentity* identity) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return FileErrorFromErrno(errno);
    SaveRecord record;
    record.path = path;
    record.device = quint64(st.st_dev);
    record.inode = quint64(st.st_ino);
    record.owner = io::CurrentOwner();
    if (const Errno e = Measure(source, record.newSize, record.newCrc))
        return ErrorOf(e);

    // Both the copy and the record are needed before anything is changed.
    if (!PrivateFolderReady(io::SafetyCopyFolder()) || !PrivateFolderReady(io::JournalFolder()))
        return FileError::NoSafetyCopy;
    FileSource old(fd, st.st_size);
    QByteArray copyName;
    Fd copy;
    if (const Errno e = WriteSafetyCopy(path, old, copyName, copy)) {
        NoteSafetyCopyProblem(io::SafetyCopyFolder(), ErrnoText(e));
        return FileError::NoSafetyCopy;
    }
    record.copy = copyName;
    FileSource kept(copy.get(), st.st_size);
    QString recordFile;
    Errno e = Measure(kept, record.oldSize, record.oldCrc);
    if (!e && (e = WriteRecord(record, recordFile)) != 0)
        NoteSafetyCopyProblem(io::JournalFolder(), ErrnoText(e));
    if (e) {
        ::unlink(copyName.constData());
        return FileError::NoSafetyCopy;
    }
    Step(io::testing::SaveStep::Recorded);

    bool first = true;
    e = Rewrite(fd, source, [&first] {
        if (std::exchange(first, false))
            Step(io::testing::SaveStep::Rewriting);
    });
    if (e == 0)
        Step(io::testing::SaveStep::BeforeForgetting);
    const bool whole = e == 0 || Rewrite(fd, kept) == 0;
    // The record goes in every case: a later start must not undo a later
    // save of the same file. A copy that could not be put back stays.
    if (whole)
        ::unlink(copyName.constData());
    io::RemoveJournalFile(recordFile);
    if (!whole) {
        t_keptSafetyCopy = io::DecodeName(copyName);
        return FileError::NotRestored;
    }
    if (e != 0)
        return ErrorOf(e);
    if (identity)
        *identity = io::IdentityOfOpenFile(fd);
    return FileError::None;
}

// Settles the save of one record; the record itself is removed by the
// caller.
io::SettledSave Settle(const SaveRecord& record) {
    io::SettledSave settled;
    settled.path = io::DecodeName(record.path);
    settled.copy = io::DecodeName(record.copy);
    settled.kind = io::SettledSave::LeftAlone;
    const Fd file(::open(record.path.constData(),
                         O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        quint64(st.st_dev) != record.device || quint64(st.st_ino) != record.inode)
        return settled; // replaced or gone since: the copy stays
    qint64 size = 0;
    quint32 crc = 0;
    FileSource now(file.get(), st.st_size);
    if (st.st_size == record.newSize && Measure(now, size, crc) == 0 && crc == record.newCrc) {
        settled.kind = io::SettledSave::KeptNew;
    } else {
        settled.kind = io::SettledSave::NotRestored;
        const Fd copy(io::OpenOwnFile(settled.copy, O_RDONLY));
        FileSource old(copy.get(), record.oldSize);
        if (!copy || Measure(old, size, crc) != 0 || size != record.oldSize ||
            crc != record.oldCrc || Rewrite(file.get(), old) != 0)
            return settled;
        settled.kind = io::SettledSave::Restored;
    }
    ::unlink(record.copy.constData());
    settled.copy.clear();
    settled.identity = io::IdentityOfOpenFile(file.get());
    return settled;
}

} // namespace

void io::RemoveDeadTemporaries(const QString& file) {
    Errno ignored = 0;
    RemoveDeadTemporariesIn(FolderOf(FollowLinks(EncodeName(file), ignored)));
}

std::vector<io::SettledSave> io::SettleInterruptedSaves(const QString& folder) {
    std::vector<SettledSave> settled;
    if (CheckPrivateFolder(folder).trust != FolderTrust::Own)
        return settled;
    const QDir dir(folder);
    // Temporaries of journals and records whose writer ended half-way: none
    // takes minutes to write.
    for (const QFileInfo& temp : dir.entryInfoList({u".tmp-*"_s}, QDir::Files | QDir::Hidden))
        if (!temp.isSymLink() && temp.ownerId() == ::geteuid() &&
            temp.lastModified().secsTo(QDateTime::currentDateTime()) > 600)
            ::unlink(EncodeName(temp.absoluteFilePath()).constData());
    for (const QString& name : dir.entryList({u"*"_s + kRecordSuffix}, QDir::Files | QDir::System)) {
        const QString file = dir.filePath(name);
        const Fd fd(OpenOwnFile(file, O_RDONLY));
        if (!fd)
            continue;
        QByteArray text(65536, Qt::Uninitialized);
        const ssize_t n = ::read(fd.get(), text.data(), size_t(text.size()));
        SaveRecord record;
        if (n <= 0 || !ParseRecord(text.left(n), record) || StateOf(record.owner) != OwnerState::Dead)
            continue;
        settled.push_back(Settle(record));
        RemoveJournalFile(file);
    }
    return settled;
}

QString io::SettledSaveMessage(const SettledSave& settled) {
    const QString path = QDir::toNativeSeparators(DisplayName(settled.path));
    const QString copy = QDir::toNativeSeparators(DisplayName(settled.copy));
    switch (settled.kind) {
    case SettledSave::KeptNew:
        return {};
    case SettledSave::Restored:
        return res::LoadString(res::IDP_SAVE_INTERRUPTED_RESTORED).arg(path);
    case SettledSave::LeftAlone:
        return res::LoadString(res::IDP_SAVE_INTERRUPTED_LEFT_ALONE).arg(path, copy);
    case SettledSave::NotRestored:
        return res::LoadString(res::IDP_SAVE_INTERRUPTED_NOT_RESTORED).arg(path, copy);
    }
    return {};
}

FileError WriteWholeFile(const QString& pathName, io::ByteSource& bytes, io::FileIdentity* identity) {
    t_keptSafetyCopy.clear();
    t_safetyCopyProblem.clear();
    if (pathName.isEmpty())
        return FileError::BadPath;
    io::IgnoreFileSizeSignal();
    Errno linkError = 0;
    const QByteArray path = FollowLinks(io::EncodeName(pathName), linkError);
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

    RemoveDeadTemporariesIn(FolderOf(path));
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
    for (QByteArrayView chunk = bytes.Next(); written && !chunk.isEmpty(); chunk = bytes.Next())
        written = file.write(chunk.data(), chunk.size()) == chunk.size();
    if (!written || bytes.Failure() != 0 || !file.commit()) {
        const FileError cause = SaveFailure(file);
        file.cancelWriting();
        return cause;
    }
    QFile check(path);
    if (!check.open(QIODevice::ReadOnly))
        return FileError::NotVerified;
    bytes.Rewind();
    for (QByteArrayView chunk = bytes.Next(); !chunk.isEmpty(); chunk = bytes.Next()) {
        QByteArray got = check.read(chunk.size());
        if (io::testing::s_corruptReadBack)
            io::testing::s_corruptReadBack(got);
        if (QByteArrayView(got) != chunk)
            return FileError::NotVerified;
    }
    if (!check.atEnd())
        return FileError::NotVerified;
    if (identity)
        *identity = io::IdentityOf(path);
    return FileError::None;
}

// Elsewhere the save is the platform's own atomic one: nothing is rewritten
// in place and nothing is left to settle.
void io::RemoveDeadTemporaries(const QString&) {}
std::vector<io::SettledSave> io::SettleInterruptedSaves(const QString&) { return {}; }
QString io::SettledSaveMessage(const SettledSave&) { return {}; }

#endif

FileError WriteWholeFile(const QString& path, const QByteArray& bytes, io::FileIdentity* identity) {
    ArraySource source(bytes);
    return WriteWholeFile(path, source, identity);
}
