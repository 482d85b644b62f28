#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

namespace pane {

// The length of the line break at `i` of text being inserted, or 0: what
// the document's own insertion takes for one (CR LF, CR, LF, U+2029 and the
// frame marks).
inline int BreakAt(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    if (c == u'\r')
        return i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
    if (c == u'\n' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1)
        return 1;
    return 0;
}

// Calls onLine(start, end) for each line of `text`, as BreakAt ends them.
template <typename F>
void ForEachLine(QStringView text, F&& onLine) {
    const char16_t* const data = text.utf16();
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = data[i];
        if (c > u'\r' && c != 0x2029 && (c & 0xFFFE) != 0xFDD0)
            continue; // most characters, in one test
        const int length = BreakAt(text, i);
        if (!length)
            continue;
        onLine(start, i);
        i += length - 1;
        start = i + 1;
    }
    onLine(start, text.size());
}

// Whether a text holds a line break, and a line longer than
// kMaxParagraphLength; its number of lines.
struct TextShape {
    bool hasBreak = false;
    bool longLine = false;
    qsizetype lines = 0;
};
TextShape ShapeOf(QStringView text);

// Makes the pane text of file lines, given in one or more parts: a long
// line cut into parts, each a paragraph, short lines gathered up to `group`
// to a paragraph, separated there by inner line breaks (U+2028).
class PaneTextMaker {
public:
    explicit PaneTextMaker(int group) : m_group(group) {}

    // Appends the pane text of `text` to `out`. With `more`, text follows
    // and `text` ends with a line break (or is empty): the break then
    // separates its last line from the next part's first.
    void Add(QStringView text, bool more, QString& out);
    // Each long line's first paragraph (counted from the first one made)
    // and its paragraph count, since the last TakeLongLines.
    std::vector<std::pair<int, int>> TakeLongLines() { return std::exchange(m_longLines, {}); }
    // The paragraphs made so far.
    int Paragraphs() const { return m_paragraph + 1; }

private:
    void Line(QStringView line, QString& out);

    const int m_group;
    bool m_first = true;
    int m_paragraph = 0;   // the paragraph being made
    int m_inParagraph = 0; // its lines
    qsizetype m_length = 0;
    std::vector<std::pair<int, int>> m_longLines;
};

// A paragraph of a pane text: its text and whether a split follows it
// (else a line break or the end).
struct MadeParagraph {
    QStringView text;
    bool splitAfter = false;
};
// What a PaneTextMaker made, paragraph by paragraph.
std::vector<MadeParagraph> ParagraphsOf(QStringView paneText,
                                        const std::vector<std::pair<int, int>>& longLines);

} // namespace pane
