#include "io/ParagraphWalk.h"

namespace io {

ParagraphWalk::ParagraphWalk(const ParagraphBatches& paragraphs, const TextSplits& splits)
    : m_paragraphs(&paragraphs), m_splits(&splits) {
    SkipEmptyBatches();
}

void ParagraphWalk::SkipEmptyBatches() {
    while (m_batch < m_paragraphs->size() && m_index >= (*m_paragraphs)[m_batch].size()) {
        ++m_batch;
        m_index = 0;
    }
}

bool ParagraphWalk::BreakBefore() const {
    return !m_first &&
           !(m_split < m_splits->size() && (*m_splits)[m_split] == m_position);
}

const QString& ParagraphWalk::Take() {
    if (!m_first)
        ++m_position; // the separator before the paragraph
    m_first = false;
    const QString& paragraph = (*m_paragraphs)[m_batch][m_index++];
    m_position += paragraph.size();
    while (m_split < m_splits->size() && (*m_splits)[m_split] < m_position)
        ++m_split;
    SkipEmptyBatches();
    return paragraph;
}

} // namespace io
