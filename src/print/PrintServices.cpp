#include "print/PrintServices.h"

#include "res/StringTable.h"

#include <QEvent>
#include <QFileDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Hides again whatever it watches as soon as it is shown.
class CHiddenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent && watched->isWidgetType())
            static_cast<QWidget*>(watched)->hide();
        return QObject::eventFilter(watched, event);
    }
};

CDesktopPrintServices g_desktop;
CPrintServices* g_current = &g_desktop;

} // namespace

CPrintServices::~CPrintServices() = default;

CPrintServices& CPrintServices::Get() {
    return *g_current;
}

CPrintServices* CPrintServices::Set(CPrintServices* services) {
    CPrintServices* previous = g_current;
    g_current = services ? services : &g_desktop;
    return previous;
}

QStringList CDesktopPrintServices::PrinterNames() {
    return QPrinterInfo::availablePrinterNames();
}

QString CDesktopPrintServices::DefaultPrinterName() {
    return QPrinterInfo::defaultPrinterName();
}

void CDesktopPrintServices::SelectPrinter(QPrinter& printer, const QString& name) {
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(name);
}

bool CDesktopPrintServices::RunPrintDialog(QPrinter& printer, QWidget* owner, bool hasSelection) {
    std::unique_ptr<QPrintDialog> dialog(MakePrintDialog(printer, owner, hasSelection));
    return dialog->exec() == QDialog::Accepted;
}

bool CDesktopPrintServices::RunPrintSetupDialog(QPrinter& printer, QWidget* owner) {
    QPageSetupDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QString> CDesktopPrintServices::ChoosePrintFile(QWidget* owner,
                                                              const QString& proposed) {
    std::unique_ptr<QFileDialog> dialog(MakePrintFileDialog(owner, proposed));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

std::vector<FileFilter> ParseFilterString(const QString& filters) {
    std::vector<FileFilter> result;
    const QStringList parts = filters.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break; // the closing "||"
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern == u"*.*"_s)
                pattern = u"*"_s;
        result.emplace_back(parts[i], patterns);
    }
    return result;
}

QPrintDialog* MakePrintDialog(QPrinter& printer, QWidget* owner, bool hasSelection) {
    auto* dialog = new QPrintDialog(&printer, owner);
    dialog->setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog->setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    dialog->setOption(QAbstractPrintDialog::PrintShowPageSize, true);
    dialog->setOption(QAbstractPrintDialog::PrintSelection, hasSelection);
    dialog->setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // The file to print into is asked for afterwards, under its own title:
    // the dialog's own file name field stays hidden, whatever it shows.
    auto* keeper = new CHiddenKeeper(dialog);
    for (const char* name : {"filename", "fileBrowser", "lOutput"}) {
        if (QWidget* w = dialog->findChild<QWidget*>(QLatin1StringView(name))) {
            w->hide();
            w->installEventFilter(keeper);
        }
    }
    return dialog;
}

QFileDialog* MakePrintFileDialog(QWidget* owner, const QString& proposed) {
    auto* dialog = new QFileDialog(owner);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setWindowTitle(res::LoadString(res::IDS_PRINT_TO_FILE_TITLE));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(u"prn"_s);
    SetFileDialogFilters(dialog, ParseFilterString(res::LoadString(res::IDS_PRINT_FILE_FILTER)));
    if (!proposed.isEmpty())
        dialog->selectFile(proposed);
    return dialog;
}
