#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/FileState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <cstring>
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

// Plain ASCII copied eight bytes (or four characters) at a time, up to the
// first other one; they give how many were copied (and advance nothing).
inline qsizetype CopyAscii(const unsigned char* p, const unsigned char* end, char16_t* d) {
    const unsigned char* const start = p;
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL)
            break;
        for (int k = 0; k < 8; ++k)
            d[k] = char16_t(p[k]);
        d += 8;
        p += 8;
    }
    return p - start;
}
// Advances `d` past what it wrote.
inline qsizetype AppendAscii(const char16_t* s, qsizetype n, char*& d) {
    qsizetype i = 0;
    while (n - i >= 4) {
        uint64_t word;
        std::memcpy(&word, s + i, 8);
        if (word & 0xFF80FF80FF80FF80ULL)
            break;
        d[0] = char(s[i]);
        d[1] = char(s[i + 1]);
        d[2] = char(s[i + 2]);
        d[3] = char(s[i + 3]);
        d += 4;
        i += 4;
    }
    return i;
}

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

// The character a two-byte code (lead << 8 | trail) stands for, 0 when none;
// and the code a character is written as (below 0x100: one byte), 0 when it
// cannot be. The encodings that share JIS X 0208 build on these.
char16_t CharOfCode(quint16 code);
quint16 CodeOfChar(char16_t c);

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

// The comparison behind FirstRoundTripDifference, for any encoding: `back`
// is what the bytes written for `text` read as; `unencodable(i)` tells
// whether the character at `i` was written as its reference (and which).
std::optional<qsizetype> FirstReadBackDifference(
    QStringView text, QStringView back,
    const std::function<std::optional<Unencodable>(qsizetype i)>& unencodable);

// The numeric character reference written for a code point.
QByteArray CharacterReference(char32_t codePoint);

} // namespace cp932
