// How the pane keeps its paragraphs short: a long file line is held as
// several paragraphs whose separators are marked as splits, not line breaks.
// Each paragraph records what the separator before it and the one after it
// are, so that either record survives when an edit merges two paragraphs
// (the document keeps the format of one of them only). After every edit the
// record of the untouched neighbour is taken as the truth.

#include "pane/PaneText.h"

#include "pane/BlockTextCache.h"
#include "pane/PaneTextMaker.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

constexpr int kSplitBefore = QTextFormat::UserProperty + 1;
constexpr int kSplitAfter = QTextFormat::UserProperty + 2;

} // namespace

bool CPaneText::SplitBefore(const QTextBlock& block) {
    return block.isValid() && block.blockFormat().boolProperty(kSplitBefore);
}

bool CPaneText::SplitAfter(const QTextBlock& block) {
    return block.isValid() && block.blockFormat().boolProperty(kSplitAfter);
}

QTextBlockFormat CPaneText::SplitFormat(bool before, bool after) {
    QTextBlockFormat format;
    if (before)
        format.setProperty(kSplitBefore, true);
    if (after)
        format.setProperty(kSplitAfter, true);
    return format;
}

void CPaneText::SetSplits(const QTextBlock& block, bool before, bool after) {
    if (SplitBefore(block) == before && SplitAfter(block) == after)
        return;
    QTextCursor(block).setBlockFormat(SplitFormat(before, after));
}

CPaneText::CPaneText(QTextDocument* document, QObject* parent) : QObject(parent), m_document(nullptr) {
    Follow(document);
}

CPaneText::~CPaneText() = default;

void CPaneText::Follow(QTextDocument* document) {
    if (m_document)
        disconnect(m_document, nullptr, this, nullptr);
    m_document = document;
    connect(document, &QTextDocument::contentsChange, this, &CPaneText::OnContentsChange);
    // The end of an edit, its edit blocks closed: the one place that settles.
    connect(document, &QTextDocument::contentsChanged, this, &CPaneText::Settle);
}

CBlockTextCache& CPaneText::BlockTexts() {
    if (!m_blockTexts)
        m_blockTexts = std::make_unique<CBlockTextCache>(m_document);
    return *m_blockTexts;
}

io::ParagraphText CPaneText::Paragraphs(bool checked) {
    io::ParagraphText text;
    text.splits = SplitPositions();
    text.paragraphs = checked ? BlockTexts().CheckedBlocks() : BlockTexts().Blocks();
    return text;
}

const std::vector<int>& CPaneText::SplitPositions() const {
    static const std::vector<int> none;
    if (!m_mayHaveSplits)
        return none;
    if (!m_splitPositions) {
        std::vector<int> positions;
        for (QTextBlock b = m_document->begin(); b.isValid(); b = b.next())
            if (SplitBefore(b))
                positions.push_back(b.position() - 1);
        m_splitPositions = std::move(positions);
    }
    return *m_splitPositions;
}

QString CPaneText::HandedOut(QString paneText, int paneStart) const {
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

QString CPaneText::WholeText() const { return HandedOut(m_document->toRawText(), 0); }

qsizetype CPaneText::TextPosition(int panePosition) const {
    const std::vector<int>& splits = SplitPositions();
    return panePosition - (std::lower_bound(splits.begin(), splits.end(), panePosition) -
                           splits.begin());
}

int CPaneText::PanePosition(qsizetype textPosition) const {
    const std::vector<int>& splits = SplitPositions();
    // The i-th split stands at text position splits[i] - i.
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

std::pair<int, int> CPaneText::FileLineAt(const QTextCursor& at) const {
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
    // On to the next one, which ends the line.
    block = at.block();
    inner = block.text().indexOf(QChar::LineSeparator, at.positionInBlock());
    while (inner < 0 && SplitBefore(block.next())) {
        block = block.next();
        inner = block.text().indexOf(QChar::LineSeparator);
    }
    return {start, block.position() + (inner < 0 ? block.length() - 1 : int(inner))};
}

void CPaneText::InsertText(QTextCursor& cursor, const QString& text) {
    const pane::TextShape shape = pane::ShapeOf(text);
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
    pane::PaneTextMaker maker(group);
    QString paneText;
    paneText.reserve(text.size() + text.size() / kSplitLength * 2 + 16);
    maker.Add(text, false, paneText);
    const std::vector<std::pair<int, int>> longLines = maker.TakeLongLines();
    if (group > 1)
        m_document->setProperty(kHasInnerBreaks, true);
    const int firstPosition = cursor.position();
    if (longLines.empty() && !amidSplits) {
        cursor.insertText(paneText);
    } else {
        const std::vector<pane::MadeParagraph> paragraphs = pane::ParagraphsOf(paneText, longLines);
        m_mayHaveSplits = true;
        const bool tailSplit = SplitAfter(block);
        for (size_t k = 0; k < paragraphs.size(); ++k) {
            if (k > 0) {
                const bool after = k + 1 < paragraphs.size() ? paragraphs[k].splitAfter : tailSplit;
                cursor.insertBlock(SplitFormat(paragraphs[k - 1].splitAfter, after));
            }
            if (!paragraphs[k].text.isEmpty())
                cursor.insertText(paragraphs[k].text.toString());
        }
        const QTextBlock first = m_document->findBlock(firstPosition);
        SetSplits(first, SplitBefore(first),
                  paragraphs.size() > 1 ? paragraphs[0].splitAfter : tailSplit);
    }
    cursor.endEditBlock(); // settles the text
    if (group > 1)
        CountInnerLines(m_document, m_document->findBlock(firstPosition), cursor.block().next());
}

void CPaneText::InsertLineBreak(QTextCursor& cursor) {
    // The new paragraph takes over only the record of the separator after it.
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.insertBlock(SplitFormat(false, SplitAfter(cursor.block())));
    const QTextBlock previous = cursor.block().previous();
    SetSplits(previous, SplitBefore(previous), false);
    cursor.endEditBlock();
}

void CPaneText::OnContentsChange(int position, int removed, int added) {
    Q_UNUSED(removed);
    m_splitPositions.reset();
    if (m_changing)
        return;
    const QTextBlock first = m_document->findBlock(position);
    const QTextBlock last =
        m_document->findBlock(std::min(position + added, m_document->characterCount() - 1));
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
}

void CPaneText::Settle() {
    if (m_checks.empty() || m_changing)
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
    const bool undoEnabled = m_document->isUndoRedoEnabled();
    const bool join = undoEnabled && m_document->isUndoAvailable();
    const bool modified = m_document->isModified();
    if (undoEnabled && !join)
        m_document->setUndoRedoEnabled(false);
    m_changing = true;
    QTextCursor c(m_document);
    if (join)
        c.joinPreviousEditBlock();
    else
        c.beginEditBlock();
    RepairParagraphs();
    c.endEditBlock();
    m_changing = false;
    m_splitPositions.reset();
    if (undoEnabled && !join) {
        m_document->setUndoRedoEnabled(true);
        m_document->setModified(modified);
    }
}

void CPaneText::RepairParagraphs() {
    const std::vector<SeparatorCheck> checks = std::exchange(m_checks, {});
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
            // An emptied part of a long line goes: merged into a neighbour
            // across a split.
            const QTextBlock keep = before ? b.previous() : b;
            const QTextBlock next = keep.next();
            const bool keepBefore = SplitBefore(keep), nextAfter = SplitAfter(next);
            QTextCursor c(m_document);
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
        for (QTextBlock part = m_document->findBlock(start); part != end; part = part.next())
            starts.push_back(part.position());
        for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
            const QTextBlock part = m_document->findBlock(*it);
            if (part.length() - 1 > kMaxParagraphLength)
                SplitParagraph(part);
        }
    }
}

QTextBlock CPaneText::PartAtInnerBreaks(const QTextBlock& block) {
    const QString text = block.text();
    const bool before = SplitBefore(block), after = SplitAfter(block);
    const int start = block.position();
    QTextCursor c(m_document);
    int parts = 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text[i] != QChar::LineSeparator)
            continue;
        c.setPosition(start + int(i));
        c.setPosition(start + int(i) + 1, QTextCursor::KeepAnchor);
        c.insertBlock();
        ++parts;
    }
    QTextBlock b = m_document->findBlock(start);
    for (int k = 0; k < parts; ++k, b = b.next())
        SetSplits(b, k == 0 && before, k + 1 == parts && after);
    return m_document->findBlock(start + int(text.size()));
}

void CPaneText::SplitParagraph(const QTextBlock& block) {
    const std::vector<qsizetype> cuts = LongLineCuts(block.text());
    const bool before = SplitBefore(block), after = SplitAfter(block);
    const int start = block.position();
    m_mayHaveSplits = true;
    QTextCursor c(m_document);
    for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
        c.setPosition(start + int(*it));
        c.insertBlock();
    }
    QTextBlock b = m_document->findBlock(start);
    for (size_t k = 0; k <= cuts.size(); ++k, b = b.next())
        SetSplits(b, k == 0 ? before : true, k == cuts.size() ? after : true);
}
