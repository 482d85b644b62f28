// The file layer against real faults: files that are not files, file-size
// limits, hard links, owners, modes, extended attributes, folders the saver
// cannot write to, and a read-back that does not match.

#include "io/FileIo.h"
#include "io/RecoveryJournal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

const QByteArray kOld = "<HTML>\r\n<BODY>old text</BODY>\r\n</HTML>\r\n";
const QByteArray kNew = "<HTML>\r\n<BODY>new text, a little longer</BODY>\r\n</HTML>\r\n";

void Put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray Get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

struct stat StatOf(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        st.st_ino = 0;
    return st;
}

QByteArray Name(const QString& path) { return QFile::encodeName(path); }

// How a forked child ended.
struct ChildEnd {
    bool exited = false;
    int code = -1;
    int signal = 0;
};

// Runs `body` in a forked child that may live `seconds` at most, and reports
// how it ended. The child uses nothing but the file layer and ends with
// _exit, so a hang or a fatal signal fails the test instead of killing it.
ChildEnd InChild(const std::function<int()>& body, unsigned seconds = 30) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(seconds);
        ::_exit(body());
    }
    ChildEnd end;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return end;
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

// In a child: becomes nobody:nogroup for good. Gives false on failure.
bool BecomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kNogroup, kNogroup, kNogroup) == 0 &&
           ::setresuid(kNobody, kNobody, kNobody) == 0;
}

constexpr int kCouldNotDropRights = 200;
constexpr int kNoMount = 201;
constexpr int kOldBytesChanged = 202;

// In a child: puts `bytes` into a new file with plain system calls.
bool PutRaw(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QByteArray GetRaw(const QByteArray& path) {
    QByteArray bytes(1 << 20, '\0');
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return {};
    const ssize_t n = ::read(fd, bytes.data(), size_t(bytes.size()));
    ::close(fd);
    return n < 0 ? QByteArray() : bytes.left(n);
}

int Code(FileError e) { return int(e); }

// Breaks the first `s_corruptions` read-backs (all of them when negative).
int s_corruptions = 0;
void CorruptReadBack(QByteArray& bytes) {
    if (s_corruptions == 0 || bytes.isEmpty())
        return;
    if (s_corruptions > 0)
        --s_corruptions;
    bytes[0] = char(bytes[0] ^ 0x20);
}

// A POSIX ACL in the form the kernel keeps it in "system.posix_acl_access":
// owner rw, nobody r, group r, mask r, others nothing.
QByteArray RawAcl() {
    QByteArray raw;
    const auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            raw += char((v >> (8 * i)) & 0xFF);
    };
    const auto put16 = [&](quint16 v) {
        raw += char(v & 0xFF);
        raw += char(v >> 8);
    };
    const auto entry = [&](quint16 tag, quint16 perm, quint32 id) {
        put16(tag);
        put16(perm);
        put32(id);
    };
    put32(2); // version
    entry(0x01, 6, 0xFFFFFFFF);  // owner
    entry(0x02, 4, kNobody);     // named user
    entry(0x04, 4, 0xFFFFFFFF);  // owning group
    entry(0x10, 4, 0xFFFFFFFF);  // mask
    entry(0x20, 0, 0xFFFFFFFF);  // others
    return raw;
}

QByteArray Attribute(const QString& path, const char* name) {
    QByteArray value(4096, '\0');
    const ssize_t n = ::getxattr(Name(path).constData(), name, value.data(), size_t(value.size()));
    return n < 0 ? QByteArray() : value.left(n);
}

io::testing::SaveStep s_killAt;
void KillAtStep(io::testing::SaveStep step) {
    if (step == s_killAt)
        ::raise(SIGKILL);
}

// Bytes over several write pieces, so that a rewrite can be cut off
// half-way.
QByteArray Big(char fill, qsizetype size) { return QByteArray(size, fill) + "</HTML>\r\n"; }

} // namespace

class TestFileIo : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString Path(const QString& name) const { return dir.filePath(name); }

    // The files in the test folder, hidden ones (temporary files) included.
    QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    static QStringList SafetyCopies() {
        return QDir(io::SafetyCopyFolder()).entryList(QDir::Files | QDir::Hidden);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        // Other users reach the folder for the tests that save as nobody.
        QVERIFY(::chmod(Name(dir.path()).constData(), 0755) == 0);
        io::testing::s_corruptReadBack = nullptr;
    }

    void cleanup() {
        io::testing::s_corruptReadBack = nullptr;
        for (const QString& name : QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            const QString path = Path(name);
            if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()) {
                ::chmod(Name(path).constData(), 0700);
                QDir(path).removeRecursively();
            } else {
                QFile::remove(path);
            }
        }
    }

    void onlyRegularFilesAreOpened_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("readError");
        QTest::addColumn<int>("writeError"); // -1: not written
        QTest::newRow("fifo") << u"fifo"_s << Code(FileError::BadPath) << Code(FileError::BadPath);
        QTest::newRow("socket") << u"socket"_s << Code(FileError::BadPath) << Code(FileError::BadPath);
        QTest::newRow("character device") << u"device"_s << Code(FileError::BadPath) << -1;
        QTest::newRow("folder") << u"folder"_s << Code(FileError::AccessDenied)
                                << Code(FileError::AccessDenied);
    }

    void onlyRegularFilesAreOpened() {
        QFETCH(QString, kind);
        QFETCH(int, readError);
        QFETCH(int, writeError);
        QString path = Path(u"special.html"_s);
        if (kind == u"fifo")
            QVERIFY(::mkfifo(Name(path).constData(), 0644) == 0);
        else if (kind == u"folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == u"device")
            path = u"/dev/null"_s;
        const int listener = kind == u"socket" ? ::socket(AF_UNIX, SOCK_STREAM, 0) : -1;
        if (kind == u"socket") {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray name = Name(path);
            if (name.size() >= qsizetype(sizeof address.sun_path))
                QSKIP("the test folder's path is too long for a socket address");
            std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
            QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        }
        // Reading and writing must answer at once; the child is stopped after
        // ten seconds if they wait.
        const ChildEnd end = InChild(
            [&] {
                QByteArray bytes;
                const int read = int(ReadWholeFile(path, bytes));
                if (!bytes.isEmpty())
                    return 100;
                const int write = writeError < 0 ? -1 : int(WriteWholeFile(path, kNew));
                return read * 16 + (write < 0 ? 15 : write);
            },
            10);
        if (listener >= 0)
            ::close(listener);
        QVERIFY2(end.exited, qPrintable(u"ended by signal %1"_s.arg(end.signal)));
        QCOMPARE(end.code / 16, readError);
        if (writeError >= 0)
            QCOMPARE(end.code % 16, writeError);
        // Nothing took the special file's place.
        if (kind == u"fifo")
            QVERIFY(S_ISFIFO(StatOf(path).st_mode));
        else if (kind == u"socket")
            QVERIFY(S_ISSOCK(StatOf(path).st_mode));
        else if (kind == u"device")
            QVERIFY(S_ISCHR(StatOf(path).st_mode));
    }

    void fileSizeLimitFailsTheSave_data() {
        QTest::addColumn<bool>("hardLinked");
        QTest::newRow("atomic") << false;
        QTest::newRow("in place") << true;
    }

    // Under a file-size limit a growing save fails as "disk full"; the
    // program lives on and the file, with all its names, keeps its bytes.
    void fileSizeLimitFailsTheSave() {
        QFETCH(bool, hardLinked);
        const QString path = Path(u"limited.html"_s);
        const QString other = Path(u"other-name.html"_s);
        Put(path, kOld);
        if (hardLinked)
            QVERIFY(::link(Name(path).constData(), Name(other).constData()) == 0);
        const ino_t inode = StatOf(path).st_ino;
        const QByteArray big(16384, 'x');
        const ChildEnd end = InChild([&] {
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{8192, 8192};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return kCouldNotDropRights;
            return int(WriteWholeFile(path, big));
        });
        QVERIFY2(end.exited, qPrintable(u"ended by signal %1"_s.arg(end.signal)));
        QCOMPARE(end.code, Code(FileError::DiskFull));
        QCOMPARE(Get(path), kOld);
        QCOMPARE(StatOf(path).st_ino, inode);
        if (hardLinked) {
            QCOMPARE(Get(other), kOld);
            QCOMPARE(StatOf(other).st_ino, inode);
        }
        const QStringList names = hardLinked
                                      ? QStringList{u"limited.html"_s, u"other-name.html"_s}
                                      : QStringList{u"limited.html"_s};
        QCOMPARE(Files(), names);
        // The old bytes are back, so their copy is gone.
        QCOMPARE(SafetyCopies(), QStringList());
    }

    void readingHoldsNoMoreThanTheFile() {
        // A whole file is read into a buffer of its own size: no spare half
        // to find out that nothing follows.
        const QString path = Path(u"big.html"_s);
        QByteArray content(3 * 1024 * 1024 + 17, 'x');
        content[0] = '<';
        Put(path, content);
        QByteArray bytes;
        io::FileIdentity identity;
        QCOMPARE(ReadWholeFile(path, bytes, &identity), FileError::None);
        QCOMPARE(bytes, content);
        QVERIFY2(bytes.capacity() < content.size() + 4096,
                 qPrintable(u"capacity %1 for %2 bytes"_s.arg(bytes.capacity()).arg(content.size())));
        QCOMPARE(identity, io::IdentityOf(path));
        // An empty file reads as nothing.
        Put(path, QByteArray());
        QCOMPARE(ReadWholeFile(path, bytes), FileError::None);
        QVERIFY(bytes.isEmpty());
    }

    void hardLinksAreKept() {
        const QString path = Path(u"linked.html"_s);
        const QString other = Path(u"second-name.html"_s);
        Put(path, kOld);
        QVERIFY(::link(Name(path).constData(), Name(other).constData()) == 0);
        const ino_t inode = StatOf(path).st_ino;
        io::FileIdentity identity;
        QCOMPARE(WriteWholeFile(path, kNew, &identity), FileError::None);
        QCOMPARE(Get(path), kNew);
        QCOMPARE(Get(other), kNew);
        QCOMPARE(StatOf(path).st_ino, inode);
        QCOMPARE(StatOf(other).st_nlink, nlink_t(2));
        QCOMPARE(identity, io::IdentityOf(path));
        QCOMPARE(identity.size, kNew.size());
        // Shorter content cuts the file.
        QCOMPARE(WriteWholeFile(other, "short"), FileError::None);
        QCOMPARE(Get(path), QByteArray("short"));
        QCOMPARE(Files(), (QStringList{u"linked.html"_s, u"second-name.html"_s}));
        QCOMPARE(SafetyCopies(), QStringList());
    }

    void symbolicLinkStaysALink() {
        QVERIFY(QDir().mkdir(Path(u"real"_s)));
        const QString target = Path(u"real/page.html"_s);
        const QString link = Path(u"link.html"_s);
        Put(target, kOld);
        QVERIFY(::symlink("real/page.html", Name(link).constData()) == 0);
        io::FileIdentity identity;
        QCOMPARE(WriteWholeFile(link, kNew, &identity), FileError::None);
        QVERIFY(S_ISLNK(StatOf(link).st_mode));
        QCOMPARE(Get(target), kNew);
        QCOMPARE(identity.inode, quint64(StatOf(target).st_ino));
    }

    void modeBitsAreKept_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("setgid 2775") << 02775;
        QTest::newRow("setuid 4755") << 04755;
        QTest::newRow("sticky 1644") << 01644;
        QTest::newRow("owner only 0600") << 0600;
        QTest::newRow("group read 0640") << 0640;
        QTest::newRow("read-only 0444") << 0444;
    }

    void modeBitsAreKept() {
        QFETCH(int, mode);
        const QString path = Path(u"mode.html"_s);
        Put(path, kOld);
        QVERIFY(::chmod(Name(path).constData(), mode_t(mode)) == 0);
        if ((mode & 0200) == 0 && ::geteuid() != 0) {
            // Only root may write a read-only file; others are refused.
            QCOMPARE(WriteWholeFile(path, kNew), FileError::AccessDenied);
            QCOMPARE(Get(path), kOld);
            return;
        }
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        QCOMPARE(Get(path), kNew);
        QCOMPARE(int(StatOf(path).st_mode & 07777), mode);
    }

    void newFileModeFollowsTheUmask() {
        const mode_t previous = ::umask(027);
        const FileError error = WriteWholeFile(Path(u"fresh.html"_s), kNew);
        ::umask(previous);
        QCOMPARE(error, FileError::None);
        QCOMPARE(int(StatOf(Path(u"fresh.html"_s)).st_mode & 07777), 0640);
        QCOMPARE(Get(Path(u"fresh.html"_s)), kNew);
    }

    void ownerAndGroupAreKept() {
        if (::geteuid() != 0)
            QSKIP("giving a file to nobody takes root");
        const QString path = Path(u"owned.html"_s);
        Put(path, kOld);
        QVERIFY(::chown(Name(path).constData(), kNobody, kNogroup) == 0);
        QVERIFY(::chmod(Name(path).constData(), 0640) == 0);
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        const struct stat st = StatOf(path);
        QCOMPARE(st.st_uid, kNobody);
        QCOMPARE(st.st_gid, kNogroup);
        QCOMPARE(int(st.st_mode & 07777), 0640);
        QCOMPARE(Get(path), kNew);
    }

    void extendedAttributesAreKept() {
        const QString path = Path(u"tagged.html"_s);
        Put(path, kOld);
        const QByteArray value = "kept across saves";
        if (::setxattr(Name(path).constData(), "user.velm.note", value.constData(),
                       size_t(value.size()), 0) != 0)
            QSKIP("the file system of the test folder takes no user attributes");
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        QCOMPARE(Attribute(path, "user.velm.note"), value);
        QCOMPARE(Get(path), kNew);
    }

    void aclEntriesAreKept() {
        const QString path = Path(u"shared.html"_s);
        Put(path, kOld);
        const QByteArray acl = RawAcl();
        if (::setxattr(Name(path).constData(), "system.posix_acl_access", acl.constData(),
                       size_t(acl.size()), 0) != 0)
            QSKIP("the file system of the test folder takes no POSIX ACLs");
        const QByteArray before = Attribute(path, "system.posix_acl_access");
        QVERIFY(!before.isEmpty());
        const mode_t mode = StatOf(path).st_mode & 07777;
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        QCOMPARE(Attribute(path, "system.posix_acl_access"), before);
        QCOMPARE(StatOf(path).st_mode & 07777, mode);
        QCOMPARE(Get(path), kNew);
    }

    void readOnlyFolderSavesInPlace_data() {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("the file") << false;
        QTest::newRow("a symbolic link to it") << true;
    }

    // A folder's default ACL is what new files get; a saved file keeps
    // having none.
    void folderDefaultAclIsNotAdded() {
        const QString folder = Path(u"inheriting"_s);
        QVERIFY(QDir().mkdir(folder));
        const QString path = folder + u"/plain.html"_s;
        Put(path, kOld);
        QVERIFY(::chmod(Name(path).constData(), 0644) == 0);
        const QByteArray acl = RawAcl();
        if (::setxattr(Name(folder).constData(), "system.posix_acl_default", acl.constData(),
                       size_t(acl.size()), 0) != 0)
            QSKIP("the file system of the test folder takes no POSIX ACLs");
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        QCOMPARE(Attribute(path, "system.posix_acl_access"), QByteArray());
        QCOMPARE(int(StatOf(path).st_mode & 07777), 0644);
        QCOMPARE(Get(path), kNew);
    }

    // A writable file in a folder its user cannot write to is rewritten in
    // place, also when it is saved through a link from elsewhere.
    void readOnlyFolderSavesInPlace() {
        QFETCH(bool, throughLink);
        if (::geteuid() != 0)
            QSKIP("saving as nobody takes root");
        const QString folder = Path(u"locked"_s);
        const QString state = Path(u"state"_s);
        QVERIFY(QDir().mkdir(folder) && QDir().mkdir(state));
        QVERIFY(::chmod(Name(folder).constData(), 0755) == 0);
        QVERIFY(::chown(Name(state).constData(), kNobody, kNogroup) == 0);
        const QString path = folder + u"/page.html"_s;
        Put(path, kOld);
        QVERIFY(::chown(Name(path).constData(), kNobody, kNogroup) == 0);
        const ino_t inode = StatOf(path).st_ino;
        const QString link = Path(u"link.html"_s);
        if (throughLink)
            QVERIFY(::symlink("locked/page.html", Name(link).constData()) == 0);
        const ChildEnd end = InChild([&] {
            ::setenv("XDG_STATE_HOME", Name(state).constData(), 1);
            if (!BecomeNobody())
                return kCouldNotDropRights;
            return int(WriteWholeFile(throughLink ? link : path, kNew));
        });
        QVERIFY(end.exited);
        QCOMPARE(end.code, Code(FileError::None));
        QCOMPARE(Get(path), kNew);
        const struct stat st = StatOf(path);
        QCOMPARE(st.st_ino, inode);
        QCOMPARE(st.st_uid, kNobody);
        if (throughLink)
            QVERIFY(S_ISLNK(StatOf(link).st_mode));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"page.html"_s});
        // The safety copy was made in the saver's own state folder and removed.
        QVERIFY(QFileInfo::exists(state + u"/velm/backup"_s));
        QCOMPARE(QDir(state + u"/velm/backup"_s).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // In a sticky folder only a file's owner may replace it; another user
    // allowed to write to it rewrites it in place, and it stays its owner's.
    void stickyFolderSavesInPlace() {
        if (::geteuid() != 0)
            QSKIP("saving as nobody takes root");
        const QString folder = Path(u"sticky"_s);
        const QString state = Path(u"state"_s);
        QVERIFY(QDir().mkdir(folder) && QDir().mkdir(state));
        QVERIFY(::chmod(Name(folder).constData(), 01777) == 0);
        QVERIFY(::chown(Name(state).constData(), kNobody, kNogroup) == 0);
        const QString path = folder + u"/shared.html"_s;
        Put(path, kOld);
        QVERIFY(::chmod(Name(path).constData(), 0666) == 0);
        const ino_t inode = StatOf(path).st_ino;
        const ChildEnd end = InChild([&] {
            ::setenv("XDG_STATE_HOME", Name(state).constData(), 1);
            if (!BecomeNobody())
                return kCouldNotDropRights;
            return int(WriteWholeFile(path, kNew));
        });
        QVERIFY(end.exited);
        QCOMPARE(end.code, Code(FileError::None));
        QCOMPARE(Get(path), kNew);
        const struct stat st = StatOf(path);
        QCOMPARE(st.st_ino, inode);
        QCOMPARE(st.st_uid, uid_t(0));
        QCOMPARE(int(st.st_mode & 07777), 0666);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"shared.html"_s});
    }

    void smallOrReadOnlyFileSystem_data() {
        // How the tmpfs is remounted after the file is made.
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QByteArray>("size");
        QTest::addColumn<bool>("hardLinked");
        QTest::addColumn<int>("error");
        QTest::newRow("read-only") << true << QByteArray() << false << Code(FileError::AccessDenied);
        QTest::newRow("read-only, in place") << true << QByteArray() << true
                                             << Code(FileError::AccessDenied);
        QTest::newRow("no room for a second copy") << false << QByteArray("size=96k") << false
                                                   << Code(FileError::DiskFull);
    }

    // A read-only file system stays an error, and a disk too full for the
    // new file fails as such; the old file keeps its bytes.
    void smallOrReadOnlyFileSystem() {
        QFETCH(bool, readOnly);
        QFETCH(QByteArray, size);
        QFETCH(bool, hardLinked);
        QFETCH(int, error);
        const QByteArray mountPoint = Name(Path(u"mnt"_s));
        QVERIFY(::mkdir(mountPoint.constData(), 0755) == 0);
        const QByteArray path = mountPoint + "/page.html";
        const QByteArray old(60 * 1024, 'o');
        const ChildEnd end = InChild([&] {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("none", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
                return kNoMount;
            if (!PutRaw(path, old))
                return kNoMount;
            if (hardLinked && ::link(path.constData(), (mountPoint + "/other.html").constData()) != 0)
                return kNoMount;
            if (::mount("none", mountPoint.constData(), "tmpfs",
                        MS_REMOUNT | (readOnly ? MS_RDONLY : 0),
                        size.isEmpty() ? nullptr : size.constData()) != 0)
                return kNoMount;
            const int result = int(WriteWholeFile(QFile::decodeName(path), QByteArray(60 * 1024, 'n')));
            return GetRaw(path) == old ? result : kOldBytesChanged;
        });
        QVERIFY(end.exited);
        if (end.code == kNoMount)
            QSKIP("no private tmpfs mount can be made here");
        QCOMPARE(end.code, error);
    }

    void longestFileNameSaves() {
        const QString name = QString(250, u'n') + u".html"_s;
        QCOMPARE(Name(name).size(), 255);
        const QString path = Path(name);
        QCOMPARE(WriteWholeFile(path, kOld), FileError::None);
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        QCOMPARE(Get(path), kNew);
        QCOMPARE(Files(), QStringList{name});
    }

    void piecesOfAnySizeAreWrittenAndChecked_data() {
        QTest::addColumn<bool>("hardLinked");
        QTest::newRow("atomic") << false;
        QTest::newRow("in place") << true;
    }

    void piecesOfAnySizeAreWrittenAndChecked() {
        // A source hands out pieces of odd sizes, larger and smaller than the
        // pieces a save reads back; a source that fails on the way fails the
        // save and leaves the old file.
        struct Source : io::ByteSource {
            QList<QByteArray> pieces;
            qsizetype next = 0;
            int failAt = -1;
            void Rewind() override { next = 0; }
            QByteArrayView Next() override {
                if (next == failAt || next >= pieces.size())
                    return {};
                return pieces[next++];
            }
            int Failure() const override { return next == failAt ? EIO : 0; }
        } source;
        source.pieces = {QByteArray(1, 'a'), QByteArray(3 * 1024 * 1024 + 3, 'b'), "\r\n",
                         QByteArray(1024 * 1024, 'c'), QByteArray(5, 'd')};
        const QByteArray all = source.pieces.join();
        QFETCH(bool, hardLinked);
        const QString path = Path(u"pieces.html"_s);
        const QString other = Path(u"pieces-too.html"_s);
        Put(path, kOld);
        if (hardLinked)
            QVERIFY(::link(Name(path).constData(), Name(other).constData()) == 0);

        QCOMPARE(WriteWholeFile(path, source), FileError::None);
        QVERIFY(Get(path) == all);
        if (hardLinked)
            QVERIFY(Get(other) == all);

        Put(path, kOld);
        const QStringList copies = QDir(io::SafetyCopyFolder()).entryList(QDir::Files);
        source.failAt = 3;
        QCOMPARE(WriteWholeFile(path, source), FileError::HardIo);
        QCOMPARE(Get(path), kOld);
        if (hardLinked) {
            QCOMPARE(Get(other), kOld);
            // The safety copy was not needed any more.
            QCOMPARE(QDir(io::SafetyCopyFolder()).entryList(QDir::Files), copies);
        }
    }

    void readBackMismatchKeepsTheOldFile_data() {
        QTest::addColumn<bool>("hardLinked");
        QTest::newRow("atomic") << false;
        QTest::newRow("in place") << true;
    }

    void readBackChecksEveryPiece() {
        // The read-back of a file larger than one piece is compared piece by
        // piece: a wrong byte in a later piece fails the save as well.
        const QString path = Path(u"pieces.html"_s);
        Put(path, kOld);
        const QByteArray big(3 * 1024 * 1024 + 5, 'p');
        static int s_calls;
        s_calls = 0;
        io::testing::s_corruptReadBack = [](QByteArray& piece) {
            if (++s_calls == 3)
                piece[piece.size() - 1] = 'X';
        };
        QCOMPARE(WriteWholeFile(path, big), FileError::NotVerified);
        QCOMPARE(s_calls, 3); // stopped at the wrong piece
        QCOMPARE(Get(path), kOld);
        io::testing::s_corruptReadBack = nullptr;
        QCOMPARE(WriteWholeFile(path, big), FileError::None);
        QCOMPARE(Get(path), big);
    }

    void readBackMismatchKeepsTheOldFile() {
        QFETCH(bool, hardLinked);
        const QString path = Path(u"checked.html"_s);
        const QString other = Path(u"checked-too.html"_s);
        Put(path, kOld);
        if (hardLinked)
            QVERIFY(::link(Name(path).constData(), Name(other).constData()) == 0);
        const ino_t inode = StatOf(path).st_ino;
        s_corruptions = 1;
        io::testing::s_corruptReadBack = CorruptReadBack;
        QCOMPARE(WriteWholeFile(path, kNew), FileError::NotVerified);
        QCOMPARE(s_corruptions, 0);
        QCOMPARE(Get(path), kOld);
        QCOMPARE(StatOf(path).st_ino, inode);
        if (hardLinked)
            QCOMPARE(Get(other), kOld);
        QCOMPARE(Files().size(), hardLinked ? 2 : 1);
        QCOMPARE(SafetyCopies(), QStringList());
        QCOMPARE(io::KeptSafetyCopy(), QString());
    }

    // When the old bytes cannot be put back either, their copy stays and the
    // message says where.
    void failedRestoreKeepsTheSafetyCopy() {
        const QString path = Path(u"fragile.html"_s);
        const QString other = Path(u"fragile-too.html"_s);
        Put(path, kOld);
        QVERIFY(::link(Name(path).constData(), Name(other).constData()) == 0);
        s_corruptions = -1;
        io::testing::s_corruptReadBack = CorruptReadBack;
        QCOMPARE(WriteWholeFile(path, kNew), FileError::NotRestored);
        io::testing::s_corruptReadBack = nullptr;
        const QString copy = io::KeptSafetyCopy();
        QVERIFY(!copy.isEmpty());
        QCOMPARE(QFileInfo(copy).absolutePath(), QDir(io::SafetyCopyFolder()).absolutePath());
        QVERIFY(QFileInfo(copy).fileName().startsWith(u"fragile.html."_s));
        QCOMPARE(Get(copy), kOld);
        QCOMPARE(int(StatOf(copy).st_mode & 07777), 0600);
        QCOMPARE(int(StatOf(io::SafetyCopyFolder()).st_mode & 07777), 0700);
        QCOMPARE(FileErrorMessage(FileError::NotRestored, path, false),
                 path + u" へ書き込めず、元の内容に戻すこともできませんでした。元の内容は "_s + copy +
                     u" に残してあります。"_s);
        // A later save that succeeds leaves that copy alone and clears the note.
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        QCOMPARE(io::KeptSafetyCopy(), QString());
        QVERIFY(QFile::exists(copy));
        QVERIFY(QFile::remove(copy));
    }

    // The program ends (SIGKILL) at each step of a save in place; the next
    // start finds the record and leaves the file whole: the new bytes where
    // they were all written, the old ones otherwise.
    void interruptedSaveInPlaceIsSettled_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("mixedOnDisk");
        QTest::addColumn<int>("kind");
        QTest::newRow("recorded") << int(io::testing::SaveStep::Recorded) << false
                                  << int(io::SettledSave::Restored);
        QTest::newRow("rewriting") << int(io::testing::SaveStep::Rewriting) << true
                                   << int(io::SettledSave::Restored);
        QTest::newRow("read back") << int(io::testing::SaveStep::BeforeForgetting) << false
                                   << int(io::SettledSave::KeptNew);
    }
    void interruptedSaveInPlaceIsSettled() {
        QFETCH(int, step);
        QFETCH(bool, mixedOnDisk);
        QFETCH(int, kind);
        QDir(io::SafetyCopyFolder()).removeRecursively();
        const QString path = Path(u"linked.html"_s);
        const QString other = Path(u"linked-too.html"_s);
        const QByteArray oldBytes = Big('o', 3 << 20);
        const QByteArray newBytes = Big('n', (3 << 20) + 17);
        Put(path, oldBytes);
        QVERIFY(::link(Name(path).constData(), Name(other).constData()) == 0);
        s_killAt = io::testing::SaveStep(step);
        const ChildEnd end = InChild([&] {
            io::testing::s_saveStep = KillAtStep;
            return int(WriteWholeFile(path, newBytes));
        });
        QCOMPARE(end.signal, SIGKILL);
        const QByteArray onDisk = Get(path);
        QCOMPARE(onDisk != oldBytes && onDisk != newBytes, mixedOnDisk);
        QCOMPARE(SafetyCopies().size(), 1);

        const std::vector<io::SettledSave> settled = io::SettleInterruptedSaves(io::JournalFolder());
        QCOMPARE(settled.size(), size_t(1));
        QCOMPARE(int(settled[0].kind), kind);
        QCOMPARE(settled[0].path, path);
        const QByteArray expected = kind == io::SettledSave::KeptNew ? newBytes : oldBytes;
        QVERIFY(Get(path) == expected);
        QCOMPARE(StatOf(other).st_ino, StatOf(path).st_ino);
        QCOMPARE(settled[0].identity, io::IdentityOf(path));
        QCOMPARE(io::SettledSaveMessage(settled[0]),
                 kind == io::SettledSave::KeptNew
                     ? QString()
                     : path + u" の保存が中断されたため、保存前の内容に戻しました。"_s);
        // Nothing is left: no copy, no record, nothing to settle again.
        QVERIFY(SafetyCopies().isEmpty());
        QCOMPARE(QDir(io::JournalFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(io::SettleInterruptedSaves(io::JournalFolder()).empty());
    }

    // A record whose file was replaced since, or whose owner still runs, is
    // left alone; a record not owned by the user is not believed.
    void settlingTouchesOnlyWhatItKnows() {
        QDir(io::SafetyCopyFolder()).removeRecursively();
        const QString path = Path(u"replaced.html"_s);
        const QByteArray oldBytes = Big('o', 2 << 20);
        Put(path, oldBytes);
        QVERIFY(::link(Name(path).constData(), Name(Path(u"r2.html"_s)).constData()) == 0);
        s_killAt = io::testing::SaveStep::Rewriting;
        QCOMPARE(InChild([&] {
                     io::testing::s_saveStep = KillAtStep;
                     return int(WriteWholeFile(path, Big('n', 2 << 20)));
                 }).signal,
                 SIGKILL);
        const QStringList records =
            QDir(io::JournalFolder()).entryList({u"*.vsr"_s}, QDir::Files);
        QCOMPARE(records.size(), 1);
        const QString record = QDir(io::JournalFolder()).filePath(records[0]);
        // Owned by someone else: not believed. A journal's temporary file
        // left an hour ago goes; one being written now stays.
        QVERIFY(::chown(Name(record).constData(), kNobody, kNogroup) == 0);
        const QString stale = QDir(io::JournalFolder()).filePath(u".tmp-a.vjr.abcdef"_s);
        const QString fresh = QDir(io::JournalFolder()).filePath(u".tmp-b.vjr.abcdef"_s);
        Put(stale, "half");
        Put(fresh, "half");
        const struct timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        QVERIFY(::utimensat(AT_FDCWD, Name(stale).constData(), hourAgo, 0) == 0);
        QVERIFY(io::SettleInterruptedSaves(io::JournalFolder()).empty());
        QVERIFY(!QFile::exists(stale));
        QVERIFY(QFile::remove(fresh));
        QVERIFY(::chown(Name(record).constData(), ::geteuid(), ::getegid()) == 0);
        // Replaced by another file: not touched, the copy stays and is named.
        QVERIFY(QFile::remove(path));
        Put(path, "another file");
        const std::vector<io::SettledSave> settled = io::SettleInterruptedSaves(io::JournalFolder());
        QCOMPARE(settled.size(), size_t(1));
        QCOMPARE(settled[0].kind, io::SettledSave::LeftAlone);
        QCOMPARE(Get(path), QByteArray("another file"));
        QCOMPARE(Get(settled[0].copy), oldBytes);
        QVERIFY(io::SettledSaveMessage(settled[0]).contains(settled[0].copy));
        QVERIFY(QFile::remove(settled[0].copy));
    }

    // A save cut off leaves no temporary file for long: none at all where
    // the file system takes files without a name, and one named after its
    // process otherwise, which the next save in the folder removes once that
    // process is gone (and only then).
    void noTemporaryIsLeftBehind() {
        const QString path = Path(u"atomic.html"_s);
        Put(path, kOld);
        QCOMPARE(InChild([&] {
                     io::testing::s_saveStep = [](io::testing::SaveStep step) {
                         if (step == io::testing::SaveStep::TemporaryWritten)
                             ::raise(SIGKILL);
                     };
                     return int(WriteWholeFile(path, Big('n', 2 << 20)));
                 }).signal,
                 SIGKILL);
        QCOMPARE(Get(path), kOld);
        QCOMPARE(Files(), QStringList{u"atomic.html"_s});

        const QString boot = io::CurrentOwner().bootId.left(8);
        const QString dead = Path(u".velm-%1-999999999-12345-abcdefgh"_s.arg(boot));
        const QString live = Path(u".velm-%1-1-%2-abcdefgh"_s.arg(boot).arg(io::ProcessStartTime(1)));
        const QString reused =
            Path(u".velm-%1-1-%2-abcdefgh"_s.arg(boot).arg(io::ProcessStartTime(1) + 1));
        const QString foreign = Path(u".velm-%1-999999998-1-abcdefgh"_s.arg(boot));
        const QString otherHost = Path(u".velm-0000ffff-999999997-1-abcdefgh"_s);
        const QString oldBoot = Path(u".velm-0000fffe-999999997-1-abcdefgh"_s);
        for (const QString& temp : {dead, live, reused, foreign, otherHost, oldBoot})
            Put(temp, "half");
        QVERIFY(::chown(Name(foreign).constData(), kNobody, kNogroup) == 0);
        const struct timespec twoDaysAgo[2] = {{::time(nullptr) - 2 * 86400, 0},
                                               {::time(nullptr) - 2 * 86400, 0}};
        QVERIFY(::utimensat(AT_FDCWD, Name(oldBoot).constData(), twoDaysAgo, 0) == 0);
        QCOMPARE(WriteWholeFile(path, kNew), FileError::None);
        QCOMPARE(Get(path), kNew);
        QVERIFY(!QFile::exists(dead));
        QVERIFY(!QFile::exists(reused));
        QVERIFY(!QFile::exists(oldBoot));
        QVERIFY(QFile::exists(live));
        QVERIFY(QFile::exists(foreign));
        QVERIFY(QFile::exists(otherHost));
    }

    // Without a place for the safety copy nothing is rewritten.
    void noSafetyCopyNoRewrite() {
        const QString path = Path(u"nocopy.html"_s);
        const QString other = Path(u"nocopy-too.html"_s);
        Put(path, kOld);
        QVERIFY(::link(Name(path).constData(), Name(other).constData()) == 0);
        const QString blocker = Path(u"not-a-folder"_s);
        Put(blocker, "x");
        const QByteArray previous = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", Name(blocker));
        const FileError error = WriteWholeFile(path, kNew);
        qputenv("XDG_STATE_HOME", previous);
        QCOMPARE(error, FileError::NoSafetyCopy);
        // The message blames the folder of the copy, not the document.
        QCOMPARE(FileErrorMessage(error, path, false),
                 path + u" はその場で書き換える必要がありますが、その前に作る控えを "_s + blocker +
                     u"/velm に書き込めませんでした (Not a directory)。"_s);
        QCOMPARE(Get(path), kOld);
        QCOMPARE(Get(other), kOld);
    }
};

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
