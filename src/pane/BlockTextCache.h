#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include "io/ParagraphWalk.h"

#include <QObject>
#include <QStringList>
#include <QStringView>

class QTextDocument;

// The pane's text as one string per block (its inner line breaks given as
// line breaks, U+2029), in batches of a few hundred blocks, kept up to date from
// the document's change notifications. A copy of the whole text costs a
// reference count, and a change after a copy copies only the batch it touches,
// not a walk over the document.
class CBlockTextCache : public QObject {
    Q_OBJECT

public:
    explicit CBlockTextCache(QTextDocument* document, QObject* parent = nullptr);

    // Follows another document from now on.
    void SetDocument(QTextDocument* document);
    // Follows the document `other` follows, with what `other` has of it;
    // `other` is left with nothing.
    void TakeOver(CBlockTextCache& other);
    // The blocks as they are now (implicitly shared).
    io::ParagraphBatches Blocks();
    // The same, for text that is written out: read again from the document
    // when their length is not the document's (a change not followed).
    io::ParagraphBatches CheckedBlocks();
    // Joins blocks with U+2029 as QTextDocument::toRawText() does, but
    // directly at `splits` (positions in that text).
    static QString Join(const io::ParagraphBatches& blocks, const io::TextSplits& splits = {});

    // The text about to be inserted at the end of the document (valid until
    // the next change): the change takes its lines from it instead of
    // reading them back from the document, where their lengths agree.
    void ExpectAppend(QStringView text) { m_expected = text; }

    // The longest time one change took to follow, a whole new text aside
    // (nanoseconds).
    qint64 LongestUpdateNs() const { return m_longestUpdateNs; }
    void ResetLongestUpdate() { m_longestUpdateNs = 0; }
    // How often the whole text was read again because a change could not be
    // followed.
    int Rebuilds() const { return m_rebuilds; }

private:
    struct Place {
        qsizetype batch;
        qsizetype index;
    };
    // Where block `number` is; the end of the last batch for the block count.
    Place Locate(qsizetype number) const;
    void OnContentsChange(int position, int removed, int added);
    void Rebuild();

    QTextDocument* m_document;
    QStringView m_expected;
    io::ParagraphBatches m_batches;
    qsizetype m_count = 0;
    qint64 m_longestUpdateNs = 0;
    int m_rebuilds = -1; // the first build is no rebuild
};
