// How the pane keeps its paragraphs short: a long file line is held as
// several paragraphs whose separators are marked as splits, not line breaks.
// Each paragraph records what the separator before it and the one after it
// are, so that either record survives when an edit merges two paragraphs
// (the document keeps the format of one of them only). After every edit the
// record of the untouched neighbour is taken as the truth.

#include "doc/CEditorView.h"

#include "doc/BlockTextCache.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QPlainTextDocumentLayout>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

constexpr int kSplitBefore = QTextFormat::UserProperty + 1;
constexpr int kSplitAfter = QTextFormat::UserProperty + 2;
// Above this many paragraphs a text is long enough to bring a scroll bar.
constexpr int kManyParagraphs = 1000;
// A document filled aside: whether it holds a cut long line.
constexpr char kHasSplits[] = "velmHasSplits";
// A document whose paragraphs were given several lines each.
constexpr char kHasInnerBreaks[] = "velmHasInnerBreaks";

bool SplitBefore(const QTextBlock& block) {
    return block.isValid() && block.blockFormat().boolProperty(kSplitBefore);
}
bool SplitAfter(const QTextBlock& block) {
    return block.isValid() && block.blockFormat().boolProperty(kSplitAfter);
}

QTextBlockFormat SplitFormat(bool before, bool after) {
    QTextBlockFormat format;
    if (before)
        format.setProperty(kSplitBefore, true);
    if (after)
        format.setProperty(kSplitAfter, true);
    return format;
}

void SetSplits(const QTextBlock& block, bool before, bool after) {
    if (SplitBefore(block) == before && SplitAfter(block) == after)
        return;
    QTextCursor(block).setBlockFormat(SplitFormat(before, after));
}

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Between a and b lies no cut: they are a surrogate pair or two raw bytes.
bool Inseparable(char16_t a, char16_t b) { return IsSurrogate(a) && IsLowSurrogate(b); }

bool BreaksAfter(char16_t c) { return c == u' ' || c == u'\t' || c == u'>'; }

// The length of the line break at `i` of text being inserted, or 0: what the
// document's own insertion takes for one.
int BreakAt(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    if (c == u'\r')
        return i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
    if (c == u'\n' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1)
        return 1;
    return 0;
}

// Calls onLine(start, end) for each line of `text`.
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

// One piece of inserted text: a run without separators and what follows it.
struct Piece {
    QStringView text;
    bool splitAfter = false; // a split follows (else a line break or the end)
};

// Whether `text` holds a line break, and a line longer than kMaxParagraphLength;
// its number of lines.
struct TextShape {
    bool hasBreak = false;
    bool longLine = false;
    qsizetype lines = 0;
};
TextShape ShapeOf(QStringView text) {
    TextShape shape;
    ForEachLine(text, [&](qsizetype start, qsizetype end) {
        shape.hasBreak = ++shape.lines > 1;
        shape.longLine = shape.longLine || end - start > CEditorView::kMaxParagraphLength;
    });
    return shape;
}

// Makes the pane's text of file lines, given in one or more parts: a long
// line cut into paragraphs, short lines gathered up to `group` to a
// paragraph, separated there by inner line breaks (U+2028).
class PaneTextMaker {
public:
    explicit PaneTextMaker(int group) : m_group(group) {}

    // Appends the pane text of `text` to `out`. With `more`, text follows
    // and `text` ends with a line break (or is empty): the break then
    // separates its last line from the next part's first.
    void Add(QStringView text, bool more, QString& out) {
        ForEachLine(text, [&](qsizetype start, qsizetype end) {
            if (!(more && start == text.size()))
                Line(text.sliced(start, end - start), out);
        });
    }

    // Each long line's first paragraph (counted from the first one made)
    // and its paragraph count, since the last TakeLongLines.
    std::vector<std::pair<int, int>> TakeLongLines() { return std::exchange(m_longLines, {}); }
    // The paragraphs made so far.
    int Paragraphs() const { return m_paragraph + 1; }

private:
    void Line(QStringView line, QString& out) {
        const bool isLong = line.size() > CEditorView::kMaxParagraphLength;
        if (!m_first) {
            if (!isLong && m_inParagraph < m_group &&
                m_length + 1 + line.size() <= CEditorView::kSplitLength) {
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

    const int m_group;
    bool m_first = true;
    int m_paragraph = 0;   // the paragraph being made
    int m_inParagraph = 0; // its lines
    qsizetype m_length = 0;
    std::vector<std::pair<int, int>> m_longLines;
};

// What a PaneTextMaker made, as the pieces that go into paragraphs of their own.
std::vector<Piece> PiecesOf(QStringView paneText, const std::vector<std::pair<int, int>>& longLines) {
    std::vector<Piece> pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= paneText.size(); ++i) {
        if (i < paneText.size() && paneText[i] != QChar::ParagraphSeparator)
            continue;
        pieces.push_back({paneText.sliced(start, i - start), false});
        start = i + 1;
    }
    for (const auto& [first, count] : longLines)
        for (int k = first; k < first + count - 1; ++k)
            pieces[size_t(k)].splitAfter = true;
    return pieces;
}

// Counts each paragraph from `block` to `end` (exclusive; invalid: to the
// last) that is not laid out as one screen line for each of its file lines
// (the layout counts one until it lays it out): the scroll bar then places
// the lines as they will be, as it does where each line is a paragraph.
void CountInnerLines(QTextDocument* doc, QTextBlock block, const QTextBlock& end = {}) {
    bool changed = false;
    for (; block.isValid() && block != end; block = block.next()) {
        if (block.layout() && block.layout()->lineCount() > 0)
            continue;
        const int lines = int(block.text().count(QChar::LineSeparator)) + 1;
        if (block.lineCount() != lines) {
            block.setLineCount(lines);
            changed = true;
        }
    }
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    if (changed && layout)
        emit layout->documentSizeChanged(layout->documentSize());
}

} // namespace

void CEditorView::CountInnerLines() {
    if (document()->property(kHasInnerBreaks).toBool())
        ::CountInnerLines(document(), document()->begin());
}

std::vector<qsizetype> LongLineCuts(QStringView line) {
    constexpr qsizetype kLength = CEditorView::kSplitLength;
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

const std::vector<int>& CEditorView::SplitPositions() const {
    static const std::vector<int> none;
    const_cast<CEditorView*>(this)->ApplyPendingRepairs();
    if (!m_mayHaveSplits)
        return none;
    if (!m_splitPositionsValid) {
        m_splitPositions.clear();
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
            if (SplitBefore(b))
                m_splitPositions.push_back(b.position() - 1);
        m_splitPositionsValid = true;
    }
    return m_splitPositions;
}

QString CEditorView::HandedOut(QString paneText, int paneStart) const {
    paneText.replace(QChar::LineSeparator, QChar::ParagraphSeparator); // copies only when found
    const std::vector<int>& splits = SplitPositions();
    auto it = std::lower_bound(splits.begin(), splits.end(), paneStart);
    const qsizetype end = paneStart + paneText.size();
    if (it == splits.end() || *it >= end)
        return paneText;
    QChar* data = paneText.data();
    qsizetype to = *it - paneStart;
    for (qsizetype from = to; from < paneText.size(); ++from) {
        if (it != splits.end() && *it == paneStart + from) {
            ++it;
            continue;
        }
        data[to++] = data[from];
    }
    paneText.truncate(to);
    return paneText;
}

qsizetype CEditorView::TextPosition(int panePosition) const {
    const std::vector<int>& splits = SplitPositions();
    return panePosition - (std::lower_bound(splits.begin(), splits.end(), panePosition) -
                           splits.begin());
}

int CEditorView::PanePosition(qsizetype textPosition) const {
    const std::vector<int>& splits = SplitPositions();
    // The i-th split separator stands at text position splits[i] - i.
    qsizetype low = 0, high = qsizetype(splits.size());
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (splits[mid] - mid < textPosition)
            low = mid + 1;
        else
            high = mid;
    }
    return int(textPosition + low);
}

QString CEditorView::GetWholeText() const { return HandedOut(document()->toRawText(), 0); }

QString CEditorView::GetSelectedRawText() const {
    const QTextCursor c = textCursor();
    return HandedOut(c.selectedText(), c.selectionStart());
}

bool CEditorView::ContinuesLine(const QTextBlock& block) { return SplitBefore(block); }

int CEditorView::GroupSize(qsizetype lines) {
    return lines < kGroupFrom ? 1 : int(std::min<qsizetype>(kMaxGroupLines, lines / 4096));
}

void CEditorView::MarkLongLines(QTextDocument* target,
                                const std::vector<std::pair<int, int>>& longLines) {
    QTextCursor c(target);
    c.beginEditBlock();
    for (const auto& [first, count] : longLines) {
        QTextBlock b = target->findBlockByNumber(first);
        for (int k = 0; k < count; ++k, b = b.next())
            SetSplits(b, k > 0, k + 1 < count);
    }
    c.endEditBlock();
}

void CEditorView::BeginNewText(bool splits) {
    m_repairing = true;
    m_checks.clear();
    m_mayHaveSplits = splits;
    m_splitPositionsValid = false;
}

bool CEditorView::ShowScrollBarFirst(bool manyParagraphs) {
    // A change of the pane's width lays out every paragraph anew, a second
    // or more for millions of lines: the scroll bar that a long text brings
    // is shown before the text comes, while the old one (short, or the bar
    // would show already) is in place.
    const bool first = manyParagraphs && verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
                       !verticalScrollBar()->isVisible();
    if (first)
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return first;
}

void CEditorView::SetWholeText(const QString& text) {
    const TextShape shape = ShapeOf(text);
    const int group = GroupSize(shape.lines);
    std::optional<QString> pane;
    std::vector<std::pair<int, int>> longLines; // first paragraph, paragraph count
    qsizetype paragraphs = shape.lines;
    if (group > 1 || shape.longLine) {
        PaneTextMaker maker(group);
        pane.emplace();
        pane->reserve(text.size() + text.size() / kSplitLength * 2 + 16);
        maker.Add(text, false, *pane);
        longLines = maker.TakeLongLines();
        paragraphs = maker.Paragraphs();
    }

    const bool showBarFirst = ShowScrollBarFirst(paragraphs > kManyParagraphs);

    BeginNewText(!longLines.empty());
    document()->setProperty(kHasInnerBreaks, group > 1);
    if (!pane) {
        setPlainText(text);
    } else {
        setPlainText(*pane);
        pane.reset();
        MarkLongLines(longLines);
        CountInnerLines();
    }
    m_repairing = false;
    document()->clearUndoRedoStacks();
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
    if (showBarFirst)
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded); // needed now: it stays
}

QStringList CEditorView::SlicesOf(QString text, qsizetype sliceLength) {
    if (text.size() <= sliceLength)
        return {std::move(text)};
    const QStringView all(text);
    QStringList slices;
    slices.reserve(all.size() / sliceLength + 2);
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = std::min(all.size(), start + sliceLength);
        if (end < all.size()) {
            qsizetype i = end - 1;
            while (i < all.size() && !BreakAt(all, i))
                ++i;
            end = i < all.size() ? i + BreakAt(all, i) : all.size();
        }
        slices.append(all.sliced(start, end - start).toString());
        start = end;
    }
    return slices;
}

// Appends slices to a document, one slice a step, each let go once it is in.
class CEditorView::SliceAppender {
public:
    SliceAppender(QTextDocument* target, CBlockTextCache* cache, QStringList slices)
        : m_target(target), m_cache(cache), m_slices(std::move(slices)),
          m_group(GroupOf(m_slices)), m_maker(m_group) {
        m_target->setProperty(kHasInnerBreaks, m_group > 1);
    }
    // Appends the next slice; false once all are in.
    bool Step();
    qsizetype Done() const { return m_done; }
    // A long line was cut.
    bool Splits() const { return m_splits; }

private:
    static int GroupOf(const QStringList& slices) {
        qsizetype lines = 1;
        for (const QString& slice : slices)
            ForEachLine(slice, [&](qsizetype, qsizetype) { ++lines; });
        return GroupSize(lines - qsizetype(slices.size()));
    }

    QTextDocument* m_target;
    CBlockTextCache* m_cache;
    QStringList m_slices;
    int m_group;
    PaneTextMaker m_maker;
    qsizetype m_next = 0;
    qsizetype m_done = 0;
    bool m_splits = false;
};

bool CEditorView::SliceAppender::Step() {
    if (m_next >= m_slices.size())
        return false;
    const bool last = m_next + 1 == m_slices.size();
    {
        // Released once it is in the document.
        const QString slice = std::exchange(m_slices[m_next++], QString());
        QString text;
        text.reserve(slice.size() + slice.size() / kSplitLength * 2 + 16);
        m_maker.Add(slice, !last, text);
        QTextCursor c(m_target);
        c.movePosition(QTextCursor::End);
        // The paragraphs the text opens take over the marks of the one
        // they start in; after the end of a long line they are no piece
        // of it.
        if (text.startsWith(QChar::ParagraphSeparator) &&
            (SplitBefore(c.block()) || SplitAfter(c.block()))) {
            c.insertBlock(QTextBlockFormat());
            text.remove(0, 1);
        }
        const QTextBlock first = c.block();
        if (m_cache)
            m_cache->ExpectAppend(text);
        c.insertText(text);
        if (m_cache)
            m_cache->ExpectAppend({});
        if (m_group > 1)
            ::CountInnerLines(m_target, first);
        m_done += slice.size();
    }
    const std::vector<std::pair<int, int>> longLines = m_maker.TakeLongLines();
    if (!longLines.empty()) {
        m_splits = true;
        MarkLongLines(m_target, longLines);
    }
    // Unmodified all along: nothing takes the half-filled pane for a change.
    m_target->setModified(false);
    if (last)
        m_slices.clear();
    return !last;
}

// Into the pane, emptied first; dropped before it is complete, it empties
// the pane again.
class CEditorView::FillIn : public CEditorView::SliceFill {
public:
    FillIn(CEditorView* view, QStringList slices) : m_view(view) {
        m_showBarFirst = view->ShowScrollBarFirst(true);
        view->BeginNewText(false);
        view->setPlainText(QString());
        view->document()->setUndoRedoEnabled(false);
        m_appender.emplace(view->document(), view->m_blockTexts.get(), std::move(slices));
        view->m_repairing = false;
    }
    ~FillIn() override {
        if (!m_view || m_finished)
            return;
        m_view->m_repairing = false;
        m_view->document()->setUndoRedoEnabled(true);
        m_view->SetWholeText(QString());
        RestoreBar();
    }
    bool Step() override {
        m_view->m_repairing = true;
        const bool more = m_appender->Step();
        m_view->m_mayHaveSplits = m_view->m_mayHaveSplits || m_appender->Splits();
        m_view->m_splitPositionsValid = false;
        m_view->m_repairing = false;
        return more;
    }
    qsizetype Done() const override { return m_appender->Done(); }
    std::unique_ptr<QTextDocument> Finish() override {
        m_finished = true;
        if (!m_view)
            return nullptr;
        m_view->document()->setUndoRedoEnabled(true);
        m_view->document()->clearUndoRedoStacks();
        m_view->document()->setModified(false);
        m_view->moveCursor(QTextCursor::Start);
        RestoreBar();
        return nullptr;
    }

private:
    void RestoreBar() {
        if (m_showBarFirst)
            m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }

    QPointer<CEditorView> m_view;
    std::optional<SliceAppender> m_appender;
    bool m_showBarFirst = false;
    bool m_finished = false;
};

// Into a document of its own, not shown.
class CEditorView::FillAsideOf : public CEditorView::SliceFill {
public:
    FillAsideOf(const CEditorView* view, QStringList slices)
        : m_filled(std::make_unique<QTextDocument>()) {
        m_filled->setUndoRedoEnabled(false);
        // What the pane set on its document, and the layout the pane needs,
        // before the text: set afterwards, each goes over every paragraph.
        const QTextDocument* shown = view->document();
        m_filled->setDefaultFont(shown->defaultFont());
        m_filled->setDefaultTextOption(shown->defaultTextOption());
        m_filled->setDocumentMargin(shown->documentMargin());
        auto* layout = new QPlainTextDocumentLayout(m_filled.get());
        m_filled->setDocumentLayout(layout);
        // The paragraph texts follow the filling, not all at once when it is shown.
        CBlockTextCache* cache =
            view->m_blockTexts ? new CBlockTextCache(m_filled.get(), m_filled.get()) : nullptr;
        m_appender.emplace(m_filled.get(), cache, std::move(slices));
    }
    bool Step() override { return m_appender->Step(); }
    qsizetype Done() const override { return m_appender->Done(); }
    std::unique_ptr<QTextDocument> Finish() override {
        m_filled->setProperty(kHasSplits, m_appender->Splits());
        m_appender.reset();
        return std::move(m_filled);
    }

private:
    std::unique_ptr<QTextDocument> m_filled;
    std::optional<SliceAppender> m_appender;
};

std::unique_ptr<CEditorView::SliceFill> CEditorView::StartFillIn(QStringList slices) {
    return std::make_unique<FillIn>(this, std::move(slices));
}

std::unique_ptr<CEditorView::SliceFill> CEditorView::StartFillAside(QStringList slices) const {
    return std::make_unique<FillAsideOf>(this, std::move(slices));
}

bool CEditorView::SliceFill::Run(const std::function<bool(qsizetype done)>& between) {
    while (Step())
        if (!between(Done()))
            return false;
    return true;
}

bool CEditorView::FillInSlices(QStringList& slices,
                               const std::function<bool(qsizetype done)>& between) {
    std::unique_ptr<SliceFill> fill = StartFillIn(std::exchange(slices, {}));
    if (!fill->Run(between))
        return false; // the pane is emptied as the fill goes
    fill->Finish();
    return true;
}

std::unique_ptr<QTextDocument> CEditorView::FillAside(
    QStringList& slices, const std::function<bool(qsizetype done)>& between) {
    std::unique_ptr<SliceFill> fill = StartFillAside(std::exchange(slices, {}));
    return fill->Run(between) ? fill->Finish() : nullptr;
}

void CEditorView::AdoptDocument(std::unique_ptr<QTextDocument> filled) {
    QTextDocument* old = document();
    filled->setUndoRedoEnabled(true);
    filled->clearUndoRedoStacks();
    filled->setModified(false);

    const bool showBarFirst = ShowScrollBarFirst(filled->blockCount() > kManyParagraphs);
    BeginNewText(filled->property(kHasSplits).toBool());
    // The widget deletes the document it made itself; one adopted earlier
    // is deleted here.
    const QPointer<QTextDocument> oldOne = old;
    const bool adoptedEarlier = old->parent() == this;
    QTextDocument* adopted = filled.release();
    adopted->setParent(this);
    if (m_blockTexts) {
        CBlockTextCache* aside =
            adopted->findChild<CBlockTextCache*>(QString(), Qt::FindDirectChildrenOnly);
        if (aside)
            m_blockTexts->TakeOver(*aside);
        else
            m_blockTexts->SetDocument(adopted);
        delete aside;
    }
    setDocument(adopted);
    CountInnerLines(); // showing it laid it out anew
    connect(adopted, &QTextDocument::contentsChange, this, &CEditorView::OnContentsChange);
    if (adoptedEarlier && oldOne)
        oldOne->deleteLater();
    m_repairing = false;
    moveCursor(QTextCursor::Start);
    if (showBarFirst)
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    emit documentAdopted();
    emit commandStateChanged(); // undo and the like, of the new document
}

void CEditorView::InsertText(QTextCursor& cursor, const QString& text) {
    // Paragraphs the text made too long are repaired in the same step.
    const auto repaired = qScopeGuard([this] { ApplyPendingRepairs(); });
    const TextShape shape = ShapeOf(text);
    const int group = GroupSize(shape.lines);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QTextBlock block = cursor.block();
    const bool amidSplits = SplitBefore(block) || SplitAfter(block);
    if (group == 1 && !shape.longLine && (!shape.hasBreak || !amidSplits)) {
        // New paragraphs take over the format of this one: no split marks.
        cursor.insertText(text);
        cursor.endEditBlock();
        return;
    }
    PaneTextMaker maker(group);
    QString pane;
    pane.reserve(text.size() + text.size() / kSplitLength * 2 + 16);
    maker.Add(text, false, pane);
    const std::vector<std::pair<int, int>> longLines = maker.TakeLongLines();
    if (group > 1)
        document()->setProperty(kHasInnerBreaks, true);
    if (longLines.empty() && !amidSplits) {
        const int firstPosition = cursor.position();
        cursor.insertText(pane);
        cursor.endEditBlock();
        ::CountInnerLines(document(), document()->findBlock(firstPosition), cursor.block().next());
        return;
    }
    const std::vector<Piece> pieces = PiecesOf(pane, longLines);
    m_mayHaveSplits = true;
    const bool tailSplit = SplitAfter(block);
    const int firstPosition = cursor.position();
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0) {
            const bool after = k + 1 < pieces.size() ? pieces[k].splitAfter : tailSplit;
            cursor.insertBlock(SplitFormat(pieces[k - 1].splitAfter, after));
        }
        if (!pieces[k].text.isEmpty())
            cursor.insertText(pieces[k].text.toString());
    }
    const QTextBlock first = document()->findBlock(firstPosition);
    SetSplits(first, SplitBefore(first), pieces.size() > 1 ? pieces[0].splitAfter : tailSplit);
    cursor.endEditBlock();
    if (group > 1)
        ::CountInnerLines(document(), document()->findBlock(firstPosition), cursor.block().next());
}

void CEditorView::OnContentsChange(int position, int removed, int added) {
    m_splitPositionsValid = false;
    ShiftLineMarks(position, removed, added);
    if (m_repairing)
        return;
    QTextDocument* doc = document();
    const QTextBlock first = doc->findBlock(position);
    const QTextBlock last = doc->findBlock(std::min(position + added, doc->characterCount() - 1));
    if (!first.isValid() || !last.isValid())
        return;
    if (!m_mayHaveSplits && first.length() <= kMaxParagraphLength &&
        last.length() <= kMaxParagraphLength)
        return;
    // The records of the untouched neighbours are the truth, or what an
    // earlier check not yet applied found for them. Checks inside the
    // changed range are out of date.
    const int from = first.blockNumber(), to = last.blockNumber();
    std::optional<bool> before, after;
    std::vector<SeparatorCheck> kept;
    for (SeparatorCheck& check : m_checks) {
        const int n = check.at.block().blockNumber();
        if (n == from - 1 && !check.before)
            before = check.split;
        if (n == to + 1 && check.before)
            after = check.split;
        if (n < from || n > to)
            kept.push_back(std::move(check));
    }
    m_checks = std::move(kept);
    m_checks.push_back({QTextCursor(first), true, before.value_or(SplitAfter(first.previous()))});
    m_checks.push_back({QTextCursor(last), false, after.value_or(SplitBefore(last.next()))});
    if (!m_repairPosted) {
        m_repairPosted = true;
        QTimer::singleShot(0, this, [this] {
            m_repairPosted = false;
            ApplyPendingRepairs();
        });
    }
}

void CEditorView::InsertLineBreak() {
    // A line break, never a split: the new paragraph takes over only the
    // record of the separator after it.
    QTextCursor c = textCursor();
    c.beginEditBlock();
    c.removeSelectedText();
    c.insertBlock(SplitFormat(false, SplitAfter(c.block())));
    const QTextBlock previous = c.block().previous();
    SetSplits(previous, SplitBefore(previous), false);
    c.endEditBlock();
    setTextCursor(c);
    ensureCursorVisible();
}

void CEditorView::ApplyPendingRepairs() {
    if (m_checks.empty() || m_repairing)
        return;
    auto needsRepair = [](const SeparatorCheck& check) {
        const QTextBlock b = check.at.block();
        const bool before = SplitBefore(b), after = SplitAfter(b);
        return (check.before ? before : after) != check.split ||
               b.length() - 1 > kMaxParagraphLength || (b.length() == 1 && (before || after));
    };
    if (std::none_of(m_checks.begin(), m_checks.end(), needsRepair)) {
        m_checks.clear();
        return;
    }
    // Part of the edit that made it necessary: one undo step with it.
    QTextDocument* doc = document();
    const bool undoEnabled = doc->isUndoRedoEnabled();
    const bool join = undoEnabled && doc->isUndoAvailable();
    const bool modified = doc->isModified();
    if (undoEnabled && !join)
        doc->setUndoRedoEnabled(false);
    m_repairing = true;
    QTextCursor c(doc);
    if (join)
        c.joinPreviousEditBlock();
    else
        c.beginEditBlock();
    RepairParagraphs();
    c.endEditBlock();
    m_repairing = false;
    m_splitPositionsValid = false;
    if (undoEnabled && !join) {
        doc->setUndoRedoEnabled(true);
        doc->setModified(modified);
    }
}

void CEditorView::RepairParagraphs() {
    std::vector<SeparatorCheck> checks = std::move(m_checks);
    m_checks.clear();
    for (const SeparatorCheck& check : checks) {
        const QTextBlock b = check.at.block();
        if (check.before)
            SetSplits(b, check.split, SplitAfter(b));
        else
            SetSplits(b, SplitBefore(b), check.split);
    }
    for (const SeparatorCheck& check : checks) {
        QTextBlock b = check.at.block();
        const bool before = SplitBefore(b) && b.previous().isValid();
        const bool after = SplitAfter(b) && b.next().isValid();
        if (b.length() == 1 && (before || after)) {
            // An emptied piece of a split line goes: merged into a neighbour
            // across a split separator.
            const QTextBlock keep = before ? b.previous() : b;
            const QTextBlock next = keep.next();
            const bool keepBefore = SplitBefore(keep), nextAfter = SplitAfter(next);
            QTextCursor c(document());
            c.setPosition(keep.position() + keep.length() - 1);
            c.deleteChar();
            SetSplits(c.block(), keepBefore, nextAfter);
            b = c.block();
        }
        if (b.length() - 1 <= kMaxParagraphLength)
            continue;
        if (!b.text().contains(QChar::LineSeparator)) {
            SplitParagraph(b);
            continue;
        }
        // Its lines go into paragraphs of their own; a line still too long
        // is cut. From the last one: cutting moves none before it.
        std::vector<int> starts;
        const int start = b.position();
        const QTextBlock end = PartAtInnerBreaks(b).next();
        for (QTextBlock part = document()->findBlock(start); part != end; part = part.next())
            starts.push_back(part.position());
        for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
            const QTextBlock part = document()->findBlock(*it);
            if (part.length() - 1 > kMaxParagraphLength)
                SplitParagraph(part);
        }
    }
}

QTextBlock CEditorView::PartAtInnerBreaks(const QTextBlock& block) {
    const QString text = block.text();
    const bool before = SplitBefore(block), after = SplitAfter(block);
    const int start = block.position();
    QTextCursor c(document());
    int parts = 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text[i] != QChar::LineSeparator)
            continue;
        c.setPosition(start + int(i));
        c.setPosition(start + int(i) + 1, QTextCursor::KeepAnchor);
        c.insertBlock();
        ++parts;
    }
    QTextBlock b = document()->findBlock(start);
    for (int k = 0; k < parts; ++k, b = b.next())
        SetSplits(b, k == 0 && before, k + 1 == parts && after);
    return document()->findBlock(start + int(text.size()));
}

void CEditorView::SplitParagraph(const QTextBlock& block) {
    const std::vector<qsizetype> cuts = LongLineCuts(block.text());
    const bool before = SplitBefore(block), after = SplitAfter(block);
    const int start = block.position();
    m_mayHaveSplits = true;
    QTextCursor c(document());
    for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
        c.setPosition(start + int(*it));
        c.insertBlock();
    }
    QTextBlock b = document()->findBlock(start);
    for (size_t k = 0; k <= cuts.size(); ++k, b = b.next())
        SetSplits(b, k == 0 ? before : true, k == cuts.size() ? after : true);
}

void CEditorView::StepOverSplit(const QKeyEvent* event) {
    using K = QKeySequence;
    const bool selecting = event->matches(K::SelectNextChar) ||
                           event->matches(K::SelectPreviousChar) ||
                           event->matches(K::SelectNextWord) || event->matches(K::SelectPreviousWord);
    // A typed character in overwrite mode replaces the one after the split.
    const bool overwriting = overwriteMode() && !event->text().isEmpty() && event->text()[0].isPrint();
    const bool forward = event->matches(K::MoveToNextChar) || event->matches(K::SelectNextChar) ||
                         event->matches(K::MoveToNextWord) || event->matches(K::SelectNextWord) ||
                         event->matches(K::Delete) || event->matches(K::DeleteEndOfWord) ||
                         overwriting;
    const bool backward = !forward && (event->matches(K::MoveToPreviousChar) ||
                                       event->matches(K::SelectPreviousChar) ||
                                       event->matches(K::MoveToPreviousWord) ||
                                       event->matches(K::SelectPreviousWord) ||
                                       event->matches(K::DeleteStartOfWord) ||
                                       (event->key() == Qt::Key_Backspace &&
                                        !(event->modifiers() & ~Qt::ShiftModifier)));
    if (!forward && !backward)
        return;
    QTextCursor c = textCursor();
    if (c.hasSelection() && !selecting)
        return; // the selection goes, or it collapses to one of its ends
    const auto mode = selecting ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    bool moved = false;
    if (forward) {
        while (c.atBlockEnd() && SplitBefore(c.block().next()))
            moved = c.movePosition(QTextCursor::NextCharacter, mode);
    } else {
        while (c.atBlockStart() && SplitBefore(c.block()))
            moved = c.movePosition(QTextCursor::PreviousCharacter, mode);
    }
    if (moved)
        setTextCursor(c);
}

void CEditorView::SelectFileLine(const QTextCursor& at) {
    // Back to a line break: an inner one, or a separator that is no split.
    QTextBlock block = at.block();
    qsizetype inner = at.positionInBlock() > 0
                          ? block.text().lastIndexOf(QChar::LineSeparator, at.positionInBlock() - 1)
                          : -1;
    while (inner < 0 && SplitBefore(block) && block.previous().isValid()) {
        block = block.previous();
        inner = block.text().lastIndexOf(QChar::LineSeparator);
    }
    const int start = block.position() + int(inner) + 1;
    // On to the next one, which belongs to the line.
    block = at.block();
    inner = block.text().indexOf(QChar::LineSeparator, at.positionInBlock());
    while (inner < 0 && SplitBefore(block.next())) {
        block = block.next();
        inner = block.text().indexOf(QChar::LineSeparator);
    }
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(block.position() + (inner < 0 ? block.length() - 1 : int(inner)),
                  QTextCursor::KeepAnchor);
    if (!c.atEnd())
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    setTextCursor(c);
}


bool CEditorView::WordKeyAtInnerBreak(const QKeyEvent* event) {
    using K = QKeySequence;
    struct WordKey {
        K::StandardKey key;
        QTextCursor::MoveOperation op;
        bool select;
        bool remove;
    };
    static constexpr WordKey kKeys[] = {
        {K::MoveToNextWord, QTextCursor::WordRight, false, false},
        {K::MoveToPreviousWord, QTextCursor::WordLeft, false, false},
        {K::SelectNextWord, QTextCursor::WordRight, true, false},
        {K::SelectPreviousWord, QTextCursor::WordLeft, true, false},
        {K::DeleteEndOfWord, QTextCursor::NextWord, true, true},
        {K::DeleteStartOfWord, QTextCursor::PreviousWord, true, true},
    };
    const auto key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                  [&](const WordKey& k) { return event->matches(k.key); });
    QTextCursor c = textCursor();
    if (key == std::end(kKeys) || (key->remove && c.hasSelection()))
        return false;
    // Where the widget would go, and the first inner line break on the way.
    QTextCursor moved = c;
    moved.movePosition(key->op);
    const int from = c.position(), to = moved.position();
    const QTextBlock block = c.block();
    const QString text = block.text();
    const int offset = c.positionInBlock(), start = block.position();
    int stop = -1;
    if (to > from) {
        const qsizetype i = text.indexOf(QChar::LineSeparator, offset);
        if (i >= 0 && start + i < to)
            stop = i == offset ? from + 1 : start + int(i);
    } else if (to < from && offset > 0) {
        const qsizetype i = text.lastIndexOf(QChar::LineSeparator, offset - 1);
        if (i >= 0 && start + i >= to)
            stop = i + 1 == offset ? from - 1 : start + int(i) + 1;
    }
    if (stop < 0)
        return false;
    c.setPosition(stop, key->select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    if (key->remove)
        c.removeSelectedText();
    setTextCursor(c);
    ensureCursorVisible();
    if (key->select && !key->remove)
        OfferSelection();
    return true;
}

CEditorView::OverwriteGuard CEditorView::KeepInnerBreak() {
    const QTextCursor c = textCursor();
    const bool off = overwriteMode() && !c.hasSelection() &&
                     document()->characterAt(c.position()) == QChar::LineSeparator;
    if (off)
        setOverwriteMode(false);
    return OverwriteGuard(off ? this : nullptr);
}
