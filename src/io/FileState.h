#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QStringView>
#include <QtGlobal>

namespace io {

// What a file on disk was at one moment: enough to tell whether another
// program has changed or replaced it since.
struct FileIdentity {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0; // modification time, nanoseconds since the epoch

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The line break a file uses.
enum class LineEnd : quint8 { CrLf, Lf, Cr };

// The character encoding of a file. New documents are ShiftJis (code page
// 932); the byte-order mark is part of the encoding.
enum class Encoding : quint8 { ShiftJis, Utf8, Utf8Bom, EucJp, Iso2022Jp, Utf16Le, Utf16Be };
constexpr int kEncodingCount = 7;

// How the text was written in its file, so that a save writes it back the
// same way.
struct TextFormat {
    Encoding encoding = Encoding::ShiftJis;
    LineEnd lineEnd = LineEnd::CrLf;
    // For characters with duplicate codes: the two-byte code (lead << 8 |
    // trail, in the encoding's own terms) the file used first, where that is
    // not the standard code.
    QHash<char16_t, quint16> duplicateForms;
    // ISO-2022-JP: the final byte of the escape that selects JIS X 0208
    // ('B' or '@'), as the file used it first.
    char jisFinal = 'B';
    // UTF-16: a last byte that makes no whole code unit, written back after
    // the text.
    QByteArray tail;

    friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

// The line break a text uses throughout: all LF, all CR, otherwise (mixed
// or none) CR LF. The bytes' form serves every encoding whose line breaks are
// the ASCII bytes.
LineEnd DetectLineEnd(QByteArrayView bytes);
LineEnd DetectLineEnd(QStringView text);

// How the file on disk stands against the one the document knows.
enum class ChangeOnDisk {
    None,     // as known (or nothing was known)
    Changed,  // another program changed or replaced it
    Declined, // changed, but the user already chose to keep the pane
    Deleted,  // nothing is there any more
};

// `known`: the file when last read or written; `now`: what is there now;
// `declined`: the file as it was when the user last chose to keep the pane
// (exists false when never).
ChangeOnDisk Compare(const FileIdentity& known, const FileIdentity& now,
                     const FileIdentity& declined);

} // namespace io
