#include "pane/PaneBytes.h"

#include "pane/PaneText.h"
#include "io/TextCodec.h"

#include <algorithm>
#include <utility>

CPaneBytes::CPaneBytes(CPaneText* text, const io::TextFormat& format, qsizetype chunkLength)
    : m_format(format), m_chunkLength(qMax<qsizetype>(1, chunkLength)), m_walk(m_paragraphs, m_splits),
      m_encoder(format) {
    if (text) {
        io::ParagraphText paragraphs = text->Paragraphs(true);
        m_paragraphs = std::move(paragraphs.paragraphs);
        m_splits = std::move(paragraphs.splits);
    }
    Rewind();
}

void CPaneBytes::Rewind() {
    m_walk = io::ParagraphWalk(m_paragraphs, m_splits);
    m_encoder.Reset();
    m_finished = false;
}

QString CPaneBytes::NextText() {
    QString chunk;
    while (!m_walk.AtEnd()) {
        const bool lineBreak = m_walk.BreakBefore();
        if (chunk.size() >= m_chunkLength && (lineBreak || chunk.back().unicode() < 0x40))
            break;
        if (lineBreak)
            chunk += QChar::ParagraphSeparator;
        chunk += m_walk.Take();
    }
    return chunk;
}

QByteArrayView CPaneBytes::Next() {
    const QString chunk = NextText();
    if (!chunk.isEmpty())
        m_bytes = m_encoder.Encode(chunk);
    else if (!std::exchange(m_finished, true))
        m_bytes = m_encoder.Finish(); // a mark alone, ISO-2022-JP's return to ASCII
    else
        m_bytes.clear();
    return m_bytes;
}

SaveCheck CheckSaveText(const std::function<QString()>& nextChunk, const io::TextFormat& format) {
    SaveCheck check;
    qsizetype linesBefore = 0;  // line breaks before the chunk
    qsizetype columnBefore = 0; // characters of its first line before the chunk
    const auto placeOf = [&](const QString& chunk, qsizetype index) {
        const QStringView before = QStringView(chunk).first(index);
        const qsizetype breaks = before.count(QChar::ParagraphSeparator);
        const qsizetype lineStart = before.lastIndexOf(QChar::ParagraphSeparator) + 1;
        return SaveCheck::Place{linesBefore + breaks + 1,
                                (breaks ? 0 : columnBefore) + index - lineStart + 1};
    };
    for (QString chunk = nextChunk(); !chunk.isEmpty(); chunk = nextChunk()) {
        const qsizetype unencodable = codec::CountUnencodable(chunk, format.encoding);
        if (unencodable && !check.firstUnencodable) {
            const std::optional<cp932::Unencodable> first =
                codec::FindUnencodable(chunk, format.encoding);
            check.firstUnencodable = SaveCheck::Unencodable{
                placeOf(chunk, first->index).line, chunk.mid(first->index, first->length),
                first->codePoint};
        }
        check.unencodableCount += unencodable;
        // Every character but a kept stray byte reads back as itself, whatever
        // stands around it; only a stray byte may join the byte after it.
        const auto strayByte = [](QChar c) { return cp932::IsRawByte(c.unicode()); };
        // In ISO-2022-JP an escape in the text may select another set.
        const bool escape = format.encoding == io::Encoding::Iso2022Jp && chunk.contains(QChar(0x1B));
        if (!check.roundTripDifference &&
            (escape || std::any_of(chunk.cbegin(), chunk.cend(), strayByte))) {
            if (const std::optional<qsizetype> at =
                    codec::FirstRoundTripDifference(chunk, format))
                check.roundTripDifference = placeOf(chunk, *at);
        }
        const qsizetype breaks = chunk.count(QChar::ParagraphSeparator);
        const qsizetype lastBreak = chunk.lastIndexOf(QChar::ParagraphSeparator);
        columnBefore = breaks ? chunk.size() - lastBreak - 1 : columnBefore + chunk.size();
        linesBefore += breaks;
    }
    return check;
}
