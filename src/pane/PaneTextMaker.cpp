#include "pane/PaneTextMaker.h"

#include "pane/PaneText.h"

#include <algorithm>

namespace {

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Between a and b lies no cut: they are a surrogate pair or two raw bytes.
bool Inseparable(char16_t a, char16_t b) { return IsSurrogate(a) && IsLowSurrogate(b); }

bool BreaksAfter(char16_t c) { return c == u' ' || c == u'\t' || c == u'>'; }

} // namespace

int CPaneText::GroupSize(qsizetype lines) {
    return lines < kGroupFrom ? 1 : int(std::min<qsizetype>(kMaxGroupLines, lines / 4096));
}

std::vector<qsizetype> LongLineCuts(QStringView line) {
    constexpr qsizetype kLength = CPaneText::kSplitLength;
    std::vector<qsizetype> cuts;
    qsizetype start = 0;
    while (line.size() - start > kLength) {
        const qsizetype limit = start + kLength;
        qsizetype cut = 0;
        // After a space or a tag, where the wrapping would break anyway.
        for (qsizetype p = limit; p > start + kLength / 2 && !cut; --p)
            if (BreaksAfter(line[p - 1].unicode()))
                cut = p;
        for (qsizetype p = limit; p > start + kLength / 2 && !cut; --p)
            if (!Inseparable(line[p - 1].unicode(), line[p].unicode()))
                cut = p;
        if (!cut) // a long run of raw bytes: anywhere but inside a surrogate pair
            cut = line[limit - 1].isHighSurrogate() && line[limit].isLowSurrogate() ? limit - 1
                                                                                    : limit;
        cuts.push_back(cut);
        start = cut;
    }
    return cuts;
}

namespace pane {

TextShape ShapeOf(QStringView text) {
    TextShape shape;
    ForEachLine(text, [&](qsizetype start, qsizetype end) {
        shape.hasBreak = ++shape.lines > 1;
        shape.longLine = shape.longLine || end - start > CPaneText::kMaxParagraphLength;
    });
    return shape;
}

void PaneTextMaker::Add(QStringView text, bool more, QString& out) {
    ForEachLine(text, [&](qsizetype start, qsizetype end) {
        if (!(more && start == text.size()))
            Line(text.sliced(start, end - start), out);
    });
}

void PaneTextMaker::Line(QStringView line, QString& out) {
    const bool isLong = line.size() > CPaneText::kMaxParagraphLength;
    if (!m_first) {
        if (!isLong && m_inParagraph < m_group &&
            m_length + 1 + line.size() <= CPaneText::kSplitLength) {
            out += QChar::LineSeparator;
            ++m_length;
        } else {
            out += QChar::ParagraphSeparator;
            ++m_paragraph;
            m_inParagraph = 0;
            m_length = 0;
        }
    }
    m_first = false;
    if (!isLong) {
        out += line;
        m_length += line.size();
        ++m_inParagraph;
        return;
    }
    const std::vector<qsizetype> cuts = LongLineCuts(line);
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        out += line.sliced(from, cut - from);
        out += QChar::ParagraphSeparator;
        from = cut;
    }
    out += line.sliced(from);
    m_longLines.emplace_back(m_paragraph, int(cuts.size()) + 1);
    m_paragraph += int(cuts.size());
    m_inParagraph = m_group; // the next line starts a paragraph
}

std::vector<MadeParagraph> ParagraphsOf(QStringView paneText,
                                        const std::vector<std::pair<int, int>>& longLines) {
    std::vector<MadeParagraph> paragraphs;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= paneText.size(); ++i) {
        if (i < paneText.size() && paneText[i] != QChar::ParagraphSeparator)
            continue;
        paragraphs.push_back({paneText.sliced(start, i - start), false});
        start = i + 1;
    }
    for (const auto& [first, count] : longLines)
        for (int k = first; k < first + count - 1; ++k)
            paragraphs[size_t(k)].splitAfter = true;
    return paragraphs;
}

} // namespace pane
