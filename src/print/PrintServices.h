#pragma once

// print: printing, the print layout, print preview, the printing box and the
// printer services. May include find, doc, io and res.

#include "doc/UiServices.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QFileDialog;
class QPrintDialog;
class QPrinter;
class QWidget;

// The printers of the machine and the dialogs of printing. Tests put their
// own in place, so that no test ever reaches a real printer.
class CPrintServices {
public:
    virtual ~CPrintServices();

    // The names of the installed printers.
    virtual QStringList PrinterNames() = 0;
    // The default printer; empty when there is none.
    virtual QString DefaultPrinterName() = 0;
    // Points `printer` at the installed printer `name`.
    virtual void SelectPrinter(QPrinter& printer, const QString& name) = 0;
    // The print dialog; true when the user confirms.
    virtual bool RunPrintDialog(QPrinter& printer, QWidget* owner, bool hasSelection) = 0;
    // The printer setup dialog; true when the user confirms.
    virtual bool RunPrintSetupDialog(QPrinter& printer, QWidget* owner) = 0;
    // The file to print into, `proposed` first; nothing when cancelled.
    virtual std::optional<QString> ChoosePrintFile(QWidget* owner, const QString& proposed) = 0;

    static CPrintServices& Get();
    // Installs `services` (not owned) and returns the previous ones.
    static CPrintServices* Set(CPrintServices* services);
};

class CDesktopPrintServices : public CPrintServices {
public:
    QStringList PrinterNames() override;
    QString DefaultPrinterName() override;
    void SelectPrinter(QPrinter& printer, const QString& name) override;
    bool RunPrintDialog(QPrinter& printer, QWidget* owner, bool hasSelection) override;
    bool RunPrintSetupDialog(QPrinter& printer, QWidget* owner) override;
    std::optional<QString> ChoosePrintFile(QWidget* owner, const QString& proposed) override;
};

// A filter string of the form "name|patterns|name|patterns||" as filters of a
// file dialog; "*.*" stands for every file.
std::vector<FileFilter> ParseFilterString(const QString& filters);

// The dialogs as the desktop services configure them (the caller owns them).
QPrintDialog* MakePrintDialog(QPrinter& printer, QWidget* owner, bool hasSelection);
QFileDialog* MakePrintFileDialog(QWidget* owner, const QString& proposed);
