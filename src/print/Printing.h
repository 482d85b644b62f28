#pragma once

// print: printing, the print layout, print preview, the printing box and the
// printer services. May include find, doc, io and res.

#include "doc/CmdTarget.h"

#include <QString>

#include <functional>
#include <memory>

class CEditorView;
class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace print {

class CPrintLayout;

// The printer of the main window `window`: what printer setup chose, used by
// printing and print preview for as long as the window lives.
QPrinter& SessionPrinter(QWidget* window);

// Printer setup (command 57606); true when the user confirmed a change.
bool RunPrintSetup(QWidget* window);

// `text` laid out in the pane's font, tab stops and print margins for `device`.
std::unique_ptr<CPrintLayout> LayoutOf(const CEditorView* view, const QString& text,
                                       QPagedPaintDevice* device);

// Prints the pane without a dialog on the default printer, or on the
// installed printer `printerName` when one is named (`port` is only shown).
// False when not every page was printed; the user has been told why, unless
// they cancelled.
bool PrintDirect(CEditorView* view, const QString& printerName = {}, const QString& port = {});

} // namespace print

// The print commands of one pane: print, print without a dialog, and print
// preview, which then takes the view's place in the routing.
class CPrintCommands : public CCmdTarget {
public:
    explicit CPrintCommands(CEditorView& view);

    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();

    // The number of pages print preview shows side by side (0 when never
    // chosen), kept by the application (set by the application).
    std::function<int()> previewPages;
    std::function<void(int)> setPreviewPages;

private:
    CEditorView& m_view;
};
