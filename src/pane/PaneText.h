#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include "io/ParagraphWalk.h"

#include <QObject>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class CBlockTextCache;
class QTextBlockFormat;
class QTextDocument;

// The text of the editing pane, held in a QTextDocument (no widget here).
// docs/ARCHITECTURE.md has the glossary; the words used here:
//   file line         a line of the file, ended by a line break or the end
//   file text         the file lines joined by line breaks (U+2029): the text
//                     the model hands out; positions in it are text positions
//   paragraph         a block of the document; positions in the document are
//                     pane positions
//   split             a paragraph separator inside a file line: the
//                     paragraphs on either side are parts of one long line;
//                     it is no character of the file text
//   shared paragraph  a paragraph holding several short file lines,
//                     separated by inner line breaks (U+2028), each one
//                     character like the line break it stands for
//   slice             a part of a new text, whole lines, filled in at once
//
// Once the text is settled, every paragraph
//   - holds at most kMaxParagraphLength characters;
//   - is one whole file line, a part of a long line (a line longer than
//     kMaxParagraphLength, cut by LongLineCuts), or several whole short
//     lines sharing it;
//   - records in its block format whether the separator before it and the
//     one after it are splits, and its neighbours' records agree;
//   - is not empty when it is a part of a long line.
// The model settles the text at the end of every edit (the document's
// contentsChanged, once the outermost edit block is closed), joined to the
// edit's undo step (an edit made in no edit block, as a typed character is,
// is an undo step of its own: the settling then makes another); so every
// reader sees it settled, and nothing is left pending.
class CPaneText : public QObject {
    Q_OBJECT

public:
    // A paragraph is laid out whole on every keystroke in it, at a cost that
    // grows with its length: a file line longer than kMaxParagraphLength is
    // held as parts of at most kSplitLength.
    static constexpr int kSplitLength = 1024;
    static constexpr int kMaxParagraphLength = 2 * kSplitLength;
    // Each paragraph costs the document far more than its characters, so the
    // short lines of a text of kGroupFrom lines or more share paragraphs: up
    // to GroupSize(lines) of them, at most kSplitLength characters.
    static constexpr qsizetype kGroupFrom = 65536;
    static constexpr int kMaxGroupLines = 128;
    static int GroupSize(qsizetype lines);

    // The records of a paragraph: whether the separator before it (after
    // it) is a split.
    static bool SplitBefore(const QTextBlock& block);
    static bool SplitAfter(const QTextBlock& block);

    // Follows `document`, whose text is settled (empty, or made here). The
    // document needs a layout (the pane's plain one): without, it tells no
    // change.
    explicit CPaneText(QTextDocument* document, QObject* parent = nullptr);
    ~CPaneText() override;

    QTextDocument* Document() const { return m_document; }

    // Positions: a pane position and a text position differ by the splits
    // before them.
    qsizetype TextPosition(int panePosition) const;
    int PanePosition(qsizetype textPosition) const;
    // The pane positions of the splits, ascending.
    const std::vector<int>& SplitPositions() const;
    // The file text of `paneText`, which starts at pane position `paneStart`:
    // no splits, inner line breaks as U+2029.
    QString HandedOut(QString paneText, int paneStart) const;
    QString WholeText() const;
    // The pane positions of the file line at `at`: its start and its end
    // (before its line break).
    std::pair<int, int> FileLineAt(const QTextCursor& at) const;

    // Puts `text` in place of the selection of `cursor` (a cursor of this
    // document) as one edit step and leaves the cursor after it. "\r\n",
    // "\n", "\r" and U+2029 each make a line break; long lines are cut and
    // short ones share paragraphs as in a new text of as many lines.
    void InsertText(QTextCursor& cursor, const QString& text);
    // Puts a line break, never a split, in place of the selection.
    void InsertLineBreak(QTextCursor& cursor);

    // The paragraph texts, kept up to date with every change (made on first
    // use): a copy of them costs a reference count.
    CBlockTextCache& BlockTexts();
    // The file text to write out, without copying it: the paragraph texts
    // (`checked`: read again where their length is not the document's) and
    // the positions of the splits among them.
    io::ParagraphText Paragraphs(bool checked);

    // A whole new text. `show(paneText, paragraphs)` puts the pane text into
    // the document (the widget's own setPlainText); the long lines are
    // marked and the shared paragraphs counted afterwards.
    void SetWholeText(const QString& text,
                      const std::function<void(const QString& paneText, qsizetype paragraphs)>& show);
    // `text` cut into slices of about `sliceLength` characters of whole lines
    // (a slice ends after a line break, CR LF whole, or at the end); at least
    // one slice. Any thread may call it.
    static QStringList SlicesOf(QString text, qsizetype sliceLength);
    // Filling with slices a slice at a time, the event loop free to run
    // between steps; it ends as SetWholeText(the slices joined) would. Each
    // slice is let go once it is in.
    class SliceFill {
    public:
        virtual ~SliceFill() = default;
        // Appends the next slice; false once all are in.
        virtual bool Step() = 0;
        // The characters in so far.
        virtual qsizetype Done() const = 0;
        // Once Step returned false: the document filled aside (for Adopt),
        // or null when this model's document holds the text.
        virtual std::unique_ptr<QTextDocument> Finish() = 0;
        // All steps, `between` after each but the last; false when it stopped.
        bool Run(const std::function<bool(qsizetype done)>& between);
    };
    // Into this model's document, which `clear` empties first (the widget's
    // own setPlainText). The model takes no edit while a step runs; dropped
    // before it is complete, the fill leaves what came so far (the caller
    // empties it).
    std::unique_ptr<SliceFill> StartFillIn(QStringList slices, const std::function<void()>& clear);
    // Into a document of its own, with this one's font, options and a plain
    // text layout (this one stays as it is meanwhile). The model must
    // outlive it.
    std::unique_ptr<SliceFill> StartFillAside(QStringList slices) const;
    // StartFillAside run at once; null when `between` stopped it.
    std::unique_ptr<QTextDocument> FillAside(QStringList& slices,
                                             const std::function<bool(qsizetype done)>& between);
    // Follows a document FillAside filled from now on; `show` shows it (the
    // widget's setDocument). Its paragraph texts come along.
    void Adopt(QTextDocument* filled, const std::function<void()>& show);

    // Makes the layout count each shared paragraph not laid out yet as one
    // screen line per file line it holds (it counts one until it lays the
    // paragraph out), so that the scroll bar places the lines as they will
    // be. After a new width, which lays every paragraph out anew.
    void CountInnerLines();

private:
    // What a paragraph needs looked at when the text is settled: the record
    // of one separator, and the paragraph's length.
    struct SeparatorCheck {
        QTextCursor at; // in the paragraph to check
        bool before;    // the separator before it (else the one after it)
        bool split;     // what that separator is
    };

    // Properties of a document: whether it holds parts of a long line (one
    // filled aside), and whether its paragraphs were given several lines.
    static constexpr char kHasSplits[] = "velmHasSplits";
    static constexpr char kHasInnerBreaks[] = "velmHasInnerBreaks";

    static QTextBlockFormat SplitFormat(bool before, bool after);
    static void SetSplits(const QTextBlock& block, bool before, bool after);
    // CountInnerLines() from `block` to `end` (exclusive; invalid: to the last).
    static void CountInnerLines(QTextDocument* document, QTextBlock block,
                                const QTextBlock& end = {});

    void Follow(QTextDocument* document);
    void OnContentsChange(int position, int removed, int added);
    // Settles the text: applies the pending checks (the one place that does).
    void Settle();
    void RepairParagraphs();
    void SplitParagraph(const QTextBlock& block);
    // Parts a paragraph at its inner line breaks; the last paragraph made.
    QTextBlock PartAtInnerBreaks(const QTextBlock& block);
    // A whole new text is coming into the document: it is the model's own
    // change until EndNewText; `splits`: whether it holds parts of long lines.
    void BeginNewText(bool splits);
    void EndNewText();
    static void MarkLongLines(QTextDocument* target,
                              const std::vector<std::pair<int, int>>& longLines);
    class SliceAppender;
    class FillIn;
    class FillAsideOf;

    QTextDocument* m_document;
    // True while the model itself changes the document (settling, or a new
    // text coming in): those changes are settled already and not checked.
    bool m_changing = false;
    // False while no paragraph of the text can be a part of a long line
    // (none was cut since the text was set): an edit of short paragraphs
    // then needs no check at all, and there are no splits to find.
    bool m_mayHaveSplits = false;
    // Checks of the edits since the last settling; empty once settled.
    std::vector<SeparatorCheck> m_checks;
    // The splits' pane positions, found when first asked after a change.
    mutable std::optional<std::vector<int>> m_splitPositions;
    std::unique_ptr<CBlockTextCache> m_blockTexts; // made on first use
};

// Where a long line is cut into parts: offsets in the line, each part at
// most kSplitLength long, preferably right after a space or a tag's '>',
// never inside a surrogate pair or between two preserved raw bytes.
std::vector<qsizetype> LongLineCuts(QStringView line);
