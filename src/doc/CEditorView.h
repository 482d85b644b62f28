#pragma once

// doc: the document, the editing pane, the command table and routing, the
// seams to the user. May include io and res.

#include "doc/CmdTarget.h"
#include "io/RecoveryJournal.h"

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

// The editing pane: the document's text lives here and nowhere else. Every
// command is offered to the view first.
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

    // The whole text, lines separated by U+2029, for writing it out.
    QString GetWholeText() const;
    // The text as one string per paragraph, kept up to date with every
    // change (made on first use): a copy of it costs a reference count.
    CBlockTextCache& BlockTexts() const;
    // The text to write out: its paragraphs from BlockTexts (`checked`: read
    // again where their length is not the document's) and the positions of
    // the splits between them, taken after the repairs still pending.
    struct TextRuns {
        io::TextLines blocks;
        io::TextSplits splits;
    };
    TextRuns Runs(bool checked) const;

    // A file line longer than kMaxParagraphLength is held as several
    // paragraphs of the pane's document, each at most kSplitLength long (the
    // cost of laying a paragraph out grows with its length, not with what is
    // visible); a paragraph that grows beyond kMaxParagraphLength is cut
    // again. The paragraphs after the first continue the line: the
    // separators between them are splits, no line breaks, and every text the
    // view hands out leaves them out. Positions in that text and in the
    // pane's document differ by the split separators before them.
    static constexpr int kSplitLength = 1024;
    static constexpr int kMaxParagraphLength = 2 * kSplitLength;
    // Each paragraph costs the document far more than its characters, so
    // the short lines of a text of many lines share paragraphs: up to
    // GroupSize(lines) of them, at most kSplitLength characters, separated
    // by inner line breaks (U+2028, where the layout breaks a line). A text
    // of fewer than kGroupFrom lines keeps a paragraph for each line. Every
    // text the view hands out has an inner line break as a line break
    // (U+2029); a paragraph that grows beyond kMaxParagraphLength is parted
    // at its inner line breaks again.
    static constexpr qsizetype kGroupFrom = 65536;
    static constexpr int kMaxGroupLines = 128;
    static int GroupSize(qsizetype lines);
    // Whether `block` goes on with the file line of the paragraph before it
    // (the separator before it is a split).
    static bool ContinuesLine(const QTextBlock& block);
    qsizetype TextPosition(int panePosition) const;
    // The pane positions of the split separators, ascending (pending
    // repairs applied first).
    const std::vector<int>& SplitPositions() const;
    // The pane position of a position in the text handed out.
    int PanePosition(qsizetype textPosition) const;
    // Puts `text` in place of the selection of `cursor` (a cursor of this
    // pane) as one edit step and leaves the cursor after it. "\r\n", "\n",
    // "\r" and U+2029 each make a line break; long lines are split and
    // paragraphs grown too long repaired as above, in that step.
    void InsertText(QTextCursor& cursor, const QString& text);
    // Replaces the whole text of a freshly loaded or new document; clears the
    // undo history and the modified flag.
    void SetWholeText(const QString& text);
    // `text` cut into slices of about `sliceLength` characters of whole
    // lines (a slice ends after a line break, CR LF whole, or at the end);
    // at least one slice. Touches no widget: any thread may call it.
    static QStringList SlicesOf(QString text, qsizetype sliceLength);
    // Ends as SetWholeText(the slices joined), a slice at a time, each
    // released once it is in; `between` runs after each slice but the last
    // with the characters done so far, and returns false to stop: the pane
    // is then left empty and false returned. The pane takes no edit
    // meanwhile; the caret stays at the start.
    bool FillInSlices(QStringList& slices, const std::function<bool(qsizetype done)>& between);
    // Fills a document of its own, not shown, in the same way (the pane
    // keeps its document meanwhile); null when `between` stopped it.
    std::unique_ptr<QTextDocument> FillAside(QStringList& slices,
                                             const std::function<bool(qsizetype done)>& between);
    // Shows a document FillAside filled in place of the pane's one, which is
    // let go: unmodified, no undo history, the caret at the start. Emits
    // documentAdopted.
    void AdoptDocument(std::unique_ptr<QTextDocument> filled);
    // Filling with slices a slice at a time, the event loop free to run
    // between steps: into the pane (StartFillIn, as FillInSlices: dropped
    // before it is complete, it leaves the pane empty) or into a document of
    // its own (StartFillAside, as FillAside). Each slice is let go once it
    // is in. The pane must outlive a fill aside.
    class SliceFill {
    public:
        virtual ~SliceFill() = default;
        // Appends the next slice; false once all are in.
        virtual bool Step() = 0;
        // The characters in so far.
        virtual qsizetype Done() const = 0;
        // Once Step returned false: the document filled aside (for
        // AdoptDocument), or null when the pane holds the text.
        virtual std::unique_ptr<QTextDocument> Finish() = 0;
        // All steps, `between` after each but the last; false when it stopped.
        bool Run(const std::function<bool(qsizetype done)>& between);
    };
    std::unique_ptr<SliceFill> StartFillIn(QStringList slices);
    std::unique_ptr<SliceFill> StartFillAside(QStringList slices) const;
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

    // Long lines (doc/PaneLines.cpp)
    struct SeparatorCheck {
        QTextCursor at;     // in the paragraph to check
        bool before;        // the separator before it (else the one after it)
        bool split;         // what that separator is
    };
    void OnContentsChange(int position, int removed, int added);
    // The text handed out for the pane's text from `paneStart`: no split
    // separators, inner line breaks as U+2029.
    QString HandedOut(QString paneText, int paneStart) const;
    void StepOverSplit(const QKeyEvent* event);
    void InsertLineBreak();
    void ApplyPendingRepairs();
    void RepairParagraphs();
    void SplitParagraph(const QTextBlock& block);
    // Parts a paragraph at its inner line breaks; the last paragraph made.
    QTextBlock PartAtInnerBreaks(const QTextBlock& block);
    // Marks the paragraphs of each long line (first paragraph, count) as
    // the pieces of one line.
    void MarkLongLines(const std::vector<std::pair<int, int>>& longLines) {
        MarkLongLines(document(), longLines);
    }
    static void MarkLongLines(QTextDocument* target, const std::vector<std::pair<int, int>>& longLines);
    class SliceAppender;
    class FillIn;
    class FillAsideOf;
    void SelectFileLine(const QTextCursor& at);
    // Counts each paragraph not laid out as one screen line for each of
    // its file lines, where paragraphs were given several.
    void CountInnerLines();
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
    // A whole new text is coming: the view's own changes until it is in
    // (m_repairing, set back by the caller), no checks pending, and whether
    // it holds split lines.
    void BeginNewText(bool splits);

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

    // Paging (doc/PanePaging.cpp)
    // Handles PageUp and PageDown, with Shift or not; false for other keys.
    bool PageKey(const QKeyEvent* event);
    void Page(bool down, QTextCursor::MoveMode mode);
    qreal CaretTop(const QTextCursor& cursor) const;
    void SkipPassedLines(QTextCursor& cursor, QTextCursor::MoveMode mode, qreal lastY, bool down);
    void ScrollToLine(const QTextBlock& block, int line);

    bool m_mayHaveSplits = false; // a split was made since the text was set
    bool m_repairing = false;     // the view itself is changing the paragraphs
    bool m_repairPosted = false;
    std::vector<SeparatorCheck> m_checks;
    mutable std::vector<int> m_splitPositions; // pane positions of split separators
    mutable bool m_splitPositionsValid = false;
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
    mutable std::unique_ptr<CBlockTextCache> m_blockTexts;
    CEditorDoc* m_document = nullptr;
    SelectionMargin* m_margin = nullptr;
    CPaneColouring* m_colouring = nullptr;
    QMarginsF m_printMarginsTwips;
    int m_dragAnchor = -1;       // where a plain left-button drag started
    int m_lineAnchor = -1;       // where a drag in the selection margin started
    QElapsedTimer m_sinceDoubleClick; // a press soon after it is a triple click
    QPointF m_doubleClickAt;
};

// Where a long line is cut into paragraphs: offsets in the line, each
// paragraph at most kSplitLength long, preferably right after a space or a
// tag's '>', never inside a surrogate pair or between two preserved raw bytes.
std::vector<qsizetype> LongLineCuts(QStringView line);

// Text with every lone high surrogate replaced by U+FFFD, so that no lone
// high surrogate can pair with a preserved raw byte that follows it.
QString WithoutLoneHighSurrogates(QString text);
