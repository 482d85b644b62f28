#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include <QtGlobal>

#include <optional>

// What the shown editing pane costs to hold a text, as measured with
// bench/bench_pane_memory (growth of the data size, rounded up so that the
// estimate stays above every shape it measures): some 560 bytes per
// paragraph, 4 per character, and 32 more per line, shared or not.
constexpr qint64 kPaneBytesPerParagraph = 560;
constexpr qint64 kPaneBytesPerChar = 4;
constexpr qint64 kPaneBytesPerLine = 32;
// Room kept for everything else the program does while it opens a file.
constexpr qint64 kOpenReserve = qint64(16) << 20;

// What opening a file of `fileBytes` bytes in `lines` lines costs at its
// peak, beyond the bytes already read: the decoded text and the pane.
qint64 EstimateOpenCost(qint64 fileBytes, qint64 lines);

// Whether that cost fits into the room left (nothing: no bound known).
bool FitsInMemory(qint64 cost, std::optional<qint64> headroom);
