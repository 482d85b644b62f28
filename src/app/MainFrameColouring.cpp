// The HTML colours in the main window: their status-bar pane and the
// setting that keeps them on or off.
#include "app/CMainFrame.h"

#include "app/Platform.h"
#include "doc/CEditorView.h"
#include "doc/PaneColouring.h"
#include "res/StringTable.h"

#include <QSettings>
#include <QStatusBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString kColouringSetting = u"Settings/Colouring"_s;

} // namespace

void CMainFrame::CreateColouringPane() {
    m_colouringPane = AddButtonPane(u"colouringPane"_s, res::IDS_COLOURING_PANE);
    connect(m_colouringPane, &QToolButton::clicked, this,
            [this] { SetColouringEnabled(!m_view->Colouring()->IsEnabled()); });
    const bool on = platform::OpenSettings()->value(kColouringSetting, true).toBool();
    m_view->Colouring()->SetEnabled(on);
    m_colouringPane->setText(res::LoadString(on ? res::IDS_COLOURING_ON : res::IDS_COLOURING_OFF));
}

void CMainFrame::SetColouringEnabled(bool enabled) {
    m_view->Colouring()->SetEnabled(enabled);
    platform::OpenSettings()->setValue(kColouringSetting, enabled);
    m_colouringPane->setText(res::LoadString(enabled ? res::IDS_COLOURING_ON : res::IDS_COLOURING_OFF));
}
