#include "io/RecoveryJournal.h"

#include "io/FileIo.h"
#include "io/FileNames.h"
#include "io/ParagraphDiff.h"

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
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace io {

namespace {

constexpr char kMagic[8] = {'V', 'E', 'L', 'M', 'J', 'R', 'N', 'L'};
// Version 2 added the encoding after the line break (with ISO-2022-JP's
// selector and UTF-16's stray last byte); a version 1 journal is Shift-JIS.
// Version 3 appends edit records after the base:
//   magic "VJED", payload length, CRC-32 of these two; the payload: time,
//   position, removed, inserted length, the inserted units; CRC-32 of all of
//   the record before.
constexpr quint32 kVersion = 3;
constexpr quint32 kVersionWhole = 2;
constexpr quint32 kVersionShiftJisOnly = 1;
constexpr quint32 kRecordMagic = 0x4445'4A56; // "VJED" in little-endian order
constexpr qsizetype kRecordHeader = 4 + 4 + 4;
constexpr quint32 kRecordFixed = 8 * 4; // the payload without the inserted units
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

// Writes the journal's bytes to a sink (a function taking a run of bytes),
// keeping the count and the checksum of what went out.
template <typename Sink> class Encoder {
public:
    explicit Encoder(Sink& sink) : m_sink(sink) {}

    void Append(const char* data, qsizetype size) {
        m_crc = Crc32(data, size, m_crc);
        m_size += size;
        m_sink(data, size);
    }
    template <typename T> void Put(T value) {
        const T le = qToLittleEndian(value);
        Append(reinterpret_cast<const char*>(&le), sizeof le);
    }
    void PutUnits(QStringView s) {
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            Append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        } else {
            for (QChar c : s)
                Put<quint16>(c.unicode());
        }
    }
    void PutString(const QString& s) {
        Put<quint32>(quint32(s.size()));
        PutUnits(s);
    }
    quint64 Size() const { return quint64(m_size); }
    quint32 Crc() const { return m_crc; }

private:
    Sink& m_sink;
    quint32 m_crc = 0;
    qsizetype m_size = 0;
};

// The whole journal; the text is `lines` joined by U+2029 (but at `splits`)
// when given, `journal.text` otherwise.
template <typename Sink>
void Encode(const Journal& journal, const ParagraphBatches* lines, const TextSplits& splits, Sink& sink) {
    Encoder<Sink> e(sink);
    e.Append(kMagic, sizeof kMagic);
    e.template Put<quint32>(kVersion);
    e.template Put<quint32>(journal.hasText ? kFlagHasText : 0);
    e.PutString(journal.path);

    e.template Put<quint8>(journal.identity.exists ? 1 : 0);
    e.template Put<quint64>(journal.identity.device);
    e.template Put<quint64>(journal.identity.inode);
    e.template Put<qint64>(journal.identity.size);
    e.template Put<qint64>(journal.identity.mtimeNs);

    e.template Put<quint8>(quint8(journal.format.lineEnd));
    e.template Put<quint8>(quint8(journal.format.encoding));
    e.template Put<quint8>(quint8(journal.format.jisFinal));
    e.template Put<quint32>(quint32(journal.format.tail.size()));
    e.Append(journal.format.tail.constData(), journal.format.tail.size());
    QList<char16_t> keys = journal.format.duplicateForms.keys();
    std::sort(keys.begin(), keys.end());
    e.template Put<quint32>(quint32(keys.size()));
    for (char16_t key : keys) {
        e.template Put<quint16>(key);
        e.template Put<quint16>(journal.format.duplicateForms.value(key));
    }

    e.template Put<qint64>(journal.written.isValid() ? journal.written.toMSecsSinceEpoch() : 0);
    e.PutString(journal.owner.host);
    e.PutString(journal.owner.bootId);
    e.template Put<qint64>(journal.owner.pid);
    e.template Put<quint64>(journal.owner.startTime);

    if (!journal.hasText) {
        e.template Put<quint64>(0);
    } else if (!lines) {
        e.template Put<quint64>(quint64(journal.text.size()));
        e.PutUnits(journal.text);
    } else {
        auto forEachParagraph = [&](auto&& separator, auto&& text) {
            for (ParagraphWalk walk(*lines, splits); !walk.AtEnd();) {
                if (walk.BreakBefore())
                    separator();
                text(walk.Take());
            }
        };
        quint64 length = 0;
        forEachParagraph([&] { ++length; }, [&](const QString& line) { length += quint64(line.size()); });
        e.template Put<quint64>(length);
        forEachParagraph([&] { e.template Put<quint16>(QChar::ParagraphSeparator); },
                     [&](const QString& line) { e.PutUnits(line); });
    }

    e.template Put<quint64>(e.Size());
    const quint32 crc = qToLittleEndian(e.Crc());
    sink(reinterpret_cast<const char*>(&crc), sizeof crc);
}

class Reader {
public:
    Reader(const char* data, qsizetype size) : m_data(data), m_size(size) {}

    bool ok() const { return m_ok; }
    bool AtEnd() const { return m_pos == m_size; }
    qsizetype Position() const { return m_pos; }

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
    QByteArray GetBytes(quint32 count) {
        if (!m_ok || count > quint64(m_size - m_pos)) {
            m_ok = false;
            return {};
        }
        QByteArray bytes(m_data + m_pos, count);
        m_pos += count;
        return bytes;
    }

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

} // namespace

quint32 Crc32(const char* data, qsizetype size, quint32 crc) {
    const auto& t = CrcTables();
    const auto* p = reinterpret_cast<const uchar*>(data);
    crc = ~crc;
    while (size >= 8) {
        const quint32 lo =
            crc ^ (quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
        const quint32 hi =
            quint32(p[4]) | quint32(p[5]) << 8 | quint32(p[6]) << 16 | quint32(p[7]) << 24;
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
    QByteArray bytes;
    bytes.reserve(journal.text.size() * 2 + journal.path.size() * 2 + 256);
    auto sink = [&bytes](const char* data, qsizetype size) { bytes.append(data, size); };
    Encode(journal, nullptr, {}, sink);
    return bytes;
}

namespace {

// Replays the edit records after the base onto `j.text`. A record cut short
// at the end of the file (a write that did not finish) is dropped; a damaged
// one before the end stops the replay there.
void ReplayEdits(const char* data, qsizetype size, Journal& j) {
    qsizetype pos = 0;
    while (pos < size) {
        const qsizetype left = size - pos;
        if (left < kRecordHeader)
            return; // torn
        Reader header(data + pos, kRecordHeader);
        const quint32 magic = header.Get<quint32>();
        const quint32 length = header.Get<quint32>();
        const quint32 headerCrc = header.Get<quint32>();
        // Its length is believed before the record is there whole.
        if (magic != kRecordMagic || Crc32(data + pos, 8) != headerCrc || length < kRecordFixed) {
            j.editsStopped = true;
            return;
        }
        const qsizetype whole = kRecordHeader + qsizetype(length) + 4;
        if (left < whole)
            return; // torn
        const quint32 crc = Reader(data + pos + whole - 4, 4).Get<quint32>();
        if (Crc32(data + pos, whole - 4) != crc) {
            // The last record, damaged: a write the disk did not finish.
            if (left > whole)
                j.editsStopped = true;
            return;
        }
        Reader r(data + pos + kRecordHeader, length);
        const qint64 written = r.Get<qint64>();
        JournalEdit edit;
        edit.position = r.Get<qint64>();
        edit.removed = r.Get<qint64>();
        edit.inserted = r.GetUnits(r.Get<quint64>());
        if (!r.ok() || !r.AtEnd() || !ApplyEdit(j.text, edit)) {
            j.editsStopped = true;
            return;
        }
        ++j.edits;
        j.written = QDateTime::fromMSecsSinceEpoch(written, Qt::UTC);
        pos += whole;
    }
}

} // namespace

QByteArray SerializeEdits(const std::vector<JournalEdit>& edits, const QDateTime& written) {
    QByteArray bytes;
    for (const JournalEdit& edit : edits) {
        const qsizetype start = bytes.size();
        auto sink = [&bytes](const char* data, qsizetype size) { bytes.append(data, size); };
        Encoder e(sink);
        e.Put<quint32>(kRecordMagic);
        e.Put<quint32>(quint32(kRecordFixed + edit.inserted.size() * 2));
        e.Put<quint32>(e.Crc());
        e.Put<qint64>(written.toMSecsSinceEpoch());
        e.Put<qint64>(edit.position);
        e.Put<qint64>(edit.removed);
        e.Put<quint64>(quint64(edit.inserted.size()));
        e.PutUnits(edit.inserted);
        const quint32 crc = qToLittleEndian(Crc32(bytes.constData() + start, bytes.size() - start));
        bytes.append(reinterpret_cast<const char*>(&crc), sizeof crc);
    }
    return bytes;
}

JournalError ParseJournal(const QByteArray& bytes, Journal& journal) {
    if (bytes.size() < qsizetype(sizeof kMagic))
        return JournalError::Truncated;
    if (std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
        return JournalError::Corrupt;
    if (bytes.size() < qsizetype(sizeof kMagic) + 8 + kTrailerSize)
        return JournalError::Truncated;

    // The fields are read forward; the base ends in its length and checksum,
    // which are checked before anything read is used.
    Reader r(bytes.constData() + sizeof kMagic, bytes.size() - qsizetype(sizeof kMagic));
    Journal j;
    const quint32 version = r.Get<quint32>();
    if (version != kVersion && version != kVersionWhole && version != kVersionShiftJisOnly)
        return JournalError::Corrupt;
    const quint32 flags = r.Get<quint32>();
    if (flags & ~kFlagHasText)
        return JournalError::Corrupt;
    j.hasText = flags & kFlagHasText;
    j.path = r.GetString();

    const quint8 exists = r.Get<quint8>();
    j.identity.exists = exists == 1;
    j.identity.device = r.Get<quint64>();
    j.identity.inode = r.Get<quint64>();
    j.identity.size = r.Get<qint64>();
    j.identity.mtimeNs = r.Get<qint64>();

    const quint8 lineEnd = r.Get<quint8>();
    j.format.lineEnd = LineEnd(lineEnd);
    bool fieldsOk = exists <= 1 && lineEnd <= quint8(LineEnd::Cr);
    if (version >= 2) {
        const quint8 encoding = r.Get<quint8>();
        const char jisFinal = char(r.Get<quint8>());
        fieldsOk = fieldsOk && encoding < kEncodingCount && (jisFinal == 'B' || jisFinal == '@');
        j.format.encoding = Encoding(encoding);
        j.format.jisFinal = jisFinal;
        const quint32 tail = r.Get<quint32>();
        fieldsOk = fieldsOk && tail <= 1;
        j.format.tail = r.GetBytes(fieldsOk ? tail : 0);
    }
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
    j.text = r.GetUnits(length);
    const qsizetype bodySize = qsizetype(sizeof kMagic) + r.Position();
    const quint64 recorded = r.Get<quint64>();
    const quint32 checksum = r.Get<quint32>();
    if (!r.ok())
        return JournalError::Truncated;
    if (recorded != quint64(bodySize) || Crc32(bytes.constData(), bodySize + 8) != checksum)
        return JournalError::Corrupt;
    if (!fieldsOk || (!j.hasText && length != 0))
        return JournalError::Corrupt;
    const qsizetype baseEnd = bodySize + kTrailerSize;
    if (version < kVersion) {
        if (baseEnd != bytes.size())
            return JournalError::Corrupt; // written whole: nothing follows
    } else if (j.hasText) {
        ReplayEdits(bytes.constData() + baseEnd, bytes.size() - baseEnd, j);
    } else if (baseEnd != bytes.size()) {
        return JournalError::Corrupt; // an owner record takes no edits
    }
    journal = std::move(j);
    return JournalError::None;
}

QString JournalFolder() {
    return StateFolder() + u"/recovery"_s;
}

bool EnsureJournalFolder(const QString& folder, int* error) {
    // Made for the user alone, and used only while it is the user's own.
    const FolderCheck check = MakePrivateFolder(folder);
    if (check.trust != FolderTrust::Own && error)
        *error = check.error ? check.error : EPERM;
    return check.trust == FolderTrust::Own;
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
    const auto make = [] {
        JournalOwner o;
        o.host = QSysInfo::machineHostName();
        o.bootId = ReadFirstLine(u"/proc/sys/kernel/random/boot_id"_s);
        o.pid = ::getpid();
        o.startTime = ProcessStartTime(o.pid);
        return o;
    };
    static JournalOwner owner = make();
    if (owner.pid != ::getpid())
        owner = make(); // a forked child is an owner of its own
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
    // A file reached through a symbolic link has the key of its target.
    QByteArray path = EncodeName(absolutePath);
    if (char* canonical = ::realpath(path.constData(), nullptr)) {
        path = canonical;
        ::free(canonical);
    }
    return QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex());
}

QString JournalFileName(const QString& absolutePath, const JournalOwner& owner,
                        int untitledNumber) {
    if (absolutePath.isEmpty())
        return u"untitled-%1-%2"_s.arg(OwnerTag(owner)).arg(untitledNumber) + kSuffix;
    return PathKey(absolutePath) + u'-' + OwnerTag(owner) + kSuffix;
}

JournalError ReadJournal(const QString& file, Journal& journal) {
    // Believed only when it is the user's own file, reached without a link.
    int code = 0;
    const int fd = OpenOwnFile(file, O_RDONLY, &code);
    if (fd < 0)
        return code == ENOENT ? JournalError::NotFound : JournalError::Unreadable;
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return JournalError::Unreadable;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return JournalError::Unreadable;
    return ParseJournal(bytes, journal);
}

namespace {

// Writes all of `size` bytes; 0 or the error.
int WriteAll(int fd, const char* p, qsizetype left) {
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        p += n;
        left -= n;
    }
    return 0;
}

// Writes through a temporary file in the folder of `file`, renamed over it
// once everything is on the disk. `produce` hands the bytes to a sink.
template <typename Produce>
JournalError WriteAtomically(const QString& file, Produce produce, int* error) {
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    QByteArray temp = EncodeName(folder + u"/.tmp-"_s + info.fileName() + u".XXXXXX"_s);
    int code = 0;
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // mode 0600
    if (fd < 0) {
        if (error)
            *error = errno;
        return JournalError::Unwritable;
    }
    auto writeAll = [fd, &code](const char* p, qsizetype size) {
        if (code == 0)
            code = WriteAll(fd, p, size);
    };
    // Small runs are gathered; large ones go out as they are.
    constexpr qsizetype kBuffer = qsizetype(1) << 20;
    QByteArray buffer;
    buffer.reserve(kBuffer);
    auto sink = [&](const char* data, qsizetype size) {
        if (buffer.size() + size > kBuffer) {
            writeAll(buffer.constData(), buffer.size());
            buffer.resize(0);
        }
        if (size >= kBuffer / 4)
            writeAll(data, size);
        else
            buffer.append(data, size);
    };
    produce(sink);
    writeAll(buffer.constData(), buffer.size());
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0 && ::rename(temp.constData(), EncodeName(file).constData()) != 0)
        code = errno;
    if (code != 0) {
        ::unlink(temp.constData());
        if (error)
            *error = code;
        return JournalError::Unwritable;
    }
    if (const int e = SyncFolder(EncodeName(folder))) {
        if (error)
            *error = e;
        return JournalError::Unwritable;
    }
    return JournalError::None;
}

} // namespace

JournalError WriteJournalFile(const QString& file, const QByteArray& bytes, int* error) {
    return WriteAtomically(
        file, [&bytes](auto& sink) { sink(bytes.constData(), bytes.size()); }, error);
}

JournalError WriteJournal(const QString& file, const Journal& journal, const ParagraphBatches& lines,
                          const TextSplits& splits, int* error) {
    return WriteAtomically(
        file, [&](auto& sink) { Encode(journal, &lines, splits, sink); }, error);
}

JournalError AppendJournalFile(const QString& file, const QByteArray& records, int* error) {
    int code = 0;
    const int fd = OpenOwnFile(file, O_WRONLY | O_APPEND, &code);
    if (fd < 0) {
        if (error)
            *error = code;
        return JournalError::Unwritable;
    }
    code = WriteAll(fd, records.constData(), records.size());
    if (code == 0 && ::fdatasync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code != 0) {
        if (error)
            *error = code;
        return JournalError::Unwritable;
    }
    return JournalError::None;
}

bool RemoveJournalFile(const QString& file) {
    if (::unlink(EncodeName(file).constData()) != 0 && errno != ENOENT)
        return false;
    SyncFolder(EncodeName(QFileInfo(file).absolutePath()));
    return true;
}

QStringList ListJournalFiles(const QString& folder, const QString& absolutePath) {
    if (CheckPrivateFolder(folder).trust != FolderTrust::Own)
        return {};
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
