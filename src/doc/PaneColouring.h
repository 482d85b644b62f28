#pragma once

// doc: the document, the editing pane, the command table and routing, the
// seams to the user. May include pane, io and res.

#include "pane/HtmlLexer.h"
#include "pane/LexStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QTimer>

#include <vector>

class CEditorView;
class QTextBlock;
class QTextDocument;

// The pane's HTML colours and its matching-tag marks. Only the paragraphs
// about to be painted are lexed and given colours, on their layouts (the
// document's text and formats stay plain: saving, the journal and printing
// see none of it); the lexer's end state of each paragraph is kept, so an
// edit lexes again only the paragraphs whose start it changed, the rest of
// a long cascade in slices on the event loop.
class CPaneColouring : public QObject {
    Q_OBJECT

public:
    explicit CPaneColouring(CEditorView* view);

    bool IsEnabled() const { return m_enabled; }
    // Off: the pane is one colour again and nothing is lexed.
    void SetEnabled(bool enabled);

    // Colours the paragraphs from `first` (the first one visible) down to a
    // little past the bottom of the viewport. Called before each paint.
    void BeforePaint(const QTextBlock& first);

    // Paragraphs lexed so far, and by the last paint (for measuring).
    qint64 LexedParagraphs() const { return m_lexed; }
    qint64 LexedByLastPaint() const { return m_lexedByPaint; }
    // Whether a cascade still goes on in slices.
    bool IsBusy() const { return m_slices.isActive(); }
    // Notes the input method's text at the caret in `block` and its marks,
    // after each of its events: the colours go around them.
    void TakePreedit(const QTextBlock& block);
    // Whether the change being laid out in `block` left the colours of its
    // other file lines as they were (then only the changed lines need paint).
    bool KeptOtherLines(const QTextBlock& block) const;

protected:
    // Notes the part of the pane a paint is for.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Attach();
    void OnContentsChange(int position, int removed, int added);
    // Colours a changed paragraph on the screen before it is laid out, so
    // that it is laid out once, with its colours.
    void OnAboutToLayOut(int from, int removed, int added);
    // Lexes one paragraph from `start`: the state the next one starts in.
    pane::LexState LexParagraph(const QTextBlock& block, pane::LexState start,
                                std::vector<pane::LexSpan>* spans);
    // Lexes on from the mark, up to paragraph `to` or for `budget`
    // characters; true when it got there.
    bool CatchUp(int to, qsizetype budget);
    void Slice();
    // The next slice, after a pause in typing.
    void ScheduleSlice();
    // What a paragraph's colours were made from (its text, its start state,
    // how it ends), kept in its user state.
    int Stamp(const QTextBlock& block, const pane::LexState& start) const;
    // Lexes a paragraph when its stamp is not its own and gives its layout
    // the colours; true when they changed (the layout is to be made again).
    bool Colour(const QTextBlock& block);
    // Lets the document's layout take the formats set since the last call,
    // telling nobody else: the text did not change.
    void Flush(int from);
    void ClearAll();
    void ShowMatchingTag();
    // Marks the tag at the caret and its partner, looking `reach` characters either way.
    void MatchTag(qsizetype reach);

    CEditorView* m_view;
    QPointer<QTextDocument> m_document;
    pane::CLexStore m_store;
    bool m_enabled = true;
    QTimer m_slices;
    QElapsedTimer m_sinceEdit;
    QTimer m_farMatch; // the search for a partner beyond the near text
    int m_guessedFrom = -1; // the first paragraph shown with a guessed start state
    int m_shownFrom = 0;    // the paragraphs coloured for the screen
    int m_shownTo = 0;
    qint64 m_lexed = 0;
    qint64 m_lexedByPaint = 0;
    int m_generation = 0; // of the stamps
    std::vector<pane::LexSpan> m_spans;
    std::vector<QTextCharFormat> m_formats; // by pane::HtmlClass
    QRegion m_painting; // what the paint under way covers
    int m_keptOtherLinesOf = -1; // the paragraph KeptOtherLines holds for
    int m_preeditOf = -1; // the paragraph with the input method's text
    QList<QTextLayout::FormatRange> m_preeditFormats; // and the input method's marks
};
