#include "print/PrintLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include <cmath>

using namespace Qt::StringLiterals;

namespace print {

QString FormatUnsigned(const QString& pattern, std::initializer_list<unsigned> values) {
    QString result;
    auto next = values.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u'u' &&
            next != values.end()) {
            result += QString::number(*next++);
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

CPrintLayout::CPrintLayout(const QString& text, const QFont& font, qreal tabStopPoints,
                           const QMarginsF& marginsTwips, QPagedPaintDevice* device)
    : m_document(std::make_unique<QTextDocument>()) {
    const qreal dpiX = device->logicalDpiX();
    const qreal dpiY = device->logicalDpiY();
    const QPageLayout page = device->pageLayout();
    auto toPixels = [dpiX, dpiY](const QRectF& points) {
        return QRectF(points.x() * dpiX / 72, points.y() * dpiY / 72, points.width() * dpiX / 72,
                      points.height() * dpiY / 72);
    };
    m_paper = toPixels(page.fullRectPoints());
    const QRectF paintable = toPixels(page.paintRectPoints());
    m_paperOrigin = -paintable.topLeft();
    const QMarginsF margins(
        marginsTwips.left() * dpiX / kTwipsPerInch, marginsTwips.top() * dpiY / kTwipsPerInch,
        marginsTwips.right() * dpiX / kTwipsPerInch, marginsTwips.bottom() * dpiY / kTwipsPerInch);
    // Never where the printer cannot print: the narrower of the two.
    m_body = m_paper.marginsRemoved(margins) & paintable;
    if (m_body.width() < 1 || m_body.height() < 1)
        m_body = paintable;

    m_document->setUndoRedoEnabled(false);
    m_document->documentLayout()->setPaintDevice(device);
    m_document->setDefaultFont(font);
    m_document->setDocumentMargin(0);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(tabStopPoints * dpiX / 72);
    m_document->setDefaultTextOption(option);
    m_document->setPageSize(m_body.size());
    m_document->setPlainText(text);
}

CPrintLayout::~CPrintLayout() = default;

int CPrintLayout::PageCount() const {
    return m_document->pageCount();
}

void CPrintLayout::RenderPage(QPainter* painter, int page) const {
    const qreal height = m_body.height();
    const qreal top = (page - 1) * height;
    QAbstractTextDocumentLayout* layout = m_document->documentLayout();
    // Line by line: a page holds exactly the lines that start on it, so no
    // line is printed twice, not even hidden outside the page. The layout
    // starts each page's first line at the page's top, give or take a
    // rounding error.
    auto pageOf = [height](qreal y) { return int(std::floor((y + 0.5) / height)) + 1; };
    const int position = layout->hitTest(QPointF(0, top), Qt::FuzzyHit);
    QTextBlock block = m_document->findBlock(qMax(0, position));
    if (block.previous().isValid())
        block = block.previous();
    painter->save();
    painter->translate(m_body.left(), m_body.top() - top);
    painter->setPen(Qt::black);
    for (; block.isValid(); block = block.next()) {
        const QRectF rect = layout->blockBoundingRect(block);
        if (pageOf(rect.top()) > page)
            break;
        const QTextLayout* lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            if (pageOf(rect.top() + line.y()) == page)
                line.draw(painter, rect.topLeft());
        }
    }
    painter->restore();
}

CPrintMonitor::~CPrintMonitor() = default;

PrintOutcome PrintPages(QPrinter& printer, const CPrintLayout& layout, CPrintMonitor* monitor) {
    const int count = layout.PageCount();
    int from = 1;
    int to = count;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = printer.fromPage();
        to = printer.toPage() > 0 ? qMin(printer.toPage(), count) : count;
    }
    if (from > to)
        return PrintOutcome::NothingToPrint;

    // Copies the printer cannot make are printed here.
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    const bool collate = printer.collateCopies();
    const bool ascending = printer.pageOrder() == QPrinter::FirstPageFirst;
    QList<int> sequence;
    for (int set = 0; set < (collate ? copies : 1); ++set) {
        for (int i = 0; i <= to - from; ++i) {
            const int page = ascending ? from + i : to - i;
            for (int copy = 0; copy < (collate ? 1 : copies); ++copy)
                sequence << page;
        }
    }

    QPainter painter;
    for (int i = 0; i < sequence.size(); ++i) {
        const int page = sequence[i];
        if (monitor && !monitor->StartingPage(page)) {
            if (painter.isActive())
                painter.end();
            return PrintOutcome::Cancelled;
        }
        if (i == 0) {
            if (!painter.begin(&printer))
                return PrintOutcome::Failed;
        } else if (!printer.newPage()) {
            painter.end();
            return PrintOutcome::Failed;
        }
        painter.save();
        painter.translate(layout.PaperOrigin());
        layout.RenderPage(&painter, page);
        painter.restore();
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return PrintOutcome::Failed;
    return PrintOutcome::Printed;
}

} // namespace print
