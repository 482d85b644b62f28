#include "doc/CEditorView.h"

#include "doc/CEditorDoc.h"
#include "doc/PaneColouring.h"
#include "doc/UiServices.h"
#include "pane/PaneLayout.h"
#include "res/CommandIds.h"
#include "res/Menus.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QMimeData>
#include <QPainter>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMarginWidth = 8;
constexpr double kPrintMarginTwips = 720;
// Above this many paragraphs a text is long enough to bring a scroll bar.
constexpr int kManyParagraphs = 1000;

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

QString ToFileLineBreaks(QString text) {
    return text.replace(QChar::ParagraphSeparator, u"\r\n"_s);
}

} // namespace

QString WithoutLoneHighSurrogates(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!IsHigh(text[i].unicode()))
            continue;
        if (i + 1 < text.size() && IsLow(text[i + 1].unicode()))
            ++i;
        else
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

// The narrow strip at the left of the pane: a click selects a whole line.
class CEditorView::SelectionMargin : public QWidget {
public:
    explicit SelectionMargin(CEditorView* view) : QWidget(view), m_view(view) {
        setCursor(Qt::ArrowCursor);
        setAccessibleName(u"選択領域"_s);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), m_view->palette().color(QPalette::Base));
        m_view->PaintMarginMarks(p);
    }
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(e);
            const QString tips = m_view->MarginTips(help->pos().y());
            if (tips.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(tips, Qt::WhiteSpaceNoWrap), this);
            return true;
        }
        return QWidget::event(e);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        m_view->setFocus(Qt::MouseFocusReason);
        m_view->SelectLinesTo(int(e->position().y()), e->modifiers() & Qt::ShiftModifier);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (e->buttons() & Qt::LeftButton)
            m_view->SelectLinesTo(int(e->position().y()), true);
    }
    void mouseReleaseEvent(QMouseEvent* e) override { e->accept(); }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton)
            return;
        m_view->SelectFileLine(m_view->cursorForPosition(QPoint(0, int(e->position().y()))));
    }

private:
    CEditorView* m_view;
};

CEditorView::CEditorView(QWidget* parent)
    : QPlainTextEdit(parent),
      m_printMarginsTwips(kPrintMarginTwips, kPrintMarginTwips, kPrintMarginTwips,
                          kPrintMarginTwips) {
    setObjectName(u"CEditorView"_s);
    setAccessibleName(u"エディタ"_s);
    // A document with the pane's layout from the start (deleted when another is adopted).
    auto* own = new QTextDocument(this);
    own->setDocumentLayout(new CPaneLayout(own));
    setDocument(own);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTabChangesFocus(false);

    // The selection stays highlighted while the pane has no focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    m_margin = new SelectionMargin(this);
    setViewportMargins(kMarginWidth, 0, 0, 0);

    connect(this, &QPlainTextEdit::selectionChanged, this, &CEditorView::commandStateChanged);
    connect(this, &QPlainTextEdit::undoAvailable, this, &CEditorView::commandStateChanged);
    connect(this, &QPlainTextEdit::copyAvailable, this, &CEditorView::commandStateChanged);
    connect(this, &QPlainTextEdit::textChanged, this, &CEditorView::commandStateChanged);
    m_text = std::make_unique<CPaneText>(document());
    connect(document(), &QTextDocument::contentsChange, this, &CEditorView::ShiftLineMarks);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { m_clipboardCanPaste.reset(); });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            [this] { m_pageCaretYValid = false; });
    // The margin's marks follow the text when it scrolls or changes.
    connect(this, &QPlainTextEdit::updateRequest, this, [this] {
        if (!m_lineMarks.empty())
            m_margin->update();
    });

    TakeOverParagraphRepaints();
    connect(this, &CEditorView::documentAdopted, this, &CEditorView::TakeOverParagraphRepaints);

    BindCommands();
    setFont(DefaultFont());
    m_colouring = new CPaneColouring(this);
}

void CEditorView::TakeOverParagraphRepaints() {
    // The text control repaints the whole paragraph a change was in: in one
    // that many short file lines share, many lines the change left as they
    // were. The view takes that repaint over (where it can: else the
    // control keeps it).
    QTextDocument* doc = document();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    bool takenOver = false;
    for (QObject* child : children())
        if (child->inherits("QWidgetTextControl"))
            takenOver |= disconnect(layout, SIGNAL(updateBlock(QTextBlock)), child, nullptr);
    if (!takenOver)
        return;
    connect(layout, &QAbstractTextDocumentLayout::updateBlock, this,
            &CEditorView::RepaintChangedLines);
    // The layout follows each change between these two signals.
    connect(doc, &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { m_laidOutChange = {position, added}; });
    connect(doc, &QTextDocument::contentsChanged, this, [this] { m_laidOutChange.reset(); });
}

void CEditorView::RepaintChangedLines(const QTextBlock& block) {
    // The paragraph's place, as the control takes it (the right edge: it
    // may have shrunk).
    QRectF rect = blockBoundingGeometry(block);
    rect.setRight(qreal(INT_MAX));
    const QTextLayout* layout = block.layout();
    // Not where formats of its own (unless the colours of the other lines
    // stayed) or text being composed may have changed other lines of the
    // paragraph than the change did.
    const bool keptFormats =
        layout && (layout->formats().isEmpty() || (m_colouring && m_colouring->KeptOtherLines(block)));
    const bool narrow = m_laidOutChange && keptFormats && layout->lineCount() > 1 && rect.isValid() &&
                        layout->preeditAreaText().isEmpty() &&
                        !document()->findChild<QSyntaxHighlighter*>();
    const int from = narrow ? m_laidOutChange->position - block.position() : -1;
    const int to = narrow ? from + m_laidOutChange->added : -1;
    if (narrow && from >= 0 && to < block.length()) {
        // From the inner line break before the change to the one after it.
        // The layout asks for this repaint only where the paragraph kept its
        // height (else the whole pane is painted): the lines after them kept
        // their places.
        const QString text = block.text();
        const qsizetype start = from > 0 ? text.lastIndexOf(QChar::LineSeparator, from - 1) + 1 : 0;
        qsizetype end = text.indexOf(QChar::LineSeparator, to);
        if (end < 0)
            end = text.size();
        const QTextLine first = layout->lineForTextPosition(int(start));
        const QTextLine last = layout->lineForTextPosition(int(end));
        if (first.isValid() && last.isValid()) {
            const qreal top = rect.top();
            rect.setTop(top + first.y());
            rect.setBottom(top + last.y() + last.height());
        }
    }
    // As the widget repaints what the control asks for.
    if (!rect.isValid()) {
        viewport()->update();
        emit updateRequest(viewport()->rect(), 0);
        return;
    }
    const QPointF offset = contentOffset();
    const int x = int(-offset.x()), y = int(-offset.y());
    const QRect visible(x, y, viewport()->width(), viewport()->height());
    QRect r = rect.adjusted(-1, -1, 1, 1).intersected(QRectF(visible)).toAlignedRect();
    if (r.isEmpty())
        return;
    r.translate(-x, -y);
    viewport()->update(r);
    emit updateRequest(r, 0);
}

CEditorView::~CEditorView() = default;

QWidget* CEditorView::MarginWidget() const { return m_margin; }

QFont CEditorView::DefaultFont() {
    QFont font(u"FixedSys"_s);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setBold(false);
    font.setPointSizeF(QApplication::font().pointSizeF() > 0 ? QApplication::font().pointSizeF()
                                                              : 10.0);
    return font;
}

void CEditorView::BindCommands() {
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(
        ID_EDIT_UNDO,
        [this] { undo(); },
        [this] { return document()->isUndoAvailable(); });
    OnCommand(
        ID_EDIT_CUT,
        [this] { cut(); },
        [this] { return textCursor().hasSelection(); });
    OnCommand(
        ID_EDIT_COPY, [this] { copy(); }, [this] { return textCursor().hasSelection(); });
    OnCommand(
        ID_EDIT_PASTE,
        [this] { paste(); },
        [this] {
            if (isReadOnly())
                return false;
            if (!m_clipboardCanPaste)
                m_clipboardCanPaste = canPaste();
            return *m_clipboardCanPaste;
        });
    OnCommand(
        ID_EDIT_SELECT_ALL, [this] { selectAll(); }, [this] { return !document()->isEmpty(); });
}

void CEditorView::Invalidate() {
    viewport()->update();
    emit repaintRequested();
}

void CEditorView::OnInitialUpdate() {
    // Each change of the font lays the whole document out anew: none when
    // it is the font already.
    const QFont font = DefaultFont();
    if (!(this->font() == font))
        setFont(font);
    if (!(document()->defaultFont() == font))
        document()->setDefaultFont(font);
    m_printMarginsTwips =
        QMarginsF(kPrintMarginTwips, kPrintMarginTwips, kPrintMarginTwips, kPrintMarginTwips);
}

QString CEditorView::GetSelectedRawText() const {
    const QTextCursor c = textCursor();
    return m_text->HandedOut(c.selectedText(), c.selectionStart());
}

QString CEditorView::GetSelectedText() const {
    // Only the selected part of the document is copied.
    return ToFileLineBreaks(GetSelectedRawText());
}

void CEditorView::ReplaceSelection(const QString& text, bool canUndo) {
    QTextDocument* doc = document();
    QTextCursor cursor = textCursor();
    const QString clean = WithoutLoneHighSurrogates(text);
    if (!canUndo)
        doc->setUndoRedoEnabled(false);
    InsertText(cursor, clean);
    if (!canUndo)
        doc->setUndoRedoEnabled(true);
    cursor.clearSelection();
    setTextCursor(cursor);
    doc->setModified(true);
    emit commandStateChanged();
}

void CEditorView::mousePressEvent(QMouseEvent* event) {
    const bool triple = event->button() == Qt::LeftButton && m_sinceDoubleClick.isValid() &&
                        m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
                        (event->position() - m_doubleClickAt).manhattanLength() <
                            QApplication::startDragDistance();
    m_sinceDoubleClick.invalidate();
    // Where the click is, before the widget's own selection scrolls.
    const QTextCursor clicked = triple ? cursorForPosition(event->position().toPoint()) : QTextCursor();
    QPlainTextEdit::mousePressEvent(event);
    if (triple) {
        // The whole file line, not the paragraph the widget selects.
        SelectFileLine(clicked);
        m_dragAnchor = -1;
        return;
    }
    m_dragAnchor = (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier))
                       ? textCursor().position()
                       : -1;
}

void CEditorView::mouseMoveEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseMoveEvent(event);
    if (m_dragAnchor >= 0 && (event->buttons() & Qt::LeftButton))
        ExtendSelectionByWords(event->position().toPoint());
}

void CEditorView::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    m_dragAnchor = -1;
}

void CEditorView::mouseDoubleClickEvent(QMouseEvent* event) {
    m_dragAnchor = -1; // a double-click drag already grows by words
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_sinceDoubleClick.start();
        m_doubleClickAt = event->position();
    }
}

void CEditorView::ExtendSelectionByWords(const QPoint& pos) {
    auto wordAt = [this](int position) {
        QTextCursor c(document());
        c.setPosition(position);
        c.select(QTextCursor::WordUnderCursor);
        return std::pair{c.selectionStart(), c.selectionEnd()};
    };
    const int anchor = m_dragAnchor;
    const int position = cursorForPosition(pos).position();
    const auto [anchorStart, anchorEnd] = wordAt(anchor);
    if (position >= anchorStart && position <= anchorEnd)
        return; // still inside the first word: characters, as dragged
    const auto [wordStart, wordEnd] = wordAt(position);
    const bool inWord = wordStart < wordEnd;
    QTextCursor c(document());
    if (position > anchor) {
        c.setPosition(anchorStart);
        c.setPosition(inWord ? wordEnd : position, QTextCursor::KeepAnchor);
    } else {
        c.setPosition(anchorEnd);
        c.setPosition(inWord ? wordStart : position, QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
}

void CEditorView::SelectLinesTo(int y, bool extend) {
    // The end of the screen line at `line`, with the line break after it.
    const auto lineEnd = [this](QTextCursor& line) {
        line.movePosition(QTextCursor::EndOfLine);
        const bool lineBreak = (line.atBlockEnd() && !line.atEnd()) ||
                               document()->characterAt(line.position()) == QChar::LineSeparator;
        return line.position() + (lineBreak ? 1 : 0);
    };
    QTextCursor at = cursorForPosition(QPoint(0, y));
    QTextCursor line = at;
    line.movePosition(QTextCursor::StartOfLine);
    const int start = line.position();
    const int end = lineEnd(line);
    QTextCursor c(document());
    if (!extend || m_lineAnchor < 0) {
        m_lineAnchor = start;
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
    } else if (start >= m_lineAnchor) {
        c.setPosition(m_lineAnchor);
        c.setPosition(end, QTextCursor::KeepAnchor);
    } else {
        QTextCursor anchorLine(document());
        anchorLine.setPosition(m_lineAnchor);
        c.setPosition(lineEnd(anchorLine));
        c.setPosition(start, QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
}

void CEditorView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    if (event->oldSize().width() != event->size().width())
        m_text->CountInnerLines(); // a new width lays every paragraph out anew
    const QRect r = contentsRect();
    m_margin->setGeometry(r.left(), r.top(), kMarginWidth, viewport()->height());
}

void CEditorView::insertFromMimeData(const QMimeData* source) {
    // Data without any format (an empty X selection under a middle click)
    // would crash the base's insertion.
    if (!source || source->formats().isEmpty())
        return;
    if (source->hasText()) {
        const QString text = source->text();
        // Line separators become line breaks, as Shift+Enter does.
        const QString clean = WithoutLoneHighSurrogates(text).replace(QChar::LineSeparator,
                                                                      QChar::ParagraphSeparator);
        QTextCursor c = textCursor();
        InsertText(c, clean);
        setTextCursor(c);
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

QMimeData* CEditorView::createMimeDataFromSelection() const {
    // The text as the file has it: no split separators, nothing converted
    // (the widget's own gives a no-break space as a space).
    auto* data = new QMimeData;
    data->setText(GetSelectedRawText().replace(QChar::ParagraphSeparator, u'\n'));
    return data;
}

void CEditorView::OnFileOpen() {
    const std::optional<QString> path = CUiServices::Get().ChooseFileToOpen(window());
    if (!path)
        return;
    if (openDocument)
        openDocument(*path);
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
    bool showBarFirst = false;
    m_text->SetWholeText(text, [&](const QString& paneText, qsizetype paragraphs) {
        showBarFirst = ShowScrollBarFirst(paragraphs > kManyParagraphs);
        setPlainText(paneText);
    });
    document()->clearUndoRedoStacks();
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
    if (showBarFirst)
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded); // needed now: it stays
}

// The model's fill into the pane, with what the widget adds: the scroll bar
// shown first, the caret at the start at the end; dropped before it is
// complete, it empties the pane again.
class CEditorView::FillIn : public CEditorView::SliceFill {
public:
    FillIn(CEditorView* view, QStringList slices) : m_view(view) {
        m_showBarFirst = view->ShowScrollBarFirst(true);
        m_fill = view->m_text->StartFillIn(std::move(slices), [view] { view->setPlainText(QString()); });
    }
    ~FillIn() override {
        m_fill.reset();
        if (!m_view || m_finished)
            return;
        m_view->SetWholeText(QString());
        RestoreBar();
    }
    bool Step() override { return m_fill->Step(); }
    qsizetype Done() const override { return m_fill->Done(); }
    std::unique_ptr<QTextDocument> Finish() override {
        m_finished = true;
        m_fill->Finish();
        if (m_view) {
            m_view->moveCursor(QTextCursor::Start);
            RestoreBar();
        }
        return nullptr;
    }

private:
    void RestoreBar() {
        if (m_showBarFirst)
            m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }

    QPointer<CEditorView> m_view;
    std::unique_ptr<SliceFill> m_fill;
    bool m_showBarFirst = false;
    bool m_finished = false;
};

std::unique_ptr<CEditorView::SliceFill> CEditorView::StartFillIn(QStringList slices) {
    return std::make_unique<FillIn>(this, std::move(slices));
}

bool CEditorView::FillInSlices(QStringList& slices,
                               const std::function<bool(qsizetype done)>& between) {
    std::unique_ptr<SliceFill> fill = StartFillIn(std::exchange(slices, {}));
    if (!fill->Run(between))
        return false; // the pane is emptied as the fill goes
    fill->Finish();
    return true;
}

void CEditorView::AdoptDocument(std::unique_ptr<QTextDocument> filled) {
    const bool showBarFirst = ShowScrollBarFirst(filled->blockCount() > kManyParagraphs);
    // The widget deletes the document it made itself; one adopted earlier
    // is deleted here.
    const QPointer<QTextDocument> oldOne = document();
    const bool adoptedEarlier = oldOne->parent() == this;
    QTextDocument* adopted = filled.release();
    adopted->setParent(this);
    m_text->Adopt(adopted, [&] { setDocument(adopted); });
    connect(adopted, &QTextDocument::contentsChange, this, &CEditorView::ShiftLineMarks);
    if (adoptedEarlier && oldOne)
        oldOne->deleteLater();
    moveCursor(QTextCursor::Start);
    if (showBarFirst)
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    emit documentAdopted();
    emit commandStateChanged(); // undo and the like, of the new document
}
