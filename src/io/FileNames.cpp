#include "io/FileNames.h"

#include "io/CodePage932.h"

#include <QDir>
#include <QStringList>

#include <cerrno>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(QChar c) { return cp932::IsRawByte(c.unicode()); }

// The length of the valid UTF-8 sequence at `at`, 0 when there is none
// (overlong forms, surrogates and values above U+10FFFF are not valid).
qsizetype Utf8Length(const QByteArray& bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return uchar(bytes[i]); };
    const uchar lead = byte(at);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (byte(at + i) & 0x3F);
    }
    if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
        (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
        return 0;
    return length;
}

} // namespace

QByteArray io::EncodeName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    qsizetype from = 0;
    const auto flush = [&](qsizetype to) {
        bytes += QStringView(name).sliced(from, to - from).toUtf8();
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsEscape(name[i]) || (i > 0 && name[i - 1].isHighSurrogate()))
            continue;
        flush(i);
        bytes += char(name[i].unicode() - kEscapeBase);
        from = i + 1;
    }
    flush(name.size());
    return bytes;
}

QString io::DecodeName(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    qsizetype from = 0;
    for (qsizetype at = 0; at < bytes.size();) {
        if (const qsizetype n = Utf8Length(bytes, at)) {
            at += n;
            continue;
        }
        name += QString::fromUtf8(bytes.constData() + from, at - from);
        name += QChar(char16_t(kEscapeBase + uchar(bytes[at])));
        from = ++at;
    }
    name += QString::fromUtf8(bytes.constData() + from, bytes.size() - from);
    return name;
}

QString io::AbsolutePath(const QString& name) {
    if (name.isEmpty() || name.startsWith(u'/'))
        return name.isEmpty() ? name : QDir::cleanPath(name);
    QByteArray folder(4096, Qt::Uninitialized);
    while (!::getcwd(folder.data(), size_t(folder.size())) && errno == ERANGE)
        folder.resize(folder.size() * 2);
    return QDir::cleanPath(DecodeName(QByteArray(folder.constData())) + u'/' + name);
}

QString io::DisplayName(const QString& name) {
    if (std::none_of(name.cbegin(), name.cend(), IsEscape))
        return name;
    QStringList parts = name.split(u'/');
    for (QString& part : parts) {
        if (std::none_of(part.cbegin(), part.cend(), IsEscape))
            continue;
        const QString read = cp932::Decode(EncodeName(part));
        const bool clean = std::none_of(read.cbegin(), read.cend(), [](QChar c) {
            return IsEscape(c) || c.unicode() < 0x20 || c.unicode() == 0x7F;
        });
        if (clean) {
            part = read;
        } else {
            for (QChar& c : part)
                if (IsEscape(c))
                    c = QChar::ReplacementCharacter;
        }
    }
    return parts.join(u'/');
}
