#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/RecoveryJournal.h"

#include <vector>

namespace io {

// A text as the journal writes it: batches of lines joined by U+2029 but at
// the splits, with the length of every batch (its lines and one separator
// after each) in the joined-by-every-separator positions the splits use.
struct TextSnapshot {
    ParagraphBatches batches;
    TextSplits splits;
    std::vector<qint64> batchSizes;
};

// Takes `batches` and `splits`, measuring the batches; a batch `before` also holds
// (the same shared list) is not measured again.
TextSnapshot MakeSnapshot(ParagraphBatches batches, TextSplits splits, const TextSnapshot* before = nullptr);

// The edits that turn the text of `before` into that of `after`, in order
// (each position in the text the edits before it have made). Batches both share
// (the same list, as a copy of a batch that did not change is) are taken as
// equal, so the cost follows the batches that changed.
std::vector<JournalEdit> DiffSnapshots(const TextSnapshot& before, const TextSnapshot& after);

// Applies `edit` to `text`; false (text unchanged) when it does not fit.
bool ApplyEdit(QString& text, const JournalEdit& edit);

} // namespace io
