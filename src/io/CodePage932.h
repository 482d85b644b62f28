#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/FileState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

// Conversion between file bytes in code page 932 (Shift-JIS as written by
// Windows) and the editor's UTF-16 text.
//
// Nothing is lost on the way: a byte that does not start a valid character is
// kept in the text as the lone surrogate U+DC00 + byte (U+DC80..U+DCFF) and is
// written back as that byte. ASCII and the control codes map to themselves.
// The duplicate codes of the NEC and IBM extensions and the line breaks come
// back as the file had them when the text is written with the TextFormat its
// decoding reported; only mixed line breaks become CR LF.
namespace cp932 {

constexpr char16_t kRawByteFirst = 0xDC80;
constexpr char16_t kRawByteLast = 0xDCFF;

constexpr bool IsRawByte(char16_t c) { return c >= kRawByteFirst && c <= kRawByteLast; }
constexpr char16_t RawByteChar(unsigned char b) { return char16_t(0xDC00 + b); }

// Decodes file bytes. Never fails. Line ends are passed through as they are.
// `format`, when given, receives how the bytes were written: their line break
// (all LF: Lf, all CR: Cr, otherwise CrLf) and, for each character with
// duplicate codes, the first code used when that is not the standard one.
QString Decode(QByteArrayView bytes, io::TextFormat* format = nullptr);

// Decode in steps of about kDecodeStep bytes: after each, `keepGoing` is told
// how many bytes are done; when it returns false, decoding stops and gives
// nothing (`format` untouched). A step never ends inside a two-byte
// character.
constexpr qsizetype kDecodeStep = qsizetype(1) << 20;
std::optional<QString> Decode(QByteArrayView bytes, io::TextFormat* format,
                              const std::function<bool(qsizetype done)>& keepGoing);

// Whether the two-byte code is a duplicate: it stands for a character whose
// standard code is another one, which Encode writes unless told otherwise.
bool IsDuplicateCode(unsigned char lead, unsigned char trail);

// A character that code page 932 cannot hold.
struct Unencodable {
    qsizetype index = 0;  // position in UTF-16 code units
    qsizetype length = 1; // 1, or 2 for a surrogate pair
    char32_t codePoint = 0;
};

// The first character at or after `from` that cannot be written. The paragraph
// separator U+2029 counts as a line break and is writable.
std::optional<Unencodable> FindUnencodable(QStringView text, qsizetype from = 0);

// How many characters of `text` cannot be written.
qsizetype CountUnencodable(QStringView text);

// Encodes text. U+2029 (the editor's paragraph separator) becomes the line
// break of `format`; a character with duplicate codes takes the form
// `format` recorded for it, or the standard code.
// A character that cannot be held is written as a decimal HTML numeric
// character reference ("&#128169;"); callers ask the user before that happens.
QByteArray Encode(QStringView text, const io::TextFormat& format = {});

// Where the text that `bytes` read back as first differs from `text`, which
// they were encoded from: an index into `text`, or nothing when they agree.
// Line breaks (U+2029, CR LF, CR, LF) count as equal to one another, and a
// character that cannot be held as equal to its numeric character reference.
std::optional<qsizetype> FirstRoundTripDifference(QStringView text, QByteArrayView bytes);

// The numeric character reference written for a code point.
QByteArray CharacterReference(char32_t codePoint);

} // namespace cp932
