#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/CodePage932.h"
#include "io/FileState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

// Conversion between file bytes in any of the encodings a document may have
// (io::Encoding) and the editor's UTF-16 text, with code page 932's
// guarantees in each: a byte that is not valid where it stands is kept as
// U+DC80..U+DCFF and written back as that byte (UTF-16 keeps a lone
// surrogate as itself), and a text decoded with a format is encoded with it
// back to the same bytes: byte-order mark, line breaks, duplicate codes.
// Only ISO-2022-JP may come back otherwise (its escapes are written the
// one usual way); Decoded::exact tells.
//
// EUC-JP and ISO-2022-JP share code page 932's table of JIS X 0208 (rows 1
// to 94, the NEC row and the NEC-selected IBM rows among them), so a
// character reads the same in all three. EUC-JP's three-byte JIS X 0212
// codes are kept as raw bytes.
namespace codec {

using io::Encoding;

// The name the status bar shows: "Shift_JIS", "UTF-8", "UTF-8 BOM", ...
QString EncodingName(Encoding encoding);
// The name a page declares for it: "Shift_JIS", "UTF-8", "EUC-JP",
// "ISO-2022-JP", "UTF-16".
QString DeclarationName(Encoding encoding);

struct Decoded {
    QString text;
    io::TextFormat format;
    qsizetype rawBytes = 0; // bytes (or lone UTF-16 units) kept as they were
    bool nonAscii = false;  // any byte above 0x7F
    bool exact = true;      // Encode(text, format) gives the bytes back
};

// Told how many bytes are done after each step of about
// cp932::kDecodeStep bytes; false stops the decoding.
using KeepGoing = std::function<bool(qsizetype done)>;

// Decodes `bytes` as `encoding` (a byte-order mark the encoding has is
// skipped). Nothing when `keepGoing` stopped it, or, when `strict`, at the
// first byte not valid in the encoding.
std::optional<Decoded> Decode(QByteArrayView bytes, Encoding encoding,
                              const KeepGoing& keepGoing = {}, bool strict = false);

// Encodes a text given in pieces, each after the ones before: the first
// begins with the byte-order mark, Finish gives what closes the file.
class Encoder {
public:
    explicit Encoder(const io::TextFormat& format) : m_format(format) { Reset(); }
    void Reset();
    QByteArray Encode(QStringView piece);
    QByteArray Finish();

private:
    io::TextFormat m_format;
    bool m_started = false;
    int m_mode = 0; // ISO-2022-JP: the character set in use
};

// The whole text at once.
QByteArray Encode(QStringView text, const io::TextFormat& format);

// Characters `encoding` cannot hold (written as numeric character
// references); U+2029 and kept raw bytes are writable.
std::optional<cp932::Unencodable> FindUnencodable(QStringView text, Encoding encoding,
                                                  qsizetype from = 0);
qsizetype CountUnencodable(QStringView text, Encoding encoding);

// Where the text that Encode(text, format) reads back as first differs
// from `text` (line breaks equal to one another, an unencodable character
// to its reference), or nothing.
std::optional<qsizetype> FirstRoundTripDifference(QStringView text, const io::TextFormat& format);

} // namespace codec
