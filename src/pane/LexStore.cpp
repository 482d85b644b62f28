#include "pane/LexStore.h"

#include <algorithm>

namespace pane {

void CLexStore::Reset(int paragraphs) {
    m_end.assign(std::size_t(std::max(paragraphs, 0)), LexState{});
    m_upTo = m_knownTo = m_sureFrom = 0;
}

void CLexStore::Replace(int first, int removed, int added) {
    const int count = Count();
    first = std::clamp(first, 0, count);
    removed = std::clamp(removed, 0, count - first);
    added = std::max(added, 0);
    // The last new paragraph ends where the last old one ended: its old end
    // is what agreement is measured against.
    const LexState lastEnd = removed > 0 ? m_end[std::size_t(first + removed - 1)] : LexState{};
    const auto at = m_end.begin() + first;
    m_end.erase(at, at + removed);
    m_end.insert(m_end.begin() + first, std::size_t(added), lastEnd);

    const int delta = added - removed;
    const int lastNew = added > 0 ? first + added - 1 : first - 1;
    const auto shifted = [&](int n) { return n >= first + removed ? n + delta : std::min(n, first); };
    const bool cascading = Cascading();
    const int known = shifted(std::max(m_knownTo, m_upTo));
    m_upTo = std::min(m_upTo, added > 0 ? first : std::max(first - 1, 0));
    m_knownTo = std::max(known, m_upTo);
    m_sureFrom = std::max(cascading ? shifted(m_sureFrom) : 0, std::max(lastNew, 0));
}

bool CLexStore::Store(LexState end) {
    if (m_upTo >= Count())
        return false;
    LexState& old = m_end[std::size_t(m_upTo)];
    if (m_upTo >= m_sureFrom && m_upTo < m_knownTo && old == end) {
        m_upTo = m_knownTo;
        return true;
    }
    old = end;
    ++m_upTo;
    m_knownTo = std::max(m_knownTo, m_upTo);
    return false;
}

} // namespace pane
