#include "pane/PaneBytes.h"

#include "pane/PaneText.h"
#include "io/TextCodec.h"

#include <algorithm>
#include <utility>

CPaneBytes::CPaneBytes(CPaneText* text, const io::TextFormat& format, qsizetype pieceLength)
    : m_format(format), m_pieceLength(qMax<qsizetype>(1, pieceLength)), m_walk(m_blocks, m_splits),
      m_encoder(format) {
    if (text) {
        io::ParagraphText paragraphs = text->Paragraphs(true);
        m_blocks = std::move(paragraphs.blocks);
        m_splits = std::move(paragraphs.splits);
    }
    Rewind();
}

void CPaneBytes::Rewind() {
    m_walk = io::LineWalk(m_blocks, m_splits);
    m_encoder.Reset();
    m_finished = false;
}

QString CPaneBytes::NextText() {
    QString piece;
    while (!m_walk.AtEnd()) {
        const bool lineBreak = m_walk.BreakBefore();
        if (piece.size() >= m_pieceLength && (lineBreak || piece.back().unicode() < 0x40))
            break;
        if (lineBreak)
            piece += QChar::ParagraphSeparator;
        piece += m_walk.Take();
    }
    return piece;
}

QByteArrayView CPaneBytes::Next() {
    const QString piece = NextText();
    if (!piece.isEmpty())
        m_bytes = m_encoder.Encode(piece);
    else if (!std::exchange(m_finished, true))
        m_bytes = m_encoder.Finish(); // a mark alone, ISO-2022-JP's return to ASCII
    else
        m_bytes.clear();
    return m_bytes;
}

SaveCheck CheckSaveText(const std::function<QString()>& nextPiece, const io::TextFormat& format) {
    SaveCheck check;
    qsizetype linesBefore = 0;  // line breaks before the piece
    qsizetype columnBefore = 0; // characters of its first line before the piece
    const auto placeOf = [&](const QString& piece, qsizetype index) {
        const QStringView before = QStringView(piece).first(index);
        const qsizetype breaks = before.count(QChar::ParagraphSeparator);
        const qsizetype lineStart = before.lastIndexOf(QChar::ParagraphSeparator) + 1;
        return SaveCheck::Place{linesBefore + breaks + 1,
                                (breaks ? 0 : columnBefore) + index - lineStart + 1};
    };
    for (QString piece = nextPiece(); !piece.isEmpty(); piece = nextPiece()) {
        const qsizetype unencodable = codec::CountUnencodable(piece, format.encoding);
        if (unencodable && !check.firstUnencodable) {
            const std::optional<cp932::Unencodable> first =
                codec::FindUnencodable(piece, format.encoding);
            check.firstUnencodable = SaveCheck::Unencodable{
                placeOf(piece, first->index).line, piece.mid(first->index, first->length),
                first->codePoint};
        }
        check.unencodableCount += unencodable;
        // Every character but a kept stray byte reads back as itself, whatever
        // stands around it; only a stray byte may join the byte after it.
        const auto strayByte = [](QChar c) { return cp932::IsRawByte(c.unicode()); };
        // In ISO-2022-JP an escape in the text may select another set.
        const bool escape = format.encoding == io::Encoding::Iso2022Jp && piece.contains(QChar(0x1B));
        if (!check.roundTripDifference &&
            (escape || std::any_of(piece.cbegin(), piece.cend(), strayByte))) {
            if (const std::optional<qsizetype> at =
                    codec::FirstRoundTripDifference(piece, format))
                check.roundTripDifference = placeOf(piece, *at);
        }
        const qsizetype breaks = piece.count(QChar::ParagraphSeparator);
        const qsizetype lastBreak = piece.lastIndexOf(QChar::ParagraphSeparator);
        columnBefore = breaks ? piece.size() - lastBreak - 1 : columnBefore + piece.size();
        linesBefore += breaks;
    }
    return check;
}
