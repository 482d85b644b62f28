#include "pane/BlockTextCache.h"

#include "pane/PaneTextMaker.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextDocument>

#include <utility>

namespace {

constexpr qsizetype kBatch = 512; // blocks per batch; a batch is split at twice that

// A block's text with its inner line breaks as line breaks.
QString LinesOf(QString text) {
    text.replace(QChar::LineSeparator, QChar::ParagraphSeparator); // copies only when found
    return text;
}

} // namespace

CBlockTextCache::CBlockTextCache(QTextDocument* document, QObject* parent)
    : QObject(parent), m_document(document) {
    connect(m_document, &QTextDocument::contentsChange, this, &CBlockTextCache::OnContentsChange);
    Rebuild();
}

void CBlockTextCache::SetDocument(QTextDocument* document) {
    if (document == m_document)
        return;
    disconnect(m_document, nullptr, this, nullptr);
    m_document = document;
    connect(m_document, &QTextDocument::contentsChange, this, &CBlockTextCache::OnContentsChange);
    Rebuild();
}

void CBlockTextCache::TakeOver(CBlockTextCache& other) {
    disconnect(m_document, nullptr, this, nullptr);
    disconnect(other.m_document, nullptr, &other, nullptr);
    m_document = other.m_document;
    m_batches = std::exchange(other.m_batches, {});
    m_count = std::exchange(other.m_count, 0);
    connect(m_document, &QTextDocument::contentsChange, this, &CBlockTextCache::OnContentsChange);
}

void CBlockTextCache::Rebuild() {
    ++m_rebuilds;
    m_batches.clear();
    m_count = m_document->blockCount();
    m_batches.reserve(m_count / kBatch + 1);
    QStringList batch;
    batch.reserve(kBatch);
    for (QTextBlock b = m_document->begin(); b.isValid(); b = b.next()) {
        batch.append(LinesOf(b.text()));
        if (batch.size() == kBatch) {
            m_batches.append(batch);
            batch = QStringList();
            batch.reserve(kBatch);
        }
    }
    if (!batch.isEmpty() || m_batches.isEmpty())
        m_batches.append(batch);
}

CBlockTextCache::Place CBlockTextCache::Locate(qsizetype number) const {
    qsizetype start = 0;
    for (qsizetype r = 0; r < m_batches.size(); ++r) {
        const qsizetype size = m_batches[r].size();
        if (number < start + size)
            return {r, number - start};
        start += size;
    }
    return {m_batches.size() - 1, m_batches.constLast().size()};
}

namespace {

// The blocks QTextCursor::insertText makes of `text`.
QList<QStringView> BlocksOf(QStringView text) {
    QList<QStringView> lines;
    pane::ForEachLine(text, [&](qsizetype start, qsizetype end) {
        lines.append(text.sliced(start, end - start));
    });
    return lines;
}

} // namespace

void CBlockTextCache::OnContentsChange(int position, int removed, int added) {
    QElapsedTimer timer;
    timer.start();
    const int count = m_document->blockCount();
    const int first = m_document->findBlock(position).blockNumber();
    QTextBlock lastBlock = m_document->findBlock(position + added);
    const int last = lastBlock.isValid() ? lastBlock.blockNumber() : count - 1;
    // Blocks before `first` and after `last` are the old ones, shifted.
    const int oldLast = last - (count - int(m_count));
    if (first < 0 || last < first || oldLast < first - 1 || oldLast >= m_count) {
        Rebuild();
        return;
    }
    const auto measured =
        qScopeGuard([&] { m_longestUpdateNs = qMax(m_longestUpdateNs, timer.nsecsElapsed()); });

    Place at = Locate(first);
    QTextBlock b = m_document->findBlockByNumber(first);
    // Text appended at the end, as announced: its lines, the first one
    // continuing the old last block.
    const QStringView expected = std::exchange(m_expected, QStringView());
    QList<QStringView> lines;
    if (!expected.isEmpty() && removed == 0 && first == m_count - 1 && last == count - 1 &&
        at.index < m_batches[at.batch].size()) {
        lines = BlocksOf(expected);
        const QString& before = m_batches[at.batch][at.index];
        QTextBlock check = b;
        bool agree = lines.size() == last - first + 1;
        for (qsizetype k = 0; agree && k < lines.size(); ++k, check = check.next())
            agree = check.length() - 1 == lines[k].size() + (k == 0 ? before.size() : 0);
        if (!agree)
            lines.clear();
    }
    qsizetype next = 0; // the line of `lines` for block b
    const auto textOf = [&](const QTextBlock& block, const QString& old) {
        if (lines.isEmpty())
            return LinesOf(block.text());
        const QStringView line = lines[next];
        return LinesOf(next++ == 0 ? QString(old).append(line) : line.toString());
    };

    // The blocks both have in common are overwritten in place.
    for (qsizetype left = qMin(last, oldLast) - first + 1; left > 0;) {
        QStringList& batch = m_batches[at.batch];
        for (; at.index < batch.size() && left > 0; ++at.index, --left, b = b.next())
            batch[at.index] = textOf(b, batch[at.index]);
        if (left > 0)
            at = {at.batch + 1, 0};
    }
    if (last > oldLast) {
        QStringList& batch = m_batches[at.batch];
        QStringList inserted;
        inserted.reserve(last - oldLast);
        for (int i = oldLast + 1; i <= last; ++i, b = b.next())
            inserted.append(textOf(b, QString()));
        batch = batch.first(at.index) + inserted + batch.sliced(at.index);
        if (batch.size() >= 2 * kBatch) {
            QStringList whole = std::move(batch);
            m_batches.removeAt(at.batch);
            for (qsizetype i = 0; i < whole.size(); i += kBatch)
                m_batches.insert(at.batch + i / kBatch, whole.mid(i, kBatch));
        }
    } else {
        for (qsizetype left = oldLast - last; left > 0;) {
            if (at.index == m_batches[at.batch].size()) {
                at = {at.batch + 1, 0};
                continue;
            }
            QStringList& batch = m_batches[at.batch];
            const qsizetype taken = qMin(left, batch.size() - at.index);
            batch.remove(at.index, taken);
            left -= taken;
            if (batch.isEmpty() && m_batches.size() > 1)
                m_batches.removeAt(at.batch);
        }
    }
    m_count = count;
}

io::ParagraphBatches CBlockTextCache::Blocks() {
    if (m_count != m_document->blockCount())
        Rebuild();
    return m_batches;
}

io::ParagraphBatches CBlockTextCache::CheckedBlocks() {
    io::ParagraphBatches blocks = Blocks();
    qsizetype characters = 0;
    for (const QStringList& batch : blocks)
        for (const QString& line : batch)
            characters += line.size() + 1;
    if (characters != m_document->characterCount()) {
        Rebuild();
        blocks = m_batches;
    }
    return blocks;
}

QString CBlockTextCache::Join(const io::ParagraphBatches& blocks, const io::TextSplits& splits) {
    qsizetype size = 0;
    for (const QStringList& batch : blocks)
        for (const QString& line : batch)
            size += line.size() + 1;
    QString text;
    text.reserve(size);
    for (io::ParagraphWalk walk(blocks, splits); !walk.AtEnd();) {
        if (walk.BreakBefore())
            text += QChar::ParagraphSeparator;
        text += walk.Take();
    }
    return text;
}
