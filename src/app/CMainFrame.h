#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include "doc/CmdTarget.h"
#include "print/PreviewHost.h"

#include <QMainWindow>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

class CCheckDock;
class CDictionaryCommands;
class CEditorDoc;
class CEditorView;
class CFindCommands;
class CPageChecker;
class CPrintCommands;
class CTagCommands;
class CLockIndicatorPanes;
class CEncodingPane;
class CToolBar;
class CRecentFileList;
class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolButton;

// The main window: menu bar, status bar and the editing pane. Every command
// from a menu, toolbar or accelerator comes here and is routed on.
class CMainFrame : public QMainWindow, public CCmdTarget, public CPreviewHost {
    Q_OBJECT

public:
    // `app` is the last target of the routing (not owned).
    explicit CMainFrame(CCmdTarget* app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the window for `document`; false when a part of it could not be
    // created.
    bool Create(CEditorDoc* document);

    CEditorView* GetActiveView() const { return m_view; }
    CEditorDoc* GetActiveDocument() const { return m_document; }
    CEncodingPane* EncodingPane() const { return m_encodingPane; }

    // The pane's print commands, whose preview page count the application
    // keeps.
    CPrintCommands& PrintCommands() const { return *m_printCommands; }

    // Offers the command to the view's place (the view, then the command
    // targets of the tags, find, print and dictionary folders, which act on
    // the view), the document, the frame and the application in this order;
    // false when none of them handles it.
    bool RouteCommand(int id);
    // Whether the first handler found for `id` may run now.
    bool IsCommandEnabled(int id);
    // The target whose handler runs for `id` now; nullptr when none has one.
    CCmdTarget* CommandTarget(int id);

    // While print preview shows, it takes the view's place in the routing
    // (nullptr gives the place back to the view).
    void SetPreviewTarget(CCmdTarget* target) override;
    QWidget* HostWindow() override { return this; }

    // The action that stands for command `id` in menus, toolbars and
    // accelerators; created on first use.
    QAction* Action(int id);
    // Enables exactly the commands that a handler accepts now.
    void UpdateCommandUI() override;

    void UpdateRecentFileMenu(const CRecentFileList& files);
    void UpdateTitle();

    // The status bar's message pane.
    QString MessageText() const;
    void SetMessageText(const QString& text) override;

    // Asked when the window is about to close; false keeps it open.
    std::function<bool()> canClose;

    // Bars (app/MainFrameBars.cpp)
    // The steps of building the window that can fail, in their order.
    enum class CreateStep {
        MainToolBar,
        MainToolBarButtons,
        StatusBar,
        Indicators,
        DockMainToolBar,
        ColorBarObject,
        ColorBar,
        ColorBarButtons,
        ColorBarStyle,
        DockColorBar,
    };
    // For tests: the step for which this returns true fails.
    static inline std::function<bool(CreateStep)> s_failCreateStep;

    CToolBar* MainToolBar() const { return m_mainToolBar; }
    CToolBar* ColorBar() const { return m_colorBar; }
    // Shows the lock panes as the keyboard has them now.
    void UpdateIndicators();

    // The HTML check (app/MainFrameCheck.cpp): its checker, its status-bar
    // pane and the dock window of its list.
    CPageChecker* Checker() const { return m_checker; }
    QToolButton* CheckPane() const { return m_checkPane; }
    CCheckDock* CheckDock() const { return m_checkDock; }
    // Switches the check on or off and keeps the choice in the settings.
    void SetCheckEnabled(bool enabled);
    // The HTML colours' status-bar pane (app/MainFrameColouring.cpp); a
    // click switches them; the choice is kept in the settings.
    QToolButton* ColouringPane() const { return m_colouringPane; }
    void SetColouringEnabled(bool enabled);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool CreateMenus();
    bool CreateStatusBar();
    void BindAccelerators();
    void ScheduleCommandUIUpdate();
    // Bars (app/MainFrameBars.cpp)
    bool StepDone(CreateStep step, bool done = true) const;
    bool CreateMainToolBar();
    bool SetIndicators();
    void CreateEncodingPane();
    // A status-bar pane that is a button, after the message pane, before the others.
    QToolButton* AddButtonPane(const QString& objectName, int accessibleName);
    bool DockMainToolBar();
    bool CreateColorBar();
    void OnDestroy();
    void CreateCheck();
    void UpdateCheckPane();
    void ShowCheckList();
    void CreateColouringPane();

    CCmdTarget* m_app;
    CEditorDoc* m_document = nullptr;
    CEditorView* m_view = nullptr;
    CCmdTarget* m_previewTarget = nullptr; // print preview, in the view's place
    // The commands of the folders above the pane, routed right after it.
    std::unique_ptr<CTagCommands> m_tagCommands;
    std::unique_ptr<CFindCommands> m_findCommands;
    std::unique_ptr<CPrintCommands> m_printCommands;
    std::unique_ptr<CDictionaryCommands> m_dictionaryCommands;
    QStatusBar* m_statusBar = nullptr;
    CToolBar* m_mainToolBar = nullptr;
    CToolBar* m_colorBar = nullptr; // created with the window, deleted with it
    CLockIndicatorPanes* m_indicators = nullptr;
    CEncodingPane* m_encodingPane = nullptr;
    QLabel* m_messagePane = nullptr;
    CPageChecker* m_checker = nullptr;
    QToolButton* m_checkPane = nullptr;
    CCheckDock* m_checkDock = nullptr;
    QToolButton* m_colouringPane = nullptr;
    std::map<int, QAction*> m_actions;
    QList<QAction*> m_recentActions;
    QTimer m_idleUpdate;
    bool m_closeAfterLoad = false; // closing waits for a cancelled load to end
    bool m_busyPointer = false; // over the pane while a file loads
    Qt::CursorShape m_paneCursor = Qt::IBeamCursor; // the pane's own pointer
};
