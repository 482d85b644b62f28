// The pane's keys: the accelerators left to the main window, Enter, the
// keys that meet a split or an inner line break, and paging.
//
// PageUp and PageDown: the steps are those of the widget's own
// paging: the view scrolls by a page of whole screen lines, then the caret
// moves a screen line at a time, keeping its horizontal place, until it is
// back at the height it had on the screen. The widget finds that height
// through the caret's full rectangle after every step, and the rectangle's
// x shapes the whole screen line again (a layout keeps no glyphs after it
// is made), which doubled the cost of paging through lines never shown
// before. Here the height comes from the line's place in its layout alone.

#include "doc/CEditorView.h"
#include "doc/PaneColouring.h"

#include "res/Menus.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

bool CEditorView::IsAcceleratorKey(const QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier |
                                                             Qt::AltModifier | Qt::MetaModifier);
    int key = event->key();
    if (key == Qt::Key_Enter) // both Enter keys are one key for the accelerators
        key = Qt::Key_Return;
    const QKeyCombination combination(mods, Qt::Key(key));
    for (const res::Accelerator& a : res::MainAccelerators())
        if (a.key == combination)
            return true;
    return false;
}

bool CEditorView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        IsAcceleratorKey(static_cast<QKeyEvent*>(event))) {
        // Leave the key to the main window's accelerators, which are matched
        // next: bring their enabled states up to date first.
        emit acceleratorPending();
        event->ignore();
        return true;
    }
    return QPlainTextEdit::event(event);
}

void CEditorView::keyPressEvent(QKeyEvent* event) {
    // An accelerator whose command is not available does nothing at all.
    if (IsAcceleratorKey(event)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::InsertParagraphSeparator) ||
        event->matches(QKeySequence::InsertLineSeparator)) {
        // The file knows one line break only: Shift+Enter makes the same
        // break as Enter, not a line separator that Shift-JIS cannot hold.
        InsertLineBreak();
        event->accept();
    } else if (PageKey(event)) {
        event->accept();
    } else {
        // The separator inside a long line is no character to step over or delete.
        StepOverSplit(event);
        if (!WordKeyAtInnerBreak(event)) {
            const auto kept = KeepInnerBreak();
            QPlainTextEdit::keyPressEvent(event);
        }
    }
}

void CEditorView::inputMethodEvent(QInputMethodEvent* event) {
    {
        const auto kept = KeepInnerBreak();
        QPlainTextEdit::inputMethodEvent(event);
    }
    if (m_colouring)
        m_colouring->TakePreedit(textCursor().block());
}

void CEditorView::InsertLineBreak() {
    // A line break, never a split.
    QTextCursor c = textCursor();
    m_text->InsertLineBreak(c);
    setTextCursor(c);
    ensureCursorVisible();
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
        while (c.atBlockEnd() && CPaneText::SplitBefore(c.block().next()))
            moved = c.movePosition(QTextCursor::NextCharacter, mode);
    } else {
        while (c.atBlockStart() && CPaneText::SplitBefore(c.block()))
            moved = c.movePosition(QTextCursor::PreviousCharacter, mode);
    }
    if (moved)
        setTextCursor(c);
}

void CEditorView::SelectFileLine(const QTextCursor& at) {
    const auto [start, end] = m_text->FileLineAt(at);
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    if (!c.atEnd()) // its line break with it
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

void CEditorView::OfferSelection() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (textCursor().hasSelection() && clipboard->supportsSelection())
        clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
}

namespace {

// Whether `block` holds an input method's preedit text: the caret's place
// then counts it, and paging is left to the widget.
bool HasPreedit(const QTextBlock& block) {
    const QTextLayout* layout = block.layout();
    return layout && !layout->preeditAreaText().isEmpty();
}

} // namespace

qreal CEditorView::CaretTop(const QTextCursor& cursor) const {
    // What the top of the caret's rectangle is, in the coordinates of the
    // document as scrolled to its top paragraph.
    const QTextBlock block = document()->findBlock(cursor.position());
    if (!block.isValid())
        return 0;
    const qreal top = blockBoundingGeometry(block).top();
    const QTextLine line =
        block.layout()->lineForTextPosition(cursor.position() - block.position());
    return line.isValid() ? top + line.y() : top;
}

void CEditorView::SkipPassedLines(QTextCursor& cursor, QTextCursor::MoveMode mode, qreal lastY,
                                  bool down) {
    // The steps pass screen lines that are short of the caret's height on
    // the screen and after which there is another one: they go on from
    // each, wherever in it the kept horizontal place put the caret. Such
    // lines are passed at once: the caret is put at the start of the last
    // of them that starts a file line (a paragraph, or a line after an
    // inner line break), which is on that screen line whatever wraps, with
    // its horizontal place, and the next step starts where it would have.
    // Finding the caret's place in a line shapes the line; only the lines
    // where the caret stops are shaped so.
    const int x = cursor.verticalMovementX();
    QTextBlock block = cursor.block();
    if (x < 0 || !block.isVisible())
        return;
    const QTextLine caretLine = block.layout()->lineForTextPosition(cursor.positionInBlock());
    if (!caretLine.isValid())
        return;
    // The screen line after (b, n) in the direction of the steps.
    const auto next = [this, down](QTextBlock& b, int& n) {
        n += down ? 1 : -1;
        if (n >= 0 && n < b.layout()->lineCount())
            return true;
        b = down ? b.next() : b.previous();
        if (!b.isValid() || !b.isVisible())
            return false;
        blockBoundingGeometry(b); // lays the paragraph out
        const QTextLayout* layout = b.layout();
        if (layout->lineCount() < 1 || !layout->preeditAreaText().isEmpty())
            return false;
        n = down ? 0 : layout->lineCount() - 1;
        return true;
    };
    int passed = -1;
    int n = caretLine.lineNumber();
    while (next(block, n)) {
        // Passed when the caret would go on from it: a next line to go to,
        // and the caret still short of its height on the screen.
        QTextBlock after = block;
        int afterLine = n;
        if (!next(after, afterLine))
            break;
        const QTextLine line = block.layout()->lineAt(n);
        const qreal top = blockBoundingGeometry(block).top() + line.y();
        if (down ? !(top < lastY) : !(top > lastY))
            break;
        const int start = line.textStart();
        if (start == 0 || block.text().at(start - 1) == QChar::LineSeparator)
            passed = block.position() + start;
    }
    if (passed < 0)
        return;
    cursor.setPosition(passed, mode);
    cursor.setVerticalMovementX(x);
}

void CEditorView::ScrollToLine(const QTextBlock& block, int line) {
    // The scroll bar counts screen lines; setting it scrolls the viewport.
    verticalScrollBar()->setValue(block.firstLineNumber() + std::max(0, line));
}

bool CEditorView::PageKey(const QKeyEvent* event) {
    using K = QKeySequence;
    const Qt::TextInteractionFlags flags = textInteractionFlags();
    bool down = false;
    QTextCursor::MoveMode mode = QTextCursor::MoveAnchor;
    if ((flags & Qt::TextSelectableByKeyboard) &&
        (event->matches(K::SelectPreviousPage) || event->matches(K::SelectNextPage))) {
        down = event->matches(K::SelectNextPage);
        mode = QTextCursor::KeepAnchor;
    } else if ((flags & (Qt::TextSelectableByKeyboard | Qt::TextEditable)) &&
               (event->matches(K::MoveToPreviousPage) || event->matches(K::MoveToNextPage))) {
        down = event->matches(K::MoveToNextPage);
    } else {
        return false;
    }
    if (HasPreedit(textCursor().block()) || centerOnScroll())
        return false;
    Page(down, mode);
    return true;
}

void CEditorView::Page(bool down, QTextCursor::MoveMode mode) {
    QTextCursor cursor = textCursor();
    ensureCursorVisible();
    // The caret's height on the screen is kept from one page to the next
    // while nothing else moved it.
    if (!m_pageCaretYValid)
        m_pageCaretY = CaretTop(cursor) + contentOffset().y();
    qreal lastY = m_pageCaretY;

    QRectF visible = QRectF(viewport()->rect()).translated(-contentOffset());
    if (down) {
        QTextBlock block = firstVisibleBlock();
        QRectF br = blockBoundingRect(block);
        qreal h = 0;
        bool atEnd = false;
        while (h + br.height() <= visible.bottom()) {
            if (!block.next().isValid()) {
                atEnd = true;
                lastY = visible.bottom(); // the caret goes to the last line
                break;
            }
            h += br.height();
            block = block.next();
            br = blockBoundingRect(block);
        }
        if (!atEnd) {
            // The first screen line that was not wholly shown goes to the top.
            int line = 0;
            const qreal diff = visible.bottom() - h;
            const QTextLayout* layout = block.layout();
            while (line < layout->lineCount() - 1 &&
                   layout->lineAt(line).naturalTextRect().bottom() <= diff)
                ++line;
            ScrollToLine(block, line);
        }
        lastY -= contentOffset().y();
        bool moved = cursor.movePosition(QTextCursor::Down, mode);
        while (moved && CaretTop(cursor) < lastY) {
            SkipPassedLines(cursor, mode, lastY, true);
            moved = cursor.movePosition(QTextCursor::Down, mode);
        }
    } else {
        visible.translate(0, -visible.height()); // the page before
        const QTextBlock first = firstVisibleBlock();
        QTextBlock block = first;
        qreal h = 0;
        while (h >= visible.top()) {
            if (!block.previous().isValid()) {
                if (first.blockNumber() == 0 && verticalScrollBar()->value() == 0)
                    lastY = 0; // the caret goes to the first line
                break;
            }
            block = block.previous();
            h -= blockBoundingRect(block).height();
        }
        int line = 0;
        if (block.isValid()) {
            const qreal diff = visible.top() - h;
            const QTextLayout* layout = block.layout();
            const int lineCount = layout->lineCount();
            while (line < lineCount && layout->lineAt(line).naturalTextRect().top() < diff)
                ++line;
            if (line == lineCount) {
                if (block.next().isValid() && block.next() != first) {
                    block = block.next();
                    line = 0;
                } else {
                    --line;
                }
            }
        }
        ScrollToLine(block, line);
        cursor.setVisualNavigation(true);
        lastY -= contentOffset().y();
        bool moved = cursor.movePosition(QTextCursor::Up, mode);
        while (moved && CaretTop(cursor) > lastY) {
            SkipPassedLines(cursor, mode, lastY, false);
            moved = cursor.movePosition(QTextCursor::Up, mode);
        }
    }

    setTextCursor(cursor);
    m_pageCaretYValid = true;
    if (mode == QTextCursor::KeepAnchor)
        OfferSelection();
}
