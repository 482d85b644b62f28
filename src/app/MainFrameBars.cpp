// The main frame's toolbars and the lock panes of its status bar.
#include "app/CMainFrame.h"

#include "app/CToolBar.h"
#include "app/EncodingPane.h"
#include "app/LockIndicators.h"
#include "doc/CEditorDoc.h"
#include "res/StringTable.h"
#include "res/Toolbars.h"

#include <QStatusBar>
#include <QToolButton>

#include <new>

using namespace Qt::StringLiterals;

bool CMainFrame::StepDone(CreateStep step, bool done) const {
    return done && !(s_failCreateStep && s_failCreateStep(step));
}

bool CMainFrame::CreateMainToolBar() {
    // No View menu brings a hidden bar back, so there is no menu to hide one.
    setContextMenuPolicy(Qt::NoContextMenu);

    m_mainToolBar = new CToolBar(res::LoadString(res::IDS_MAIN_TOOLBAR_TITLE), this);
    m_mainToolBar->setObjectName(u"m_mainToolBar"_s);
    m_mainToolBar->SetFlat(true);
    m_mainToolBar->SetGripper(true);
    if (!StepDone(CreateStep::MainToolBar))
        return false;
    return StepDone(
        CreateStep::MainToolBarButtons,
        m_mainToolBar->LoadToolBar(res::MainToolBar(), [this](int id) { return Action(id); }));
}

bool CMainFrame::SetIndicators() {
    CreateEncodingPane();
    m_indicators = new CLockIndicatorPanes(m_statusBar);
    return StepDone(CreateStep::Indicators);
}

// Left of the lock panes: the document's encoding, with its menu.
void CMainFrame::CreateEncodingPane() {
    m_encodingPane = new CEncodingPane(m_statusBar);
    m_statusBar->addPermanentWidget(m_encodingPane);
    if (!m_document)
        return;
    const auto show = [this] {
        m_encodingPane->setText(m_document->EncodingText());
        m_encodingPane->SetReopenEnabled(!m_document->GetPathName().isEmpty());
    };
    connect(m_document, &CEditorDoc::encodingChanged, m_encodingPane, show);
    connect(m_document, &CEditorDoc::pathNameSet, m_encodingPane, show);
    connect(m_document, &CEditorDoc::loadStarted, m_encodingPane, [this] { m_encodingPane->setEnabled(false); });
    connect(m_document, &CEditorDoc::loadEnded, m_encodingPane, [this] { m_encodingPane->setEnabled(true); });
    connect(m_encodingPane, &CEncodingPane::reopenChosen, m_document,
            [this](io::Encoding encoding) { m_document->ReopenInEncoding(encoding); });
    connect(m_encodingPane, &CEncodingPane::convertChosen, m_document,
            [this](io::Encoding encoding) { m_document->ConvertToEncoding(encoding); });
    show();
}

QToolButton* CMainFrame::AddButtonPane(const QString& objectName, int accessibleName) {
    auto* pane = new QToolButton(m_statusBar);
    pane->setObjectName(objectName);
    pane->setAccessibleName(res::LoadString(accessibleName));
    pane->setAutoRaise(true);
    pane->setFocusPolicy(Qt::NoFocus);
    m_statusBar->insertPermanentWidget(1, pane);
    return pane;
}

void CMainFrame::UpdateIndicators() {
    if (m_indicators)
        m_indicators->Refresh();
}

bool CMainFrame::DockMainToolBar() {
    m_mainToolBar->setMovable(true);
    m_mainToolBar->setFloatable(true);
    m_mainToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, m_mainToolBar);
    return StepDone(CreateStep::DockMainToolBar);
}

bool CMainFrame::CreateColorBar() {
    m_colorBar = new (std::nothrow) CToolBar(res::LoadString(res::IDS_COLOR_BAR_TITLE), this);
    if (!StepDone(CreateStep::ColorBarObject, m_colorBar != nullptr))
        return false;
    m_colorBar->setObjectName(u"m_colorBar"_s);
    m_colorBar->SetFlat(false);
    m_colorBar->SetGripper(false);
    if (!StepDone(CreateStep::ColorBar))
        return false;
    if (!StepDone(
            CreateStep::ColorBarButtons,
            m_colorBar->LoadToolBar(res::PaletteToolBar(), [this](int id) { return Action(id); })))
        return false;
    // Tooltips, prompts and reflowing come with the bar; it may float.
    m_colorBar->setMovable(true);
    m_colorBar->setFloatable(true);
    if (!StepDone(CreateStep::ColorBarStyle))
        return false;
    m_colorBar->setAllowedAreas(Qt::AllToolBarAreas);
    // In a row of its own below the main toolbar.
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_colorBar);
    return StepDone(CreateStep::DockColorBar);
}

void CMainFrame::OnDestroy() {
    delete m_colorBar;
    m_colorBar = nullptr;
}
