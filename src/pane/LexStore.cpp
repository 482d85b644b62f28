#include "pane/LexStore.h"

#include <algorithm>

namespace pane {

void CLexStore::Reset(int paragraphs) {
    m_end.assign(std::size_t(std::max(paragraphs, 0)), LexState{});
    m_upTo = m_knownTo = m_sureFrom = m_jumpFrom = m_jumpTo = 0;
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
    const int mark = m_upTo;
    const int known = shifted(std::max(m_knownTo, m_upTo));
    m_upTo = std::min(m_upTo, added > 0 ? first : std::max(first - 1, 0));
    m_knownTo = std::max(known, m_upTo);
    const int settled = std::max(lastNew, 0);
    if (!cascading) {
        m_sureFrom = m_jumpFrom = settled;
        m_jumpTo = m_knownTo;
        return;
    }
    m_sureFrom = std::max(shifted(m_sureFrom), settled);
    if (m_upTo < mark) {
        // An edit behind a cascade: once it ends as before, the ends up to
        // the old mark hold again and the cascade goes on from there; the
        // ends past the old mark hold only where that cascade would have
        // let them.
        m_jumpFrom = settled;
        m_jumpTo = shifted(mark);
        m_sureFrom = std::max(m_sureFrom, m_jumpTo);
    } else {
        m_jumpFrom = first < m_jumpTo ? std::max(shifted(m_jumpFrom), settled) : shifted(m_jumpFrom);
        m_jumpTo = shifted(m_jumpTo);
    }
}

bool CLexStore::Store(LexState end) {
    if (m_upTo >= Count())
        return false;
    LexState& old = m_end[std::size_t(m_upTo)];
    if (m_upTo < m_knownTo && old == end) {
        if (m_upTo >= m_sureFrom) {
            m_upTo = m_knownTo;
            return true;
        }
        if (m_upTo >= m_jumpFrom && m_upTo < m_jumpTo) {
            m_upTo = m_jumpTo; // on with the cascade from before the edit
            return true;
        }
    }
    old = end;
    ++m_upTo;
    m_knownTo = std::max(m_knownTo, m_upTo);
    return false;
}

} // namespace pane
