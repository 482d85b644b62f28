#include "pane/PaneLayout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

void CPaneLayout::documentChanged(int from, int removed, int added) {
    QTextDocument* doc = document();
    const QTextBlock block = doc->findBlock(from);
    const bool inOneParagraph = m_paragraphs == doc->blockCount() && block.isValid() &&
                                block == doc->findBlock(std::max(0, from + removed + added - 1)) &&
                                block.layout()->lineCount() > 0;
    // Its height before the change, from the lines it still has.
    const qreal height = inOneParagraph ? blockBoundingRect(block).height() : 0;
    // Formats set on a layout from here on join the change being laid out
    // (the document forgets the range they add once this returns).
    emit aboutToLayOut(from, removed, added);
    if (inOneParagraph && block.layout()->lineCount() == 0) {
        // Its lines went with the formats set on it. The base class would
        // lay it out twice now: to measure the height it had, and anew.
        if (blockBoundingRect(block).height() == height)
            emit updateBlock(block);
        else
            emit update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
        return;
    }
    QPlainTextDocumentLayout::documentChanged(from, removed, added);
    m_paragraphs = doc->blockCount();
}
