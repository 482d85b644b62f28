#include "doc/PaneMemory.h"

qint64 EstimateOpenCost(qint64 fileBytes, qint64 lines) {
    // At most one UTF-16 code unit per byte; the decoded text stays alive
    // while the pane builds its own copy.
    const qint64 decoded = 2 * fileBytes;
    const qint64 pane = kPaneBytesPerLine * qMax<qint64>(lines, 1) + kPaneBytesPerChar * fileBytes;
    return decoded + pane + kOpenReserve;
}

bool FitsInMemory(qint64 cost, std::optional<qint64> headroom) {
    return !headroom || cost <= *headroom;
}
