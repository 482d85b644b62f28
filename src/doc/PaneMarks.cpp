// Marks on the pane's text: wavy underlines, their signs in the selection
// margin and their tooltips.
#include "doc/CEditorView.h"

#include "doc/PaneColouring.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>

namespace {

const QColor kMarkColor(0xE0, 0x20, 0x20);

bool ByPosition(const CEditorView::LineMark& mark, int position) { return mark.position < position; }

} // namespace

void CEditorView::SetLineMarks(std::vector<LineMark> marks) {
    if (marks.empty() && m_lineMarks.empty())
        return;
    m_lineMarks = std::move(marks);
    viewport()->update();
    MarginWidget()->update();
}

void CEditorView::ShiftLineMarks(int position, int removed, int added) {
    if (m_lineMarks.empty() || removed == added) // a format change moves nothing
        return;
    auto first = std::lower_bound(m_lineMarks.begin(), m_lineMarks.end(), position, ByPosition);
    // The marks in the removed text go with it.
    auto last = std::lower_bound(first, m_lineMarks.end(), position + removed, ByPosition);
    if (removed > 0)
        first = m_lineMarks.erase(first, last);
    for (auto it = first; it != m_lineMarks.end(); ++it)
        it->position += added - removed;
    // A mark before the change that reached into it ends where it begins.
    for (auto it = m_lineMarks.begin(); it != first; ++it)
        if (it->position + it->length > position)
            it->length = std::max(position - it->position, 0) + (removed == 0 ? added : 0);
}

void CEditorView::ForVisibleMarks(
    const std::function<void(const LineMark&, const QTextLine&, qreal, int)>& each) const {
    if (m_lineMarks.empty())
        return;
    const qreal bottom = viewport()->height();
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingGeometry(block).translated(offset);
        if (box.top() > bottom)
            break;
        const int start = block.position();
        const int end = start + block.length();
        const QTextLayout* layout = block.layout();
        if (!block.isVisible() || !layout || layout->lineCount() == 0)
            continue;
        for (auto it = std::lower_bound(m_lineMarks.begin(), m_lineMarks.end(), start, ByPosition);
             it != m_lineMarks.end() && it->position < end; ++it) {
            const QTextLine line = layout->lineForTextPosition(it->position - start);
            if (line.isValid())
                each(*it, line, box.top(), start);
        }
    }
}

void CEditorView::PaintLineMarks(QPainter& painter) const {
    painter.setPen(QPen(kMarkColor, 1));
    painter.setRenderHint(QPainter::Antialiasing, false);
    ForVisibleMarks([&](const LineMark& mark, const QTextLine& line, qreal top, int blockStart) {
        const int from = mark.position - blockStart;
        // To the mark's end, but not past the screen line it starts on.
        const int to = std::min(from + std::max(mark.length, 1),
                                line.textStart() + line.textLength());
        const qreal x1 = line.cursorToX(from) + contentOffset().x();
        const qreal x2 = std::max(line.cursorToX(std::max(to, from + 1)) + contentOffset().x(), x1 + 4);
        const qreal y = top + line.y() + line.ascent() + 1;
        QPainterPath wave(QPointF(x1, y));
        int step = 0;
        for (qreal x = x1 + 2; x <= x2; x += 2)
            wave.lineTo(x, y + (++step % 2 ? 2 : 0));
        painter.drawPath(wave);
    });
}

void CEditorView::PaintMarginMarks(QPainter& painter) const {
    const qreal viewportTop = viewport()->geometry().top() - MarginWidget()->geometry().top();
    ForVisibleMarks([&](const LineMark&, const QTextLine& line, qreal top, int) {
        const qreal y = viewportTop + top + line.y();
        painter.fillRect(QRectF(1, y + 1, MarginWidget()->width() - 3, line.height() - 2), kMarkColor);
    });
}

QString CEditorView::LineMarkTips(int position) const {
    QStringList tips;
    for (auto it = m_lineMarks.begin();
         it != m_lineMarks.end() && it->position <= position; ++it)
        if (position < it->position + std::max(it->length, 1))
            tips << it->tip;
    return tips.join(u'\n');
}

QString CEditorView::MarginTips(int y) const {
    QStringList tips;
    const qreal viewportY = y - (viewport()->geometry().top() - MarginWidget()->geometry().top());
    ForVisibleMarks([&](const LineMark& mark, const QTextLine& line, qreal top, int) {
        if (viewportY >= top + line.y() && viewportY < top + line.y() + line.height())
            tips << mark.tip;
    });
    return tips.join(u'\n');
}

void CEditorView::paintEvent(QPaintEvent* event) {
    m_colouring->BeforePaint(firstVisibleBlock());
    QPlainTextEdit::paintEvent(event);
    if (m_lineMarks.empty())
        return;
    QPainter painter(viewport());
    PaintLineMarks(painter);
}

bool CEditorView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !m_lineMarks.empty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tips = LineMarkTips(cursorForPosition(help->pos()).position());
        if (tips.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(tips, Qt::WhiteSpaceNoWrap), viewport());
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}
