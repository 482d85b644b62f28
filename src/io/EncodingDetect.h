#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/TextCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Which encoding a file is in, and the encoding a page declares.
namespace codec {

// Where a page names its encoding: the label as written and its place.
struct Declaration {
    QByteArray label;
    qsizetype offset = 0;
    qsizetype length = 0;
};

// The declaration the HTML prescan finds in the first 1024 bytes (comments
// skipped; <meta charset>, <meta http-equiv="Content-Type" content="...;
// charset=...">), or an XML declaration's encoding at the very start.
std::optional<Declaration> FindDeclaration(QByteArrayView bytes);
// The same in a text: characters above U+007F count as one byte each, so the
// place is in characters.
std::optional<Declaration> FindDeclaration(QStringView text);

// The encoding a label names, as the Encoding Standard maps labels (ASCII
// case and surrounding white space ignored). A page that declares UTF-16
// is read as UTF-8, as browsers read it.
std::optional<Encoding> EncodingOfLabel(QByteArrayView label);

// What detection found: the text decoded and how, the declaration's name
// (the encoding's name for a known label, the label as written otherwise;
// empty when there is none) and the step that decided (1 to 6, in the
// order the README gives; 0 when the encoding was given).
struct Detected {
    Decoded decoded;
    QString declared;
    std::optional<Encoding> declaredEncoding;
    int step = 0;
};

// Decides the encoding and decodes, in this order: a byte-order mark; the
// whole file valid UTF-8 with a multi-byte sequence; the declaration, when
// the bytes decode cleanly in it; ISO-2022-JP escapes and no byte above
// 0x7F; exactly one of Shift_JIS and EUC-JP decoding cleanly (both: the
// reading with the larger share of kana and Japanese punctuation, EUC-JP
// only with at least a fifth); otherwise Shift_JIS. With `given`, decodes
// as that. Nothing when `keepGoing` stopped it.
std::optional<Detected> DetectAndDecode(QByteArrayView bytes, const KeepGoing& keepGoing = {},
                                        std::optional<Encoding> given = std::nullopt);

// Whether the pane should name the declaration beside the encoding used.
bool DeclarationDiffers(const QString& declared, std::optional<Encoding> declaredEncoding,
                        Encoding used);

} // namespace codec
