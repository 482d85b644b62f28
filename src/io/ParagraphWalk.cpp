#include "io/ParagraphWalk.h"

namespace io {

LineWalk::LineWalk(const TextLines& lines, const TextSplits& splits)
    : m_lines(&lines), m_splits(&splits) {
    SkipEmptyRuns();
}

void LineWalk::SkipEmptyRuns() {
    while (m_run < m_lines->size() && m_index >= (*m_lines)[m_run].size()) {
        ++m_run;
        m_index = 0;
    }
}

bool LineWalk::BreakBefore() const {
    return !m_first &&
           !(m_split < m_splits->size() && (*m_splits)[m_split] == m_position);
}

const QString& LineWalk::Take() {
    if (!m_first)
        ++m_position; // the separator before the line
    m_first = false;
    const QString& line = (*m_lines)[m_run][m_index++];
    m_position += line.size();
    while (m_split < m_splits->size() && (*m_splits)[m_split] < m_position)
        ++m_split;
    SkipEmptyRuns();
    return line;
}

} // namespace io
