#pragma once

// doc: the document, the editing pane, its load, routing, the
// seams to the user. May include pane, io and res.

#include "doc/CmdTarget.h"
#include "pane/PaneText.h"

#include <QElapsedTimer>
#include <QMarginsF>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CBlockTextCache;
class CPaneColouring;
class CEditorDoc;
class QKeyEvent;
class QPainter;
class QTextBlock;
class QTextLine;

// The editing pane's widget: it shows the text its model (CPaneText) holds,
// the only copy of the document's text, and asks the model for everything
// about it. Every command is offered to the view first.
class CEditorView : public QPlainTextEdit, public CCmdTarget {
    Q_OBJECT

public:
    explicit CEditorView(QWidget* parent = nullptr);
    ~CEditorView() override;

    CEditorDoc* GetDocument() const { return m_document; }
    void SetDocument(CEditorDoc* document) { m_document = document; }

    // Sets the pane up for a new or newly opened document.
    void OnInitialUpdate();

    // The selected characters, line breaks as "\r\n"; empty without a selection.
    QString GetSelectedText() const;
    // The selected characters, line breaks as U+2029.
    QString GetSelectedRawText() const;

    // Puts `text` in place of the selection (at the caret when nothing is
    // selected) and leaves the caret after it with nothing selected. "\r\n",
    // "\n" and "\r" each make a line break. Without `canUndo` the replacement
    // is no undo step, and earlier steps can no longer be undone.
    void ReplaceSelection(const QString& text, bool canUndo);

    // The pane's text model: what the view shows and hands out.
    CPaneText& Model() { return *m_text; }
    const CPaneText& Model() const { return *m_text; }

    // The model's own, for the callers that reach it through the view.
    // The whole text, lines separated by U+2029, for writing it out.
    QString GetWholeText() const { return m_text->WholeText(); }
    CBlockTextCache& BlockTexts() { return m_text->BlockTexts(); }
    static constexpr int kSplitLength = CPaneText::kSplitLength;
    static constexpr int kMaxParagraphLength = CPaneText::kMaxParagraphLength;
    static constexpr qsizetype kGroupFrom = CPaneText::kGroupFrom;
    static constexpr int kMaxGroupLines = CPaneText::kMaxGroupLines;
    static int GroupSize(qsizetype lines) { return CPaneText::GroupSize(lines); }
    // Whether `block` goes on with the file line of the paragraph before it
    // (the separator before it is a split).
    static bool ContinuesLine(const QTextBlock& block) { return CPaneText::SplitBefore(block); }
    qsizetype TextPosition(int panePosition) const { return m_text->TextPosition(panePosition); }
    int PanePosition(qsizetype textPosition) const { return m_text->PanePosition(textPosition); }
    const std::vector<int>& SplitPositions() const { return m_text->SplitPositions(); }
    void InsertText(QTextCursor& cursor, const QString& text) { m_text->InsertText(cursor, text); }
    static QStringList SlicesOf(QString text, qsizetype sliceLength) {
        return CPaneText::SlicesOf(std::move(text), sliceLength);
    }
    // Replaces the whole text of a freshly loaded or new document; clears the
    // undo history and the modified flag.
    void SetWholeText(const QString& text);
    // Ends as SetWholeText(the slices joined), a slice at a time (see
    // CPaneText::FillInSlices); when `between` stopped it, the pane is left
    // empty and false returned. The pane takes no edit meanwhile; the caret
    // stays at the start.
    bool FillInSlices(QStringList& slices, const std::function<bool(qsizetype done)>& between);
    std::unique_ptr<QTextDocument> FillAside(QStringList& slices,
                                             const std::function<bool(qsizetype done)>& between) {
        return m_text->FillAside(slices, between);
    }
    // Shows a document FillAside filled in place of the pane's one, which is
    // let go: unmodified, no undo history, the caret at the start. Emits
    // documentAdopted.
    void AdoptDocument(std::unique_ptr<QTextDocument> filled);
    // Filling with slices a slice at a time, the event loop free to run
    // between steps: into the pane (StartFillIn, as FillInSlices: dropped
    // before it is complete, it leaves the pane empty) or into a document of
    // its own (StartFillAside, as FillAside). Each slice is let go once it
    // is in. The pane must outlive a fill aside.
    using SliceFill = CPaneText::SliceFill;
    std::unique_ptr<SliceFill> StartFillIn(QStringList slices);
    std::unique_ptr<SliceFill> StartFillAside(QStringList slices) const {
        return m_text->StartFillAside(std::move(slices));
    }
    bool FillInSlices(const QString& text, qsizetype sliceLength,
                      const std::function<bool(qsizetype done)>& between) {
        QStringList slices = SlicesOf(text, sliceLength);
        return FillInSlices(slices, between);
    }

    // Page margins for printing, in twips (1/1440 inch).
    QMarginsF PrintMarginsTwips() const { return m_printMarginsTwips; }

    // The pane's font: "FixedSys", whichever face stands in for it.
    static QFont DefaultFont();

    // Whether `event` is one of the main window's accelerators, which the
    // pane leaves to the command routing.
    static bool IsAcceleratorKey(const QKeyEvent* event);

    // The HTML colours and the matching-tag marks (doc/PaneColouring.cpp).
    CPaneColouring* Colouring() const { return m_colouring; }

    // Runs the application's open-document operation (set by the application).
    std::function<void(const QString&)> openDocument;

    // Marks the whole pane for repainting, background erased.
    void Invalidate();

    // Marks on the text: a wavy underline over `length` characters from
    // `position` (in the pane's document), a mark beside its line in the
    // selection margin, `tip` (plain text) as the tooltip of both. They move with the
    // text as it changes before them; one whose text is removed goes.
    struct LineMark {
        int position = 0;
        int length = 0;
        QString tip;
        int id = 0; // the caller's own number for it
    };
    // Replaces the marks; `marks` ascending by position.
    void SetLineMarks(std::vector<LineMark> marks);
    const std::vector<LineMark>& LineMarks() const { return m_lineMarks; }
    // The tooltips of the marks at pane position `position`, one a line.
    QString LineMarkTips(int position) const;

    // The pane's own command handlers. The tag, dictionary, find and print
    // commands act on the pane too, from command targets of their folders
    // that the main window routes to right after the view.
    void OnFileOpen();

signals:
    // The pane shows another QTextDocument (AdoptDocument): whatever watched
    // the old one watches this one now.
    void documentAdopted();
    // Something that decides which commands are available has changed.
    void commandStateChanged();
    // An accelerator key is about to be matched against the commands.
    void acceleratorPending();
    // The whole pane was marked for repainting.
    void repaintRequested();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    class SelectionMargin;
    friend class SelectionMargin;

    void BindCommands();
    void SelectLinesTo(int y, bool extend);
    void ExtendSelectionByWords(const QPoint& pos);

    // Keys (doc/PaneKeys.cpp)
    // The separator inside a long line is no character to step over or delete.
    void StepOverSplit(const QKeyEvent* event);
    void InsertLineBreak();
    void SelectFileLine(const QTextCursor& at);
    // Word-wise moves and deletions stop at an inner line break as they stop
    // at a paragraph's end; false when the key is none or goes past none.
    bool WordKeyAtInnerBreak(const QKeyEvent* event);
    // While the result lives, a character typed in overwrite mode before an
    // inner line break (nothing selected) goes in before it: overwrite mode
    // is off meanwhile.
    struct OverwriteBack {
        void operator()(CEditorView* view) const { view->setOverwriteMode(true); }
    };
    using OverwriteGuard = std::unique_ptr<CEditorView, OverwriteBack>;
    OverwriteGuard KeepInnerBreak();
    // A selection made with the keyboard is offered as the primary
    // selection, as the widget does.
    void OfferSelection();
    // Shows the vertical scroll bar for good before a text of many
    // paragraphs comes, when it is not shown yet; true when it did (the
    // caller sets it back to as needed afterwards).
    bool ShowScrollBarFirst(bool manyParagraphs);
    class FillIn;

    // Marks (doc/PaneMarks.cpp)
    void ShiftLineMarks(int position, int removed, int added);
    // Calls `each` with every mark on the screen, its screen line and that
    // line's top in viewport coordinates.
    void ForVisibleMarks(const std::function<void(const LineMark&, const QTextLine&, qreal top,
                                                  int blockPosition)>& each) const;
    void PaintLineMarks(QPainter& painter) const;
    void PaintMarginMarks(QPainter& painter) const;
    QString MarginTips(int y) const;
    QWidget* MarginWidget() const;

    // Paging (doc/PaneKeys.cpp)
    // Handles PageUp and PageDown, with Shift or not; false for other keys.
    bool PageKey(const QKeyEvent* event);
    void Page(bool down, QTextCursor::MoveMode mode);
    qreal CaretTop(const QTextCursor& cursor) const;
    void SkipPassedLines(QTextCursor& cursor, QTextCursor::MoveMode mode, qreal lastY, bool down);
    void ScrollToLine(const QTextBlock& block, int line);

    qreal m_pageCaretY = 0;         // the caret's height on the screen when paging began
    bool m_pageCaretYValid = false; // the caret was last moved by paging

    // Repaints, after a change inside one paragraph that kept its height,
    // the screen lines of the file lines the change touched instead of the
    // whole paragraph (doc/CEditorView.cpp).
    void TakeOverParagraphRepaints();
    void RepaintChangedLines(const QTextBlock& block);
    struct LaidOutChange {
        int position;
        int added;
    };
    std::optional<LaidOutChange> m_laidOutChange; // the change being laid out

    // Whether the clipboard holds text that could be pasted, read again only
    // when it changes: the commands' states are asked after every key, and
    // on X11 asking the clipboard is a round trip to the server.
    std::optional<bool> m_clipboardCanPaste;

    std::vector<LineMark> m_lineMarks;
    std::unique_ptr<CPaneText> m_text;
    CEditorDoc* m_document = nullptr;
    SelectionMargin* m_margin = nullptr;
    CPaneColouring* m_colouring = nullptr;
    QMarginsF m_printMarginsTwips;
    int m_dragAnchor = -1;       // where a plain left-button drag started
    int m_lineAnchor = -1;       // where a drag in the selection margin started
    QElapsedTimer m_sinceDoubleClick; // a press soon after it is a triple click
    QPointF m_doubleClickAt;
};

// Text with every lone high surrogate replaced by U+FFFD, so that no lone
// high surrogate can pair with a preserved raw byte that follows it.
QString WithoutLoneHighSurrogates(QString text);
