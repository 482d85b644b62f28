#include "print/Printing.h"

#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "doc/UiServices.h"
#include "find/FindReplace.h"
#include "print/CPrintPreview.h"
#include "print/CPrintingDlg.h"
#include "print/PreviewHost.h"
#include "print/PrintLayout.h"
#include "print/PrintServices.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace print {
namespace {

// The printer of one main window, for as long as the window lives.
class CPrinterHolder : public QObject {
public:
    explicit CPrinterHolder(QObject* window) : QObject(window), printer(QPrinter::HighResolution) {
        setObjectName(u"sessionPrinter"_s);
    }
    QPrinter printer;
};

QString DocumentName(const CEditorView* view) {
    const CEditorDoc* doc = view->GetDocument();
    return doc && !doc->GetTitle().isEmpty() ? doc->GetTitle() : res::LoadString(res::IDS_UNTITLED);
}

QString PrinterLabel(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat
               ? res::LoadString(res::IDS_PRINT_FILE_PRINTER)
               : printer.printerName();
}

// Where the job goes, as the box shows it.
QString PortOf(const QPrinter& printer, const QString& port) {
    if (!port.isEmpty())
        return port;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return printer.outputFileName();
    return QPrinterInfo::printerInfo(printer.printerName()).location();
}

PrintOutcome RunJob(CEditorView* view, QPrinter& printer, const QString& text,
                    const QString& printerName, const QString& port) {
    const std::unique_ptr<CPrintLayout> layout = LayoutOf(view, text, &printer);
    CPrintingDlg box(view->window());
    box.SetJob(DocumentName(view), printerName, PortOf(printer, port));
    box.show();
    const PrintOutcome outcome = PrintPages(printer, *layout, &box);
    box.hide();
    if (outcome == PrintOutcome::Failed)
        CUiServices::Get().Warning(res::LoadString(res::IDP_PRINT_FAILED).arg(DocumentName(view)));
    else if (outcome == PrintOutcome::NothingToPrint)
        CUiServices::Get().Warning(res::LoadString(res::IDP_PRINT_NO_PAGES));
    return outcome;
}

void PrepareJob(QPrinter& printer, const CEditorView* view) {
    printer.setDocName(DocumentName(view));
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(0, 0);
}

} // namespace

QPrinter& SessionPrinter(QWidget* window) {
    auto* holder =
        window->findChild<CPrinterHolder*>(u"sessionPrinter"_s, Qt::FindDirectChildrenOnly);
    if (!holder)
        holder = new CPrinterHolder(window);
    return holder->printer;
}

bool RunPrintSetup(QWidget* window) {
    return CPrintServices::Get().RunPrintSetupDialog(SessionPrinter(window), window);
}

std::unique_ptr<CPrintLayout> LayoutOf(const CEditorView* view, const QString& text,
                                       QPagedPaintDevice* device) {
    const qreal tabStopPoints = view->tabStopDistance() * 72.0 / view->logicalDpiX();
    return std::make_unique<CPrintLayout>(text, CEditorView::DefaultFont(), tabStopPoints,
                                          view->PrintMarginsTwips(), device);
}

bool PrintDirect(CEditorView* view, const QString& printerName, const QString& port) {
    CPrintServices& services = CPrintServices::Get();
    const QStringList names = services.PrinterNames();
    QString target = printerName;
    if (names.isEmpty()) {
        CUiServices::Get().Warning(res::LoadString(res::IDP_NO_PRINTER));
        return false;
    }
    if (target.isEmpty()) {
        target = services.DefaultPrinterName();
        if (target.isEmpty() || !names.contains(target)) {
            CUiServices::Get().Warning(res::LoadString(res::IDP_NO_DEFAULT_PRINTER));
            return false;
        }
    } else if (!names.contains(target)) {
        CUiServices::Get().Warning(res::LoadString(res::IDP_PRINTER_NOT_FOUND).arg(target));
        return false;
    }
    QPrinter& printer = SessionPrinter(view->window());
    services.SelectPrinter(printer, target);
    PrepareJob(printer, view);
    return RunJob(view, printer, view->GetWholeText(), target, port) ==
           PrintOutcome::Printed;
}

} // namespace print

CPrintCommands::CPrintCommands(CEditorView& view) : m_view(view) {
    OnCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
    OnCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrintDirect(); });
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
}

void CPrintCommands::OnFilePrint() {
    QWidget* window = m_view.window();
    QPrinter& printer = print::SessionPrinter(window);
    print::PrepareJob(printer, &m_view);
    const bool hasSelection = m_view.textCursor().hasSelection();
    CPrintServices& services = CPrintServices::Get();
    if (!services.RunPrintDialog(printer, window, hasSelection))
        return;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const std::optional<QString> path =
            services.ChoosePrintFile(window, res::LoadString(res::IDS_PRINT_FILE_NAME));
        if (!path)
            return;
        printer.setOutputFileName(*path);
    }
    const QString text = printer.printRange() == QPrinter::Selection && hasSelection
                             ? m_view.GetSelectedRawText()
                             : m_view.GetWholeText();
    print::RunJob(&m_view, printer, text, print::PrinterLabel(printer), QString());
}

void CPrintCommands::OnFilePrintDirect() {
    print::PrintDirect(&m_view);
}

void CPrintCommands::OnFilePrintPreview() {
    QWidget* window = m_view.window();
    auto* host = dynamic_cast<CPreviewHost*>(window);
    if (!host || window->findChild<CPrintPreview*>())
        return;
    find::CloseDialog(&m_view);
    const int pages = previewPages ? previewPages() : 0;
    CPrintPreview* preview =
        CPrintPreview::Open(&m_view, host, print::SessionPrinter(window), pages == 2 ? 2 : 1);
    preview->pagesChanged = [this](int shown) {
        if (setPreviewPages)
            setPreviewPages(shown);
    };
    preview->print = [this] { OnFilePrint(); };
}
