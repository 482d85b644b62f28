#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace io {

// A text as runs of lines; the lines are joined by U+2029.
using TextLines = QList<QStringList>;
// Positions, ascending, of separators in the joined lines that are no line
// breaks: the lines on either side are pieces of one line, joined directly.
using TextSplits = std::vector<int>;

// A file text without a copy of it: its paragraphs and the splits among them.
struct ParagraphText {
    TextLines blocks;
    TextSplits splits;
};

// Goes through `lines` in order, telling before each one whether a line
// break stands before it in the joined text (not before the first line,
// nor where a split stands).
class LineWalk {
public:
    LineWalk(const TextLines& lines, const TextSplits& splits);
    bool AtEnd() const { return m_run >= m_lines->size(); }
    bool BreakBefore() const;
    // The next line; the walk moves past it.
    const QString& Take();

private:
    void SkipEmptyRuns();

    const TextLines* m_lines;
    const TextSplits* m_splits;
    qsizetype m_run = 0;
    qsizetype m_index = 0;
    qsizetype m_position = 0; // in the lines joined by every separator, as splits count
    size_t m_split = 0;       // the first split at or after m_position
    bool m_first = true;
};

} // namespace io
