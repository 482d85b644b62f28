#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include "pane/HtmlLexer.h"

#include <vector>

namespace pane {

// The lexer's state at the end of each paragraph, kept so that a paragraph
// is lexed only when it is about to be shown, from where the one before
// ended. The ends of paragraphs [0, ColouredUpTo()) are right. An edit
// marks its paragraphs to lex again; the ends after them stay as they were
// and become right again as soon as a paragraph at or after the edit ends
// as it did before (the edit changed nothing beyond it), so a keystroke
// costs only the paragraphs whose end state it changes.
class CLexStore {
public:
    // `paragraphs` paragraphs, none lexed.
    void Reset(int paragraphs);
    int Count() const { return int(m_end.size()); }
    int ColouredUpTo() const { return m_upTo; }
    // Whether paragraphs after the mark still hold ends from before an edit
    // that the lexer has not yet caught up with.
    bool Cascading() const { return m_knownTo > m_upTo; }

    // Paragraphs [first, first + removed) were replaced by [first, first + added).
    void Replace(int first, int removed, int added);

    // The state paragraph `paragraph` starts in; right up to and including
    // ColouredUpTo(), a guess beyond it (the last end known, old or not).
    LexState StartOf(int paragraph) const {
        return paragraph <= 0 || paragraph > Count() ? LexState{} : m_end[paragraph - 1];
    }
    // Records the end of paragraph ColouredUpTo(), just lexed, and moves the
    // mark on: past all the old ends that hold again when it ends as before.
    // True when it did so (the re-colouring converged, or an edit made during
    // a cascade caught up with it).
    bool Store(LexState end);

private:
    std::vector<LexState> m_end;
    int m_upTo = 0;
    int m_knownTo = 0;  // ends in [m_upTo, m_knownTo) were right before the edits
    int m_sureFrom = 0; // the first paragraph after every edit still to catch up with
    // An edit made behind a cascade: from m_jumpFrom, an end as before
    // moves the mark on to m_jumpTo, where the older cascade goes on.
    int m_jumpFrom = 0;
    int m_jumpTo = 0;
};

} // namespace pane
