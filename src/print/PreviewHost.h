#pragma once

// print: printing, the print layout, print preview, the printing box and the
// printer services. May include find, doc, io and res.

class CCmdTarget;
class QString;
class QWidget;

// What print preview needs of the window it covers; the main window
// implements it.
class CPreviewHost {
public:
    virtual ~CPreviewHost() = default;

    // The window itself: the preview's parent.
    virtual QWidget* HostWindow() = 0;
    // While the preview shows, it takes the view's place in the routing
    // (nullptr gives the place back).
    virtual void SetPreviewTarget(CCmdTarget* target) = 0;
    // The status bar's message pane.
    virtual void SetMessageText(const QString& text) = 0;
    // Enables exactly the commands that a handler accepts now.
    virtual void UpdateCommandUI() = 0;
};
