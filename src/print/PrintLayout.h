#pragma once

// print: printing, the print layout, print preview, the printing box and the
// printer services. May include find, doc, io and res.

#include <QFont>
#include <QMarginsF>
#include <QRectF>
#include <QString>

#include <initializer_list>
#include <memory>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QTextDocument;

// Pages of the pane's text for a printer: the layout, the painting of one
// page and the loop that prints a job. Nothing here shows a widget.
namespace print {

constexpr double kTwipsPerInch = 1440.0;

// `pattern` with each "%u" replaced by the next of `values`.
QString FormatUnsigned(const QString& pattern, std::initializer_list<unsigned> values);

// The pane's text laid out on the pages of a printer (or of any paged
// device). Coordinates are the device's pixels with the origin at the top
// left corner of the paper.
class CPrintLayout {
public:
    // `text` is the pane's text (line breaks U+2029 or '\n'). The text area is
    // the paper less `marginsTwips`, kept inside the area the device can
    // print on; lines wrap at its width and a line that does not fit on a
    // page starts the next one. Tab stops are every `tabStopPoints` points.
    CPrintLayout(const QString& text, const QFont& font, qreal tabStopPoints,
                 const QMarginsF& marginsTwips, QPagedPaintDevice* device);
    ~CPrintLayout();
    CPrintLayout(const CPrintLayout&) = delete;
    CPrintLayout& operator=(const CPrintLayout&) = delete;

    int PageCount() const;
    QRectF PaperRect() const { return m_paper; }
    QRectF BodyRect() const { return m_body; }
    // Where the paper's corner lies for a painter opened on the device.
    QPointF PaperOrigin() const { return m_paperOrigin; }

    // Paints page `page` (from 1) in paper coordinates: black text, no
    // background.
    void RenderPage(QPainter* painter, int page) const;

    // The laid-out text; a page is BodyRect().height() of its height.
    const QTextDocument& Document() const { return *m_document; }

private:
    std::unique_ptr<QTextDocument> m_document;
    QRectF m_paper;
    QRectF m_body;
    QPointF m_paperOrigin;
};

// Watches a print job page by page.
class CPrintMonitor {
public:
    virtual ~CPrintMonitor();
    // Called before page `page` is printed; false ends the job there, with
    // the pages printed so far.
    virtual bool StartingPage(int page) = 0;
};

enum class PrintOutcome {
    Printed,        // every page went out
    Cancelled,      // the monitor stopped the job; the pages before stay printed
    NothingToPrint, // the chosen page range holds no page
    Failed,         // the printer could not be opened or reported an error
};

// Prints `layout` on `printer`: the printer's page range (or every page),
// its copies (made here when the printer cannot make them itself, collated
// or not) and its page order.
PrintOutcome PrintPages(QPrinter& printer, const CPrintLayout& layout, CPrintMonitor* monitor);

} // namespace print
