#include "doc/PaneColouring.h"

#include "doc/CEditorView.h"
#include "pane/HtmlTheme.h"
#include "pane/PaneLayout.h"
#include "pane/TagMatch.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace {

// Lines coloured below the viewport's bottom, so that a line scrolled in
// is mostly coloured already.
constexpr int kLookAheadLines = 4;
// Characters lexed before a paint without colour from where the marks stand.
constexpr qsizetype kPaintBudget = 8 * 1024;
// How long a slice of a cascade runs before the event loop has its turn.
constexpr qint64 kSliceMs = 2;
// Slices wait this long after an edit: keys typed in a row come first.
constexpr qint64 kTypingPauseMs = 30;
// The text around the caret looked at first for a tag's partner.
constexpr qsizetype kNearReach = 4 * 1024;

using Formats = QList<QTextLayout::FormatRange>;

// Whether two paragraphs' colours are the same outside [start, end) of the
// new text, the old text having been `grown` characters shorter there. No
// range goes over an inner line break.
bool SameOutside(const Formats& before, const Formats& after, int start, int end, int grown) {
    auto outside = [start](const Formats& formats, int end, int shift) {
        Formats kept;
        for (QTextLayout::FormatRange r : formats) {
            if (r.start + r.length <= start || r.start >= end) {
                if (r.start >= end)
                    r.start += shift;
                kept.append(r);
            }
        }
        return kept;
    };
    return outside(before, end - grown, grown) == outside(after, end, 0);
}

// Colours given on a paragraph's text put on its layout's, where the input
// method's text of `length` characters sits at `at`, with its own marks last.
Formats AroundPreedit(const Formats& colours, int at, int length, const Formats& marks) {
    Formats moved;
    for (QTextLayout::FormatRange r : colours) {
        if (r.start < at && r.start + r.length > at) {
            moved.append({r.start, at - r.start, r.format});
            r.length -= at - r.start;
            r.start = at;
        }
        if (r.start >= at)
            r.start += length;
        moved.append(r);
    }
    return moved + marks;
}

} // namespace

CPaneColouring::CPaneColouring(CEditorView* view) : QObject(view), m_view(view) {
    m_formats.resize(std::size_t(pane::HtmlClass::Count));
    for (int i = 1; i < int(pane::HtmlClass::Count); ++i)
        m_formats[std::size_t(i)].setForeground(pane::ThemeColour(pane::HtmlClass(i)));
    m_slices.setSingleShot(true);
    m_sinceEdit.start();
    m_farMatch.setSingleShot(true);
    connect(&m_farMatch, &QTimer::timeout, this, [this] { MatchTag(pane::kTagMatchReach); });
    connect(&m_slices, &QTimer::timeout, this, &CPaneColouring::Slice);
    connect(view, &CEditorView::documentAdopted, this, &CPaneColouring::Attach);
    connect(view, &QPlainTextEdit::cursorPositionChanged, this, &CPaneColouring::ShowMatchingTag);
    view->viewport()->installEventFilter(this);
    Attach();
}

bool CPaneColouring::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == m_view->viewport())
        m_painting = static_cast<QPaintEvent*>(event)->region();
    return false;
}

void CPaneColouring::Attach() {
    if (m_document)
        disconnect(m_document, nullptr, this, nullptr);
    m_document = m_view->document();
    connect(m_document, &QTextDocument::contentsChange, this, &CPaneColouring::OnContentsChange);
    if (auto* layout = qobject_cast<CPaneLayout*>(m_document->documentLayout()))
        connect(layout, &CPaneLayout::aboutToLayOut, this, &CPaneColouring::OnAboutToLayOut);
    m_store.Reset(m_document->blockCount());
    m_guessedFrom = -1;
    m_shownFrom = m_shownTo = 0;
    ++m_generation;
}

void CPaneColouring::SetEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    m_slices.stop();
    m_store.Reset(m_document->blockCount());
    m_guessedFrom = -1;
    ++m_generation; // every paragraph to colour anew
    if (!enabled) {
        ClearAll();
        m_view->setExtraSelections({});
    } else {
        ShowMatchingTag();
    }
    m_view->viewport()->update();
}

void CPaneColouring::OnContentsChange(int position, int removed, int added) {
    Q_UNUSED(removed);
    if (!m_enabled)
        return;
    QTextDocument* doc = m_document;
    const int count = doc->blockCount();
    const int first = doc->findBlock(position).blockNumber();
    const int last = doc->findBlock(std::min(position + added, doc->characterCount() - 1)).blockNumber();
    const int now = last - first + 1;
    const int before = now - (count - m_store.Count());
    if (first < 0 || last < first || before < 1 || first + before > m_store.Count())
        m_store.Reset(count);
    else
        m_store.Replace(first, before, now);
    m_sinceEdit.start();
    if (m_store.Cascading())
        ScheduleSlice();
}

void CPaneColouring::OnAboutToLayOut(int from, int removed, int added) {
    m_keptOtherLinesOf = -1;
    if (!m_enabled)
        return;
    // A change within one paragraph that is on the screen.
    const QTextBlock block = m_document->findBlock(from);
    if (!block.isValid() || block != m_document->findBlock(std::max(0, from + removed + added - 1)))
        return;
    const int n = block.blockNumber();
    if (n < m_shownFrom || n > m_shownTo || block.userState() == -1)
        return; // coloured when painted
    const Formats before = block.layout()->formats();
    const bool changed = Colour(block);
    if (m_store.Cascading())
        ScheduleSlice(); // its end state changed
    if (!changed) {
        m_keptOtherLinesOf = n;
        return;
    }
    // The file lines the change is in, as the view repaints them.
    const QString text = block.text();
    const int at = from - block.position();
    const int start = at > 0 ? int(text.lastIndexOf(QChar::LineSeparator, at - 1)) + 1 : 0;
    int end = int(text.indexOf(QChar::LineSeparator, at + added));
    if (end < 0)
        end = int(text.size());
    if (SameOutside(before, block.layout()->formats(), start, end, added - removed))
        m_keptOtherLinesOf = n;
}

bool CPaneColouring::KeptOtherLines(const QTextBlock& block) const {
    return m_enabled && block.blockNumber() == m_keptOtherLinesOf;
}

pane::LexState CPaneColouring::LexParagraph(const QTextBlock& block, pane::LexState state,
                                            std::vector<pane::LexSpan>* spans) {
    ++m_lexed;
    const bool lineGoesOn = CEditorView::ContinuesLine(block.next());
    if (state.column >= pane::kLexCap && CEditorView::ContinuesLine(block) && lineGoesOn) {
        // A piece of a long line past the cap: plain, and its length is all it tells.
        state.column += std::uint32_t(std::max(block.length() - 1, 0));
        return state;
    }
    const QString text = block.text();
    qsizetype from = 0;
    for (;;) {
        const qsizetype lineBreak = text.indexOf(QChar::LineSeparator, from);
        const qsizetype end = lineBreak < 0 ? text.size() : lineBreak;
        const std::size_t had = spans ? spans->size() : 0;
        state = pane::LexPiece(QStringView(text).mid(from, end - from), state, spans);
        if (spans)
            for (std::size_t i = had; i < spans->size(); ++i)
                (*spans)[i].start += int(from);
        if (lineBreak < 0)
            break;
        state = pane::AtLineBreak(state);
        from = lineBreak + 1;
    }
    return lineGoesOn ? state : pane::AtLineBreak(state);
}

bool CPaneColouring::CatchUp(int to, qsizetype budget) {
    QTextBlock block = m_document->findBlockByNumber(m_store.ColouredUpTo());
    qsizetype done = 0;
    while (m_store.ColouredUpTo() < to && block.isValid() && done < budget) {
        done += block.length();
        if (m_store.Store(LexParagraph(block, m_store.StartOf(m_store.ColouredUpTo()), nullptr)))
            block = m_document->findBlockByNumber(m_store.ColouredUpTo());
        else
            block = block.next();
    }
    return m_store.ColouredUpTo() >= to;
}

bool CPaneColouring::Colour(const QTextBlock& block) {
    // A paragraph whose text and start state are those it was last
    // coloured with keeps its colours, unless its end is wanted.
    const int n = block.blockNumber();
    const pane::LexState start = m_store.StartOf(n);
    const int stamp = Stamp(block, start);
    if (block.userState() == stamp && n != m_store.ColouredUpTo())
        return false;
    m_spans.clear();
    const pane::LexState end = LexParagraph(block, start, &m_spans);
    if (n == m_store.ColouredUpTo())
        m_store.Store(end);
    QTextBlock(block).setUserState(stamp);
    // Each change of format is a run of its own to shape and draw: a colour
    // goes on over the spaces and '=' after it, which show no colour.
    const QString text = block.text();
    QList<QTextLayout::FormatRange> formats;
    formats.reserve(qsizetype(m_spans.size()));
    for (std::size_t i = 0; i < m_spans.size(); ++i) {
        const pane::LexSpan& span = m_spans[i];
        int end = span.start + span.length;
        const int next = i + 1 < m_spans.size() ? m_spans[i + 1].start : int(text.size());
        while (end < next && (text[end] == u' ' || text[end] == u'\t' || text[end] == u'='))
            ++end;
        if (!formats.isEmpty() && formats.back().start + formats.back().length == span.start &&
            m_spans[i - 1].cls == span.cls)
            formats.back().length = end - formats.back().start;
        else
            formats.append({span.start, end - span.start, m_formats[std::size_t(span.cls)]});
    }
    QTextLayout* layout = block.layout();
    if (!layout->preeditAreaText().isEmpty())
        formats = AroundPreedit(formats, layout->preeditAreaPosition(),
                                int(layout->preeditAreaText().size()),
                                n == m_preeditOf ? m_preeditFormats : Formats());
    if (layout->formats() == formats)
        return false;
    layout->setFormats(formats);
    return true;
}

void CPaneColouring::TakePreedit(const QTextBlock& block) {
    const QTextLayout* layout = block.layout();
    const bool composing = layout && !layout->preeditAreaText().isEmpty();
    // The input method's marks, as the text control has just set them.
    m_preeditOf = composing ? block.blockNumber() : -1;
    m_preeditFormats = composing ? layout->formats() : Formats();
    if (block.isValid())
        QTextBlock(block).setUserState(-1); // coloured again when next painted
}

int CPaneColouring::Stamp(const QTextBlock& block, const pane::LexState& start) const {
    const size_t hash = qHashMulti(m_generation, block.text(), CEditorView::ContinuesLine(block.next()),
                                   start.mode, start.raw, start.sub, start.flags, start.match,
                                   start.dashes, start.back, start.nameLength, start.name,
                                   start.column);
    return int(hash & 0x7fffffff); // never -1, what a paragraph starts with
}

void CPaneColouring::BeforePaint(const QTextBlock& first) {
    if (!m_enabled || !first.isValid() || m_document != first.document())
        return;
    const qint64 lexedBefore = m_lexed;
    const int top = first.blockNumber();
    m_shownFrom = top;
    if (!CatchUp(top, kPaintBudget) && m_guessedFrom < 0)
        m_guessedFrom = top;
    const qreal lineHeight = std::max(1, m_view->fontMetrics().lineSpacing());
    const qreal limit = m_view->viewport()->height() + kLookAheadLines * lineHeight;
    qreal height = 0;
    int changedFrom = -1;
    QTextBlock block = first, changedTo;
    for (; block.isValid() && height < limit; block = block.next()) {
        const int n = block.blockNumber();
        if (Colour(block)) {
            if (changedFrom < 0)
                changedFrom = block.position();
            changedTo = block;
        }
        height += std::max(1, block.lineCount()) * lineHeight;
        m_shownTo = n;
    }
    if (changedFrom >= 0) {
        Flush(changedFrom);
        // Paragraphs whose colours changed outside what this paint covers
        // (those after an opened comment) are painted again.
        QTextCursor from(m_document), to(m_document);
        from.setPosition(changedFrom);
        to.setPosition(changedTo.position() + changedTo.length() - 1);
        const QRect top = m_view->cursorRect(from), bottom = m_view->cursorRect(to);
        const QRect changed(0, top.top(), m_view->viewport()->width(),
                            std::min(bottom.bottom(), m_view->viewport()->height()) - top.top() + 1);
        const QRegion outside = QRegion(changed.intersected(m_view->viewport()->rect())) - m_painting;
        if (!outside.isEmpty())
            m_view->viewport()->update(outside);
    }
    m_lexedByPaint = m_lexed - lexedBefore;
    if (m_store.Cascading() || m_guessedFrom >= 0)
        ScheduleSlice();
}

void CPaneColouring::ScheduleSlice() {
    m_slices.start(int(std::max<qint64>(0, kTypingPauseMs - m_sinceEdit.elapsed())));
}

void CPaneColouring::Flush(int from) {
    // Setting a layout's formats notes the paragraph as changed; ending that
    // change with the document's signals blocked lays the paragraphs out
    // again (when next painted) without telling the journal, the check or
    // the cache of a change that is none.
    QSignalBlocker text(m_document.data());
    QSignalBlocker layout(m_document->documentLayout());
    m_document->markContentsDirty(from, 0);
}

void CPaneColouring::ClearAll() {
    int from = -1;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        const Formats kept = block.blockNumber() == m_preeditOf ? m_preeditFormats : Formats();
        if (block.layout()->formats() == kept)
            continue;
        block.layout()->setFormats(kept);
        if (from < 0)
            from = block.position();
    }
    if (from >= 0)
        Flush(from);
}

void CPaneColouring::Slice() {
    if (!m_enabled)
        return;
    if (m_sinceEdit.elapsed() < kTypingPauseMs) {
        ScheduleSlice(); // typed since it was planned
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const int want = m_guessedFrom >= 0 ? m_shownTo + 1 : 0;
    QTextBlock block = m_document->findBlockByNumber(m_store.ColouredUpTo());
    int steps = 0;
    while (block.isValid() && (m_store.Cascading() || m_store.ColouredUpTo() < want)) {
        if (m_store.Store(LexParagraph(block, m_store.StartOf(m_store.ColouredUpTo()), nullptr)))
            block = m_document->findBlockByNumber(m_store.ColouredUpTo());
        else
            block = block.next();
        if (++steps % 16 == 0 && clock.elapsed() >= kSliceMs)
            break;
    }
    if (m_guessedFrom >= 0 && m_store.ColouredUpTo() >= want) {
        m_guessedFrom = -1;
        m_view->viewport()->update(); // the screen's colours from right start states
    }
    if (block.isValid() && (m_store.Cascading() || m_guessedFrom >= 0))
        ScheduleSlice();
}

void CPaneColouring::ShowMatchingTag() { MatchTag(kNearReach); }

void CPaneColouring::MatchTag(qsizetype reach) {
    m_farMatch.stop();
    if (!m_enabled)
        return;
    const QTextCursor caret = m_view->textCursor();
    QList<QTextEdit::ExtraSelection> marks;
    const QTextBlock at = caret.block();
    const QString here = at.text();
    if (!caret.hasSelection() && pane::FindTagName(here, caret.positionInBlock())) {
        // The paragraphs around the caret, joined by one character each as
        // in the document, up to `reach` characters either way.
        QStringList earlier, later;
        QTextBlock before = at, after = at;
        qsizetype caretAt = caret.positionInBlock(), length = here.size();
        while (before.previous().isValid() && caretAt < reach) {
            before = before.previous();
            earlier.prepend(before.text());
            caretAt += before.length();
            length += before.length();
        }
        while (after.next().isValid() && length - caretAt < reach) {
            after = after.next();
            later.append(after.text());
            length += after.length();
        }
        earlier.append(here);
        const QString text = (earlier + later).join(u'\n');
        const auto found = pane::FindMatchingTag(text, caretAt);
        if (found) {
            QTextCharFormat frame;
            frame.setBackground(QColor(0xd8, 0xe6, 0xff));
            for (const auto& [start, size] : {std::pair{found->at, found->atLength},
                                              std::pair{found->partner, found->partnerLength}}) {
                QTextCursor name(m_document);
                name.setPosition(before.position() + int(start));
                name.setPosition(before.position() + int(start + size), QTextCursor::KeepAnchor);
                marks.append({name, frame});
            }
        } else if (reach < pane::kTagMatchReach &&
                   (before.previous().isValid() || after.next().isValid())) {
            // Not within the near text: further, once typing pauses.
            m_farMatch.start(int(kTypingPauseMs));
        }
    }
    if (!marks.isEmpty() || !m_view->extraSelections().isEmpty())
        m_view->setExtraSelections(marks);
}
