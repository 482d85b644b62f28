#pragma once

// print: printing, the print layout, print preview, the printing box and the
// printer services. May include find, doc, io and res.

#include "doc/CmdTarget.h"
#include "print/PrintLayout.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class CEditorView;
class CPreviewHost;
class QPrinter;
class QPushButton;
class QScrollArea;

namespace Ui {
class PreviewBar;
}

namespace print {

// What the preview shows: which pages, how many side by side, how large.
struct PreviewState {
    int pageCount = 1;
    int current = 1; // the first page shown, from 1
    int pages = 1;   // 1 or 2 pages side by side when the pages fit the window
    int zoom = 0;    // 0: the pages fit the window; 1 and 2: one page, larger

    static constexpr int kMaxZoom = 2;

    int LastShown() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanToggle() const;
    bool CanZoomIn() const { return zoom < kMaxZoom; }
    bool CanZoomOut() const { return zoom > 0; }
    // Next and previous turn one page; two pages side by side end with the
    // last two pages.
    void Next();
    void Previous();
    void Toggle();
    // The status text: "ﾍﾟｰｼﾞ n" or "ﾍﾟｰｼﾞ n-m".
    QString StatusText() const;
    // The toggle's label: what it switches to.
    QString ToggleText() const;
};

} // namespace print

// Print preview: covers the pane in the main window with page images and a
// bar of buttons until it is closed, then gives the pane back as it was.
// While it shows, the pane takes no input and the main window's commands
// come here in place of the pane, so nothing edits the hidden pane.
class CPrintPreview : public QWidget, public CCmdTarget {
    Q_OBJECT

public:
    // Opens the preview of `view` in `frame`, laid out for `printer`, with
    // `pages` (1 or 2) side by side.
    static CPrintPreview* Open(CEditorView* view, CPreviewHost* host, QPrinter& printer, int pages);

    ~CPrintPreview() override;

    const print::PreviewState& State() const { return m_state; }
    const print::CPrintLayout& Layout() const { return *m_layout; }

    void NextPage();
    void PreviousPage();
    void TogglePages();
    void ZoomIn();
    void ZoomOut();
    // Gives the pane back; the preview goes away.
    void Close();
    // Closes the preview and prints.
    void Print();

    // Told when the number of pages side by side changes.
    std::function<void(int)> pagesChanged;
    // The pane's print command, which Print runs once the preview has closed.
    std::function<void()> print;

signals:
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class PageArea;

    CPrintPreview(CEditorView* view, CPreviewHost* host, QPrinter& printer, int pages);
    // Page Down or Page Up; false for any other key.
    bool TurnPage(QKeyEvent* event);
    void Relayout();
    void Update();

    QPointer<CEditorView> m_view;
    CPreviewHost* m_host;
    QPointer<QWidget> m_frame; // the host's window
    QPrinter& m_printer;
    std::unique_ptr<Ui::PreviewBar> m_bar;
    std::unique_ptr<print::CPrintLayout> m_layout;
    print::PreviewState m_state;
    QScrollArea* m_scroll = nullptr;
    PageArea* m_area = nullptr;
    bool m_closing = false;
};
