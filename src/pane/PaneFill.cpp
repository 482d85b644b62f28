// A new text comes into the pane's document: at once, a slice at a time, or
// into a document of its own that is shown when it is complete.

#include "pane/PaneText.h"

#include "pane/BlockTextCache.h"
#include "pane/PaneLayout.h"
#include "pane/PaneTextMaker.h"

#include <QAbstractTextDocumentLayout>
#include <QPointer>
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

// Appends slices to a document, one slice a step, each let go once it is in.
class CPaneText::SliceAppender {
public:
    // `cache`, when given, follows `target` and is told each text before.
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
            pane::ForEachLine(slice, [&](qsizetype, qsizetype) { ++lines; });
        return GroupSize(lines - qsizetype(slices.size()));
    }

    QTextDocument* m_target;
    CBlockTextCache* m_cache;
    QStringList m_slices;
    int m_group;
    pane::PaneTextMaker m_maker;
    qsizetype m_next = 0;
    qsizetype m_done = 0;
    bool m_splits = false;
};

bool CPaneText::SliceAppender::Step() {
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
        // they start in; after the end of a long line they are no part
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
            CountInnerLines(m_target, first);
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

// Into the model's own document, emptied first.
class CPaneText::FillIn : public CPaneText::SliceFill {
public:
    FillIn(CPaneText* text, QStringList slices, const std::function<void()>& clear) : m_text(text) {
        text->BeginNewText(false);
        clear();
        text->m_document->setUndoRedoEnabled(false);
        m_appender.emplace(text->m_document, text->m_blockTexts.get(), std::move(slices));
        text->EndNewText(); // whatever runs between the steps sees the text so far
    }
    ~FillIn() override {
        if (m_text && !m_finished)
            m_text->m_document->setUndoRedoEnabled(true);
    }
    bool Step() override {
        m_text->m_changing = true;
        const bool more = m_appender->Step();
        m_text->m_mayHaveSplits = m_text->m_mayHaveSplits || m_appender->Splits();
        m_text->EndNewText();
        return more;
    }
    qsizetype Done() const override { return m_appender->Done(); }
    std::unique_ptr<QTextDocument> Finish() override {
        m_finished = true;
        if (!m_text)
            return nullptr;
        QTextDocument* document = m_text->m_document;
        document->setUndoRedoEnabled(true);
        document->clearUndoRedoStacks();
        document->setModified(false);
        return nullptr;
    }

private:
    QPointer<CPaneText> m_text;
    std::optional<SliceAppender> m_appender;
    bool m_finished = false;
};

// Into a document of its own, not shown.
class CPaneText::FillAsideOf : public CPaneText::SliceFill {
public:
    FillAsideOf(const CPaneText* text, QStringList slices)
        : m_filled(std::make_unique<QTextDocument>()) {
        m_filled->setUndoRedoEnabled(false);
        // What the pane set on its document, and the layout the pane needs,
        // before the text: set afterwards, each goes over every paragraph.
        const QTextDocument* shown = text->m_document;
        m_filled->setDefaultFont(shown->defaultFont());
        m_filled->setDefaultTextOption(shown->defaultTextOption());
        m_filled->setDocumentMargin(shown->documentMargin());
        auto* layout = new CPaneLayout(m_filled.get());
        m_filled->setDocumentLayout(layout);
        // The paragraph texts follow the filling, not all at once when it is shown.
        CBlockTextCache* cache =
            text->m_blockTexts ? new CBlockTextCache(m_filled.get(), m_filled.get()) : nullptr;
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

std::unique_ptr<CPaneText::SliceFill> CPaneText::StartFillIn(QStringList slices,
                                                             const std::function<void()>& clear) {
    return std::make_unique<FillIn>(this, std::move(slices), clear);
}

std::unique_ptr<CPaneText::SliceFill> CPaneText::StartFillAside(QStringList slices) const {
    return std::make_unique<FillAsideOf>(this, std::move(slices));
}

bool CPaneText::SliceFill::Run(const std::function<bool(qsizetype done)>& between) {
    while (Step())
        if (!between(Done()))
            return false;
    return true;
}

std::unique_ptr<QTextDocument> CPaneText::FillAside(
    QStringList& slices, const std::function<bool(qsizetype done)>& between) {
    std::unique_ptr<SliceFill> fill = StartFillAside(std::exchange(slices, {}));
    return fill->Run(between) ? fill->Finish() : nullptr;
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
