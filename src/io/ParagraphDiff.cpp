#include "io/ParagraphDiff.h"

#include <QHash>

#include <algorithm>

namespace io {

namespace {

// What tells a batch from another: its list's storage, shared by every copy.
const void* KeyOf(const QStringList& batch) {
    return batch.isEmpty() ? nullptr : batch.constData();
}

bool SameBatch(const QStringList& a, const QStringList& b) {
    return a.isEmpty() ? b.isEmpty() : a.constData() == b.constData();
}

qint64 Measure(const QStringList& batch) {
    qint64 size = 0;
    for (const QString& line : batch)
        size += line.size() + 1;
    return size;
}

qint64 SplitsBefore(const TextSplits& splits, qint64 position) {
    return std::lower_bound(splits.begin(), splits.end(), position) - splits.begin();
}

// Where the text of the lines from `start` on, with the separator before
// them, begins.
qint64 TextPosition(const TextSplits& splits, qint64 start) {
    return start == 0 ? 0 : (start - 1) - SplitsBefore(splits, start - 1);
}

// The lines of batches [from, to), which begin at `start`, and where each begins.
struct Lines {
    std::vector<const QString*> lines;
    std::vector<qint64> starts;
};

Lines Gather(const TextSnapshot& t, qsizetype from, qsizetype to, qint64 start) {
    Lines l;
    for (qsizetype r = from; r < to; ++r) {
        for (const QString& line : t.batches[r]) {
            l.lines.push_back(&line);
            l.starts.push_back(start);
            start += line.size() + 1;
        }
    }
    return l;
}

bool IsSplit(const TextSplits& splits, qint64 position) {
    return std::binary_search(splits.begin(), splits.end(), position);
}

// The text of lines [from, to) of `l`: every line with the separator before
// it (none before the first line of the text, none where a split stands).
QString TextOf(const TextSplits& splits, const Lines& l, size_t from, size_t to) {
    QString text;
    for (size_t k = from; k < to; ++k) {
        const qint64 start = l.starts[k];
        if (start > 0 && !IsSplit(splits, start - 1))
            text += QChar::ParagraphSeparator;
        text += *l.lines[k];
    }
    return text;
}

// Whether line `a` of `x` (in `xs`) and line `b` of `y` are the same text,
// with the same separator before: a line copied unchanged shares its string.
bool SameLine(const Lines& x, const TextSplits& xs, size_t a, const Lines& y,
              const TextSplits& ys, size_t b) {
    const QString& p = *x.lines[a];
    const QString& q = *y.lines[b];
    if (p.size() != q.size() || (p.constData() != q.constData() && p != q))
        return false;
    const qint64 s = x.starts[a], t = y.starts[b];
    return (s == 0) == (t == 0) && (s == 0 || IsSplit(xs, s - 1) == IsSplit(ys, t - 1));
}

// Whether the separators before the lines of [a, a + size) in `x` are splits
// where those of [b, b + size) in `y` are.
bool SameSplits(const TextSplits& x, qint64 a, const TextSplits& y, qint64 b, qint64 size) {
    if (size == 0)
        return true;
    auto i = std::lower_bound(x.begin(), x.end(), a - 1);
    const auto iEnd = std::lower_bound(i, x.end(), a - 1 + size);
    auto j = std::lower_bound(y.begin(), y.end(), b - 1);
    const auto jEnd = std::lower_bound(j, y.end(), b - 1 + size);
    if (iEnd - i != jEnd - j)
        return false;
    for (; i != iEnd; ++i, ++j)
        if (*i - a != *j - b)
            return false;
    return true;
}

// The edit turning `before` into `after` at `position`, without what both
// begin and end with.
JournalEdit Narrowed(qint64 position, const QString& before, const QString& after) {
    qsizetype head = 0;
    const qsizetype shorter = std::min(before.size(), after.size());
    while (head < shorter && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    return {position + head, before.size() - head - tail,
            after.sliced(head, after.size() - head - tail)};
}

} // namespace

TextSnapshot MakeSnapshot(ParagraphBatches batches, TextSplits splits, const TextSnapshot* before) {
    QHash<const void*, qint64> known;
    if (before)
        for (qsizetype r = 0; r < before->batches.size(); ++r)
            if (const void* key = KeyOf(before->batches[r]))
                known.insert(key, before->batchSizes[size_t(r)]);
    TextSnapshot t{std::move(batches), std::move(splits), {}};
    t.batchSizes.reserve(size_t(t.batches.size()));
    for (const QStringList& batch : std::as_const(t.batches)) {
        const auto it = known.constFind(KeyOf(batch));
        t.batchSizes.push_back(it != known.cend() ? *it : Measure(batch));
    }
    return t;
}

std::vector<JournalEdit> DiffSnapshots(const TextSnapshot& before, const TextSnapshot& after) {
    const qsizetype oldCount = before.batches.size();
    const qsizetype newCount = after.batches.size();
    QHash<const void*, qsizetype> oldAt;
    for (qsizetype r = 0; r < oldCount; ++r)
        if (const void* key = KeyOf(before.batches[r]))
            oldAt.insert(key, r);

    std::vector<JournalEdit> edits;
    qsizetype i = 0, j = 0;      // batches
    qint64 oldAt0 = 0, newAt = 0; // where they begin
    while (i < oldCount || j < newCount) {
        // Batches both share; the splits among them must have stayed.
        const qint64 oldStart = oldAt0, newStart = newAt;
        while (i < oldCount && j < newCount && SameBatch(before.batches[i], after.batches[j])) {
            oldAt0 += before.batchSizes[size_t(i++)];
            newAt += after.batchSizes[size_t(j++)];
        }
        if (!SameSplits(before.splits, oldStart, after.splits, newStart, oldAt0 - oldStart)) {
            // Splits moved in text that did not change: the whole text.
            const Lines was = Gather(before, 0, oldCount, 0), is = Gather(after, 0, newCount, 0);
            return {Narrowed(0, TextOf(before.splits, was, 0, was.lines.size()),
                             TextOf(after.splits, is, 0, is.lines.size()))};
        }
        if (i == oldCount && j == newCount)
            break;
        // Batches that changed, up to the next one both share.
        qsizetype iEnd = oldCount, jEnd = j;
        for (; jEnd < newCount; ++jEnd) {
            const auto it = oldAt.constFind(KeyOf(after.batches[jEnd]));
            if (it != oldAt.cend() && *it >= i) {
                iEnd = *it;
                break;
            }
        }
        // Lines at either end both still share are left out.
        const Lines was = Gather(before, i, iEnd, oldAt0);
        const Lines is = Gather(after, j, jEnd, newAt);
        size_t head = 0, oldTail = was.lines.size(), newTail = is.lines.size();
        while (head < oldTail && head < newTail &&
               SameLine(was, before.splits, head, is, after.splits, head))
            ++head;
        while (oldTail > head && newTail > head &&
               SameLine(was, before.splits, oldTail - 1, is, after.splits, newTail - 1)) {
            --oldTail;
            --newTail;
        }
        qint64 newEnd = newAt;
        for (qsizetype r = j; r < jEnd; ++r)
            newEnd += after.batchSizes[size_t(r)];
        const qint64 from = head < is.starts.size() ? is.starts[head] : newEnd;
        JournalEdit edit = Narrowed(TextPosition(after.splits, from),
                                    TextOf(before.splits, was, head, oldTail),
                                    TextOf(after.splits, is, head, newTail));
        if (edit.removed > 0 || !edit.inserted.isEmpty())
            edits.push_back(std::move(edit));
        for (; i < iEnd; ++i)
            oldAt0 += before.batchSizes[size_t(i)];
        j = jEnd;
        newAt = newEnd;
    }
    return edits;
}

bool ApplyEdit(QString& text, const JournalEdit& edit) {
    if (edit.position < 0 || edit.removed < 0 || edit.position > text.size() ||
        edit.removed > text.size() - edit.position)
        return false;
    text.replace(qsizetype(edit.position), qsizetype(edit.removed), edit.inserted);
    return true;
}

} // namespace io
