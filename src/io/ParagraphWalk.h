#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace io {

// The pane's paragraph texts in batches of a few hundred (a batch that did
// not change stays shared between copies); joined by U+2029 they are the
// pane's text, inner line breaks given as U+2029 already.
using ParagraphBatches = QList<QStringList>;
// Positions, ascending, of separators in the joined paragraphs that are
// splits, not line breaks: the paragraphs on either side are parts of one
// file line, joined directly.
using TextSplits = std::vector<int>;

// A file text without a copy of it: its paragraphs and the splits among them.
struct ParagraphText {
    ParagraphBatches paragraphs;
    TextSplits splits;
};

// Goes through `paragraphs` in order, telling before each one whether a
// line break stands before it in the file text (not before the first one,
// nor where a split stands).
class ParagraphWalk {
public:
    ParagraphWalk(const ParagraphBatches& paragraphs, const TextSplits& splits);
    bool AtEnd() const { return m_batch >= m_paragraphs->size(); }
    bool BreakBefore() const;
    // The next paragraph; the walk moves past it.
    const QString& Take();

private:
    void SkipEmptyBatches();

    const ParagraphBatches* m_paragraphs;
    const TextSplits* m_splits;
    qsizetype m_batch = 0;
    qsizetype m_index = 0;
    qsizetype m_position = 0; // in the paragraphs joined by every separator, as splits count
    size_t m_split = 0;       // the first split at or after m_position
    bool m_first = true;
};

} // namespace io
