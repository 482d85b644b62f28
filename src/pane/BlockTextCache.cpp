#include "pane/BlockTextCache.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextDocument>

#include <utility>

namespace {

constexpr qsizetype kRun = 512; // blocks per run; a run is split at twice that

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
    m_runs = std::exchange(other.m_runs, {});
    m_count = std::exchange(other.m_count, 0);
    connect(m_document, &QTextDocument::contentsChange, this, &CBlockTextCache::OnContentsChange);
}

void CBlockTextCache::Rebuild() {
    ++m_rebuilds;
    m_runs.clear();
    m_count = m_document->blockCount();
    m_runs.reserve(m_count / kRun + 1);
    QStringList run;
    run.reserve(kRun);
    for (QTextBlock b = m_document->begin(); b.isValid(); b = b.next()) {
        run.append(LinesOf(b.text()));
        if (run.size() == kRun) {
            m_runs.append(run);
            run = QStringList();
            run.reserve(kRun);
        }
    }
    if (!run.isEmpty() || m_runs.isEmpty())
        m_runs.append(run);
}

CBlockTextCache::Place CBlockTextCache::Locate(qsizetype number) const {
    qsizetype start = 0;
    for (qsizetype r = 0; r < m_runs.size(); ++r) {
        const qsizetype size = m_runs[r].size();
        if (number < start + size)
            return {r, number - start};
        start += size;
    }
    return {m_runs.size() - 1, m_runs.constLast().size()};
}

namespace {

// The blocks QTextCursor::insertText makes of `text`: it breaks at CR LF, CR,
// LF, U+2029 and the frame marks.
QList<QStringView> BlocksOf(QStringView text) {
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\n' && c != u'\r' && c != 0x2029 && c != 0xFDD0 && c != 0xFDD1)
            continue;
        lines.append(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append(text.sliced(start));
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
        at.index < m_runs[at.run].size()) {
        lines = BlocksOf(expected);
        const QString& before = m_runs[at.run][at.index];
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
        QStringList& run = m_runs[at.run];
        for (; at.index < run.size() && left > 0; ++at.index, --left, b = b.next())
            run[at.index] = textOf(b, run[at.index]);
        if (left > 0)
            at = {at.run + 1, 0};
    }
    if (last > oldLast) {
        QStringList& run = m_runs[at.run];
        QStringList inserted;
        inserted.reserve(last - oldLast);
        for (int i = oldLast + 1; i <= last; ++i, b = b.next())
            inserted.append(textOf(b, QString()));
        run = run.first(at.index) + inserted + run.sliced(at.index);
        if (run.size() >= 2 * kRun) {
            QStringList whole = std::move(run);
            m_runs.removeAt(at.run);
            for (qsizetype i = 0; i < whole.size(); i += kRun)
                m_runs.insert(at.run + i / kRun, whole.mid(i, kRun));
        }
    } else {
        for (qsizetype left = oldLast - last; left > 0;) {
            if (at.index == m_runs[at.run].size()) {
                at = {at.run + 1, 0};
                continue;
            }
            QStringList& run = m_runs[at.run];
            const qsizetype taken = qMin(left, run.size() - at.index);
            run.remove(at.index, taken);
            left -= taken;
            if (run.isEmpty() && m_runs.size() > 1)
                m_runs.removeAt(at.run);
        }
    }
    m_count = count;
}

io::TextLines CBlockTextCache::Blocks() {
    if (m_count != m_document->blockCount())
        Rebuild();
    return m_runs;
}

io::TextLines CBlockTextCache::CheckedBlocks() {
    io::TextLines blocks = Blocks();
    qsizetype characters = 0;
    for (const QStringList& run : blocks)
        for (const QString& line : run)
            characters += line.size() + 1;
    if (characters != m_document->characterCount()) {
        Rebuild();
        blocks = m_runs;
    }
    return blocks;
}

QString CBlockTextCache::Join(const io::TextLines& blocks, const io::TextSplits& splits) {
    qsizetype size = 0;
    for (const QStringList& run : blocks)
        for (const QString& line : run)
            size += line.size() + 1;
    QString text;
    text.reserve(size);
    for (io::LineWalk walk(blocks, splits); !walk.AtEnd();) {
        if (walk.BreakBefore())
            text += QChar::ParagraphSeparator;
        text += walk.Take();
    }
    return text;
}
