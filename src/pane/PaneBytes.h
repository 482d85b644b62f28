#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include "io/FileIo.h"
#include "io/FileState.h"
#include "io/ParagraphWalk.h"
#include "io/TextCodec.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class CPaneText;

// The bytes a save writes, encoded chunk by chunk from the pane's text, so
// that a save holds a chunk of the text and its bytes, never a copy of all.
class CPaneBytes final : public io::ByteSource {
public:
    static constexpr qsizetype kChunkLength = 256 * 1024;

    // The text as `text` holds it now (`text` may be null: no text).
    CPaneBytes(CPaneText* text, const io::TextFormat& format,
               qsizetype chunkLength = kChunkLength);
    CPaneBytes(const CPaneBytes&) = delete; // the walk points into it
    CPaneBytes& operator=(const CPaneBytes&) = delete;
    void Rewind() override;
    QByteArrayView Next() override;
    // The next chunk of the file text, lines separated by U+2029, empty at
    // the end (between Rewind and the end, either this or Next). A chunk
    // holds whole paragraphs of the pane, about `chunkLength` characters or
    // a longer line, and ends where the encoded chunks read back as the
    // whole would: before a line break, or after a character below U+0040
    // (no byte below 0x40 continues a two-byte code).
    QString NextText();

private:
    io::ParagraphBatches m_paragraphs; // the pane's paragraphs
    io::TextSplits m_splits;
    io::TextFormat m_format;
    qsizetype m_chunkLength;
    io::ParagraphWalk m_walk;
    codec::Encoder m_encoder; // the file's encoding, chunk after chunk
    bool m_finished = false;  // the encoder's closing bytes were given
    QByteArray m_bytes;
};

// What writing a text would meet, found before anything is written. Lines
// and columns count from 1.
struct SaveCheck {
    struct Unencodable {
        qsizetype line = 0;
        QString character;
        char32_t codePoint = 0;
    };
    // The first character the encoding cannot hold, and how many there are.
    std::optional<Unencodable> firstUnencodable;
    qsizetype unencodableCount = 0;
    // Where the written bytes would first read back otherwise.
    struct Place {
        qsizetype line = 0;
        qsizetype column = 0;
    };
    std::optional<Place> roundTripDifference;
};

// Goes through a text given in chunks (lines separated by U+2029; each chunk
// cut where the encoded chunks read back independently, empty at the end).
SaveCheck CheckSaveText(const std::function<QString()>& nextChunk, const io::TextFormat& format);
