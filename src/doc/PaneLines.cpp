// How the pane keeps its paragraphs short: a long file line is held as
// several paragraphs whose separators are marked as splits, not line breaks.
// Each paragraph records what the separator before it and the one after it
// are, so that either record survives when an edit merges two paragraphs
// (the document keeps the format of one of them only). After every edit the
// record of the untouched neighbour is taken as the truth.

#include "doc/CEditorView.h"

#include "doc/BlockTextCache.h"

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

// One piece of inserted text: a run without breaks and what follows it.
struct Piece {
    QStringView text;
    bool splitAfter = false; // a split follows (else a line break or the end)
};

// Whether `text` holds a line break, and a line longer than kMaxParagraphLength.
std::pair<bool, bool> ShapeOf(QStringView text) {
    bool hasBreak = false, longLine = false;
    qsizetype lines = 0;
    ForEachLine(text, [&](qsizetype start, qsizetype end) {
        hasBreak = ++lines > 1;
        longLine = longLine || end - start > CEditorView::kMaxParagraphLength;
    });
    return {hasBreak, longLine};
}

// `text` cut at its line breaks and inside its long lines.
std::vector<Piece> PiecesOf(QStringView text) {
    std::vector<Piece> pieces;
    ForEachLine(text, [&](qsizetype start, qsizetype end) {
        const QStringView line = text.sliced(start, end - start);
        qsizetype from = 0;
        if (line.size() > CEditorView::kMaxParagraphLength) {
            for (const qsizetype cut : LongLineCuts(line)) {
                pieces.push_back({line.sliced(from, cut - from), true});
                from = cut;
            }
        }
        pieces.push_back({line.sliced(from), false});
    });
    return pieces;
}

} // namespace

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

QString CEditorView::WithoutSplits(QString paneText, int paneStart) const {
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

QString CEditorView::GetWholeText() const { return WithoutSplits(document()->toRawText(), 0); }

QString CEditorView::GetSelectedRawText() const {
    const QTextCursor c = textCursor();
    return WithoutSplits(c.selectedText(), c.selectionStart());
}

namespace {

// The pane's text for `text`: long lines cut into paragraphs. `longLines`
// gets each long line's first paragraph (counted from `paragraph`) and its
// paragraph count; `paragraph` is advanced past the text's paragraphs. Gives
// nothing when no line is long: the text goes in as it is.
std::optional<QString> PaneTextOf(QStringView all, int& paragraph,
                                  std::vector<std::pair<int, int>>& longLines) {
    std::optional<QString> pane;
    qsizetype copied = 0;
    ForEachLine(all, [&](qsizetype lineStart, qsizetype end) {
        if (end - lineStart > CEditorView::kMaxParagraphLength) {
            const QStringView line = all.sliced(lineStart, end - lineStart);
            const std::vector<qsizetype> cuts = LongLineCuts(line);
            if (!pane) {
                pane.emplace();
                pane->reserve(all.size() + all.size() / CEditorView::kSplitLength * 2 + 16);
            }
            *pane += all.sliced(copied, lineStart - copied);
            qsizetype from = 0;
            for (const qsizetype cut : cuts) {
                *pane += line.sliced(from, cut - from);
                *pane += QChar::ParagraphSeparator;
                from = cut;
            }
            *pane += line.sliced(from);
            copied = end;
            longLines.emplace_back(paragraph, int(cuts.size()) + 1);
            paragraph += int(cuts.size());
        }
        ++paragraph;
    });
    if (pane)
        *pane += all.sliced(copied);
    return pane;
}

} // namespace

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
    std::vector<std::pair<int, int>> longLines; // first paragraph, paragraph count
    int paragraph = 0;
    std::optional<QString> pane = PaneTextOf(text, paragraph, longLines);

    const bool showBarFirst = ShowScrollBarFirst(paragraph > kManyParagraphs);

    BeginNewText(!longLines.empty());
    if (!pane) {
        setPlainText(text);
    } else {
        setPlainText(*pane);
        pane.reset();
        MarkLongLines(longLines);
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

bool CEditorView::AppendSlices(QTextDocument* target, CBlockTextCache* cache, QStringList& slices,
                               bool& splits, const std::function<bool(qsizetype done)>& between) {
    int paragraph = 0;
    qsizetype done = 0;
    for (qsizetype k = 0; k < slices.size(); ++k) {
        const bool last = k + 1 == slices.size();
        std::vector<std::pair<int, int>> longLines;
        {
            // Released once it is in the document.
            const QString slice = std::exchange(slices[k], QString());
            std::optional<QString> pane = PaneTextOf(slice, paragraph, longLines);
            // The slice's last line break opens the paragraph the next one fills.
            if (!last)
                --paragraph;
            const QString& text = pane ? *pane : slice;
            QTextCursor c(target);
            c.movePosition(QTextCursor::End);
            if (cache)
                cache->ExpectAppend(text);
            c.insertText(text);
            if (cache)
                cache->ExpectAppend({});
            done += slice.size();
        }
        if (!longLines.empty()) {
            splits = true;
            MarkLongLines(target, longLines);
        }
        // Unmodified all along: nothing takes the half-filled pane for a change.
        target->setModified(false);
        if (!last && !between(done)) {
            slices.clear();
            return false;
        }
    }
    slices.clear();
    return true;
}

bool CEditorView::FillInSlices(QStringList& slices,
                               const std::function<bool(qsizetype done)>& between) {
    const bool showBarFirst = ShowScrollBarFirst(true);
    const auto restoreBar = qScopeGuard([&] {
        if (showBarFirst)
            setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    });

    BeginNewText(false);
    setPlainText(QString());
    document()->setUndoRedoEnabled(false);
    const bool filled = AppendSlices(document(), m_blockTexts.get(), slices, m_mayHaveSplits,
                                     [&](qsizetype done) {
        m_splitPositionsValid = false;
        m_repairing = false;
        const bool goOn = between(done);
        m_repairing = true;
        return goOn;
    });
    m_splitPositionsValid = false;
    m_repairing = false;
    document()->setUndoRedoEnabled(true);
    if (!filled) {
        SetWholeText(QString());
        return false;
    }
    document()->clearUndoRedoStacks();
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
    return true;
}

std::unique_ptr<QTextDocument> CEditorView::FillAside(
    QStringList& slices, const std::function<bool(qsizetype done)>& between) {
    auto filled = std::make_unique<QTextDocument>();
    filled->setUndoRedoEnabled(false);
    // What the pane set on its document, and the layout the pane needs,
    // before the text: set afterwards, each goes over every paragraph.
    const QTextDocument* shown = document();
    filled->setDefaultFont(shown->defaultFont());
    filled->setDefaultTextOption(shown->defaultTextOption());
    filled->setDocumentMargin(shown->documentMargin());
    auto* layout = new QPlainTextDocumentLayout(filled.get());
    filled->setDocumentLayout(layout);
    // The paragraph texts follow the filling, not all at once when it is shown.
    CBlockTextCache* cache = m_blockTexts ? new CBlockTextCache(filled.get(), filled.get()) : nullptr;
    bool splits = false;
    if (!AppendSlices(filled.get(), cache, slices, splits, between))
        return nullptr;
    filled->setProperty(kHasSplits, splits);
    return filled;
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
    const auto [hasBreak, longLine] = ShapeOf(text);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QTextBlock block = cursor.block();
    if (!longLine && (!hasBreak || (!SplitBefore(block) && !SplitAfter(block)))) {
        // New paragraphs take over the format of this one: no split marks.
        cursor.insertText(text);
        cursor.endEditBlock();
        return;
    }
    const std::vector<Piece> pieces = PiecesOf(text);
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
}

void CEditorView::OnContentsChange(int position, int /*removed*/, int added) {
    m_splitPositionsValid = false;
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
        if (b.length() - 1 > kMaxParagraphLength)
            SplitParagraph(b);
    }
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
    QTextBlock first = at.block();
    while (SplitBefore(first) && first.previous().isValid())
        first = first.previous();
    QTextBlock last = at.block();
    while (SplitBefore(last.next()))
        last = last.next();
    QTextCursor c(document());
    c.setPosition(first.position());
    c.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    if (!c.atEnd())
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

