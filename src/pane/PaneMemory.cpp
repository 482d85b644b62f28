#include "pane/PaneMemory.h"

#include "pane/PaneText.h"

qint64 EstimateOpenCost(qint64 fileBytes, qint64 lines) {
    // At most one UTF-16 code unit per byte; the decoded text stays alive
    // while the pane builds its own copy.
    const qint64 decoded = 2 * fileBytes;
    // A paragraph for each line, or for up to a group of lines with at most
    // kSplitLength characters (a line of more than half of that stands alone).
    const int group = CPaneText::GroupSize(lines);
    const qint64 paragraphs =
        group == 1 ? lines : lines / group + 2 * fileBytes / CPaneText::kSplitLength + 1;
    const qint64 pane = kPaneBytesPerParagraph * qMax<qint64>(paragraphs, 1) +
                        kPaneBytesPerChar * fileBytes + kPaneBytesPerLine * lines;
    return decoded + pane + kOpenReserve;
}

bool FitsInMemory(qint64 cost, std::optional<qint64> headroom) {
    return !headroom || cost <= *headroom;
}
