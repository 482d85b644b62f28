#include "io/RecoveryJournal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace io {

namespace {

constexpr char kMagic[8] = {'V', 'E', 'L', 'M', 'J', 'R', 'N', 'L'};
constexpr quint32 kVersion = 1;
constexpr quint32 kFlagHasText = 1;
constexpr qsizetype kTrailerSize = 8 + 4; // length, checksum
const QString kSuffix = u".vjr"_s;

// Slicing-by-8 tables for the reflected polynomial 0xEDB88320.
const std::array<std::array<quint32, 256>, 8>& CrcTables() {
    static const auto tables = [] {
        std::array<std::array<quint32, 256>, 8> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (quint32 i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s)
                t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
        return t;
    }();
    return tables;
}

class Writer {
public:
    explicit Writer(qsizetype reserve) { m_bytes.reserve(reserve); }

    template <typename T> void Put(T value) {
        const T le = qToLittleEndian(value);
        m_bytes.append(reinterpret_cast<const char*>(&le), sizeof le);
    }
    void PutUnits(const QString& s) {
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            m_bytes.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        } else {
            for (QChar c : s)
                Put<quint16>(c.unicode());
        }
    }
    void PutString(const QString& s) {
        Put<quint32>(quint32(s.size()));
        PutUnits(s);
    }
    QByteArray& Bytes() { return m_bytes; }

private:
    QByteArray m_bytes;
};

class Reader {
public:
    Reader(const char* data, qsizetype size) : m_data(data), m_size(size) {}

    bool ok() const { return m_ok; }
    bool AtEnd() const { return m_pos == m_size; }

    template <typename T> T Get() {
        if (!m_ok || m_size - m_pos < qsizetype(sizeof(T))) {
            m_ok = false;
            return T{};
        }
        T value;
        std::memcpy(&value, m_data + m_pos, sizeof value);
        m_pos += sizeof value;
        return qFromLittleEndian(value);
    }
    QString GetUnits(quint64 count) {
        if (!m_ok || count > quint64(m_size - m_pos) / 2) {
            m_ok = false;
            return {};
        }
        QString s(qsizetype(count), Qt::Uninitialized);
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            std::memcpy(s.data(), m_data + m_pos, count * 2);
            m_pos += qsizetype(count * 2);
        } else {
            for (quint64 i = 0; i < count; ++i)
                s[qsizetype(i)] = QChar(Get<quint16>());
        }
        return s;
    }
    QString GetString() { return GetUnits(Get<quint32>()); }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

QString ReadFirstLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readLine()).trimmed();
}

QString OwnerTag(const JournalOwner& owner) {
    return u"%1-%2-%3"_s.arg(owner.bootId.left(8)).arg(owner.pid).arg(owner.startTime);
}

bool FsyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool done = ::fsync(fd) == 0;
    ::close(fd);
    return done;
}

} // namespace

quint32 Crc32(const char* data, qsizetype size, quint32 crc) {
    const auto& t = CrcTables();
    const auto* p = reinterpret_cast<const uchar*>(data);
    crc = ~crc;
    while (size >= 8) {
        const quint32 lo = crc ^ (quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 |
                                  quint32(p[3]) << 24);
        const quint32 hi = quint32(p[4]) | quint32(p[5]) << 8 | quint32(p[6]) << 16 |
                           quint32(p[7]) << 24;
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QByteArray SerializeJournal(const Journal& journal) {
    Writer w(journal.text.size() * 2 + journal.path.size() * 2 + 256);
    w.Bytes().append(kMagic, sizeof kMagic);
    w.Put<quint32>(kVersion);
    w.Put<quint32>(journal.hasText ? kFlagHasText : 0);
    w.PutString(journal.path);

    w.Put<quint8>(journal.identity.exists ? 1 : 0);
    w.Put<quint64>(journal.identity.device);
    w.Put<quint64>(journal.identity.inode);
    w.Put<qint64>(journal.identity.size);
    w.Put<qint64>(journal.identity.mtimeNs);

    w.Put<quint8>(quint8(journal.format.lineEnd));
    QList<char16_t> keys = journal.format.duplicateForms.keys();
    std::sort(keys.begin(), keys.end());
    w.Put<quint32>(quint32(keys.size()));
    for (char16_t key : keys) {
        w.Put<quint16>(key);
        w.Put<quint16>(journal.format.duplicateForms.value(key));
    }

    w.Put<qint64>(journal.written.isValid() ? journal.written.toMSecsSinceEpoch() : 0);
    w.PutString(journal.owner.host);
    w.PutString(journal.owner.bootId);
    w.Put<qint64>(journal.owner.pid);
    w.Put<quint64>(journal.owner.startTime);

    const QString& text = journal.hasText ? journal.text : QString();
    w.Put<quint64>(quint64(text.size()));
    w.PutUnits(text);

    w.Put<quint64>(quint64(w.Bytes().size()));
    w.Put<quint32>(Crc32(w.Bytes().constData(), w.Bytes().size()));
    return std::move(w.Bytes());
}

JournalError ParseJournal(const QByteArray& bytes, Journal& journal) {
    if (bytes.size() < qsizetype(sizeof kMagic))
        return JournalError::Truncated;
    if (std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
        return JournalError::Corrupt;
    if (bytes.size() < qsizetype(sizeof kMagic) + 8 + kTrailerSize)
        return JournalError::Truncated;

    const qsizetype bodySize = bytes.size() - kTrailerSize;
    Reader trailer(bytes.constData() + bodySize, kTrailerSize);
    const quint64 recorded = trailer.Get<quint64>();
    const quint32 checksum = trailer.Get<quint32>();
    if (recorded > quint64(bodySize))
        return JournalError::Truncated;
    if (recorded != quint64(bodySize) ||
        Crc32(bytes.constData(), bodySize + 8) != checksum)
        return JournalError::Corrupt;

    Reader r(bytes.constData() + sizeof kMagic, bodySize - qsizetype(sizeof kMagic));
    Journal j;
    if (r.Get<quint32>() != kVersion)
        return JournalError::Corrupt;
    const quint32 flags = r.Get<quint32>();
    if (flags & ~kFlagHasText)
        return JournalError::Corrupt;
    j.hasText = flags & kFlagHasText;
    j.path = r.GetString();

    const quint8 exists = r.Get<quint8>();
    if (exists > 1)
        return JournalError::Corrupt;
    j.identity.exists = exists == 1;
    j.identity.device = r.Get<quint64>();
    j.identity.inode = r.Get<quint64>();
    j.identity.size = r.Get<qint64>();
    j.identity.mtimeNs = r.Get<qint64>();

    const quint8 lineEnd = r.Get<quint8>();
    if (lineEnd > quint8(LineEnd::Cr))
        return JournalError::Corrupt;
    j.format.lineEnd = LineEnd(lineEnd);
    const quint32 forms = r.Get<quint32>();
    for (quint32 i = 0; i < forms && r.ok(); ++i) {
        const char16_t key = r.Get<quint16>();
        j.format.duplicateForms.insert(key, r.Get<quint16>());
    }

    const qint64 written = r.Get<qint64>();
    j.written = QDateTime::fromMSecsSinceEpoch(written, Qt::UTC);
    j.owner.host = r.GetString();
    j.owner.bootId = r.GetString();
    j.owner.pid = r.Get<qint64>();
    j.owner.startTime = r.Get<quint64>();

    const quint64 length = r.Get<quint64>();
    if (!j.hasText && length != 0)
        return JournalError::Corrupt;
    j.text = r.GetUnits(length);
    if (!r.ok() || !r.AtEnd())
        return JournalError::Corrupt;
    journal = std::move(j);
    return JournalError::None;
}

QString JournalFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + u"/.local/state"_s;
    return state + u"/velm/recovery"_s;
}

bool EnsureJournalFolder(const QString& folder, int* error) {
    QFileInfo info(folder);
    if (info.isDir())
        return true;
    // The parents as the user's umask makes them, the folder itself private.
    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent)) {
        if (error)
            *error = EACCES;
        return false;
    }
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = errno;
        return false;
    }
    if (!QFileInfo(folder).isDir()) {
        if (error)
            *error = ENOTDIR;
        return false;
    }
    return true;
}

quint64 ProcessStartTime(qint64 pid) {
    QFile f(u"/proc/%1/stat"_s.arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    // The command name may hold spaces and parentheses: fields follow the last ')'.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Field 22 of the file, the 20th after the name.
    return fields.size() > 19 ? fields[19].toULongLong() : 0;
}

const JournalOwner& CurrentOwner() {
    static const JournalOwner owner = [] {
        JournalOwner o;
        o.host = QSysInfo::machineHostName();
        o.bootId = ReadFirstLine(u"/proc/sys/kernel/random/boot_id"_s);
        o.pid = ::getpid();
        o.startTime = ProcessStartTime(o.pid);
        return o;
    }();
    return owner;
}

OwnerState StateOf(const JournalOwner& owner) {
    const JournalOwner& self = CurrentOwner();
    if (owner.host != self.host)
        return OwnerState::Alive; // not ours to judge
    if (owner.bootId != self.bootId)
        return OwnerState::Dead;
    if (owner.pid == self.pid && owner.startTime == self.startTime)
        return OwnerState::Self;
    if (owner.pid <= 0 || (::kill(pid_t(owner.pid), 0) != 0 && errno == ESRCH))
        return OwnerState::Dead;
    const quint64 start = ProcessStartTime(owner.pid);
    // Without /proc to tell, a running process with that number counts.
    if (start != 0 && start != owner.startTime)
        return OwnerState::Dead;
    return OwnerState::Alive;
}

QString PathKey(const QString& absolutePath) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(absolutePath), QCryptographicHash::Sha1)
            .toHex());
}

QString JournalFileName(const QString& absolutePath, const JournalOwner& owner,
                        int untitledNumber) {
    if (absolutePath.isEmpty())
        return u"untitled-%1-%2"_s.arg(OwnerTag(owner)).arg(untitledNumber) + kSuffix;
    return PathKey(absolutePath) + u'-' + OwnerTag(owner) + kSuffix;
}

JournalError ReadJournal(const QString& file, Journal& journal) {
    QFile f(file);
    if (!f.exists())
        return JournalError::NotFound;
    if (!f.open(QIODevice::ReadOnly))
        return JournalError::Unreadable;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return JournalError::Unreadable;
    return ParseJournal(bytes, journal);
}

JournalError WriteJournalFile(const QString& file, const QByteArray& bytes, int* error) {
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    QByteArray temp = QFile::encodeName(folder + u"/.tmp-"_s + info.fileName() + u".XXXXXX"_s);
    auto fail = [error](int code) {
        if (error)
            *error = code;
        return JournalError::Unwritable;
    };
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return fail(errno);
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temp.constData());
            return fail(code);
        }
        p += n;
        left -= n;
    }
    if (::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return fail(code);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(code);
    }
    if (::rename(temp.constData(), QFile::encodeName(file).constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(code);
    }
    if (!FsyncFolder(folder))
        return fail(errno);
    return JournalError::None;
}

bool RemoveJournalFile(const QString& file) {
    if (::unlink(QFile::encodeName(file).constData()) != 0 && errno != ENOENT)
        return false;
    FsyncFolder(QFileInfo(file).absolutePath());
    return true;
}

QStringList ListJournalFiles(const QString& folder, const QString& absolutePath) {
    const QString pattern =
        absolutePath.isEmpty() ? u"*"_s + kSuffix : PathKey(absolutePath) + u"-*"_s + kSuffix;
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name))
        if (!name.startsWith(u'.'))
            files << dir.filePath(name);
    return files;
}

} // namespace io
