// A new text comes into the pane's document: at once, a slice at a time, or
// into a document of its own that is shown when it is complete.

#include "pane/PaneText.h"

#include "pane/BlockTextCache.h"
#include "pane/PaneTextMaker.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <optional>

void CPaneText::CountInnerLines(QTextDocument* document, QTextBlock block, const QTextBlock& end) {
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
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    if (changed && layout)
        emit layout->documentSizeChanged(layout->documentSize());
}

void CPaneText::CountInnerLines() {
    if (m_document->property(kHasInnerBreaks).toBool())
        CountInnerLines(m_document, m_document->begin());
}

void CPaneText::MarkLongLines(QTextDocument* target,
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

void CPaneText::BeginNewText(bool splits) {
    m_changing = true;
    m_checks.clear();
    m_mayHaveSplits = splits;
    m_splitPositions.reset();
}

void CPaneText::EndNewText() {
    m_changing = false;
    m_splitPositions.reset();
}

void CPaneText::SetWholeText(
    const QString& text,
    const std::function<void(const QString& paneText, qsizetype paragraphs)>& show) {
    const pane::TextShape shape = pane::ShapeOf(text);
    const int group = GroupSize(shape.lines);
    std::optional<QString> paneText;
    std::vector<std::pair<int, int>> longLines; // first paragraph, paragraph count
    qsizetype paragraphs = shape.lines;
    if (group > 1 || shape.longLine) {
        pane::PaneTextMaker maker(group);
        paneText.emplace();
        paneText->reserve(text.size() + text.size() / kSplitLength * 2 + 16);
        maker.Add(text, false, *paneText);
        longLines = maker.TakeLongLines();
        paragraphs = maker.Paragraphs();
    }
    BeginNewText(!longLines.empty());
    m_document->setProperty(kHasInnerBreaks, group > 1);
    if (!paneText) {
        show(text, paragraphs);
    } else {
        show(*paneText, paragraphs);
        paneText.reset();
        MarkLongLines(m_document, longLines);
        CountInnerLines();
    }
    EndNewText();
}

QStringList CPaneText::SlicesOf(QString text, qsizetype sliceLength) {
    if (text.size() <= sliceLength)
        return {std::move(text)};
    const QStringView all(text);
    QStringList slices;
    slices.reserve(all.size() / sliceLength + 2);
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = std::min(all.size(), start + sliceLength);
        if (end < all.size()) {
            qsizetype i = end - 1;
            while (i < all.size() && !pane::BreakAt(all, i))
                ++i;
            end = i < all.size() ? i + pane::BreakAt(all, i) : all.size();
        }
        slices.append(all.sliced(start, end - start).toString());
        start = end;
    }
    return slices;
}

bool CPaneText::AppendSlices(QTextDocument* target, CBlockTextCache* cache, QStringList& slices,
                             bool& splits, const std::function<bool(qsizetype done)>& between) {
    qsizetype lines = 1;
    for (const QString& slice : slices)
        pane::ForEachLine(slice, [&](qsizetype, qsizetype) { ++lines; });
    const int group = GroupSize(lines - qsizetype(slices.size()));
    pane::PaneTextMaker maker(group);
    target->setProperty(kHasInnerBreaks, group > 1);
    qsizetype done = 0;
    for (qsizetype k = 0; k < slices.size(); ++k) {
        const bool last = k + 1 == slices.size();
        {
            // Released once it is in the document.
            const QString slice = std::exchange(slices[k], QString());
            QString text;
            text.reserve(slice.size() + slice.size() / kSplitLength * 2 + 16);
            maker.Add(slice, !last, text);
            QTextCursor c(target);
            c.movePosition(QTextCursor::End);
            // The paragraphs the text opens take over the marks of the one
            // they start in; after the end of a long line they are no part
            // of it.
            if (text.startsWith(QChar::ParagraphSeparator) &&
                (SplitBefore(c.block()) || SplitAfter(c.block()))) {
                c.insertBlock(QTextBlockFormat());
                text.remove(0, 1);
            }
            const QTextBlock first = c.block();
            if (cache)
                cache->ExpectAppend(text);
            c.insertText(text);
            if (cache)
                cache->ExpectAppend({});
            if (group > 1)
                CountInnerLines(target, first);
            done += slice.size();
        }
        const std::vector<std::pair<int, int>> longLines = maker.TakeLongLines();
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

bool CPaneText::FillInSlices(QStringList& slices, const std::function<void()>& clear,
                             const std::function<bool(qsizetype done)>& between) {
    BeginNewText(false);
    clear();
    m_document->setUndoRedoEnabled(false);
    const bool filled = AppendSlices(m_document, m_blockTexts.get(), slices, m_mayHaveSplits,
                                     [&](qsizetype done) {
        // Whatever runs meanwhile sees the text as it is so far.
        EndNewText();
        const bool goOn = between(done);
        m_changing = true;
        return goOn;
    });
    EndNewText();
    m_document->setUndoRedoEnabled(true);
    if (!filled)
        return false;
    m_document->clearUndoRedoStacks();
    m_document->setModified(false);
    return true;
}

std::unique_ptr<QTextDocument> CPaneText::FillAside(
    QStringList& slices, const std::function<bool(qsizetype done)>& between) {
    auto filled = std::make_unique<QTextDocument>();
    filled->setUndoRedoEnabled(false);
    // What the pane set on its document, and the layout the pane needs,
    // before the text: set afterwards, each goes over every paragraph.
    filled->setDefaultFont(m_document->defaultFont());
    filled->setDefaultTextOption(m_document->defaultTextOption());
    filled->setDocumentMargin(m_document->documentMargin());
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

void CPaneText::Adopt(QTextDocument* filled, const std::function<void()>& show) {
    filled->setUndoRedoEnabled(true);
    filled->clearUndoRedoStacks();
    filled->setModified(false);
    BeginNewText(filled->property(kHasSplits).toBool());
    if (m_blockTexts) {
        CBlockTextCache* aside =
            filled->findChild<CBlockTextCache*>(QString(), Qt::FindDirectChildrenOnly);
        if (aside)
            m_blockTexts->TakeOver(*aside);
        else
            m_blockTexts->SetDocument(filled);
        delete aside;
    }
    Follow(filled); // before the old one goes with show()
    show();
    CountInnerLines(); // showing it laid it out anew
    EndNewText();
}
