// The HTML check in the main window: its status-bar pane, the pane's menu
// and the dock window of its list.
#include "app/CMainFrame.h"

#include "app/Platform.h"
#include "check/CCheckDock.h"
#include "check/CPageChecker.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString kCheckSetting = u"Settings/HtmlCheck"_s;

} // namespace

void CMainFrame::CreateCheck() {
    m_checker = new CPageChecker(m_view, this);
    m_checker->SetEnabled(platform::OpenSettings()->value(kCheckSetting, true).toBool());

    m_checkDock = new CCheckDock(m_checker, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_checkDock);
    m_checkDock->hide();
    connect(m_checkDock, &CCheckDock::enabledToggled, this, &CMainFrame::SetCheckEnabled);

    m_checkPane = AddButtonPane(u"checkPane"_s, res::IDS_CHECK_PANE);
    m_checkPane->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_checkPane, &QToolButton::clicked, this, &CMainFrame::ShowCheckList);
    connect(m_checkPane, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* enable = menu.addAction(res::LoadString(res::IDS_CHECK_ENABLE));
        enable->setCheckable(true);
        enable->setChecked(m_checker->IsEnabled());
        if (menu.exec(m_checkPane->mapToGlobal(at)) == enable)
            SetCheckEnabled(enable->isChecked());
    });
    connect(m_checker, &CPageChecker::stateChanged, this, &CMainFrame::UpdateCheckPane);
    UpdateCheckPane();
}

void CMainFrame::SetCheckEnabled(bool enabled) {
    m_checker->SetEnabled(enabled);
    auto settings = platform::OpenSettings();
    settings->setValue(kCheckSetting, enabled);
    settings->sync();
}

void CMainFrame::ShowCheckList() {
    m_checkDock->show();
    m_checkDock->raise();
}

void CMainFrame::UpdateCheckPane() {
    QString text;
    switch (m_checker->GetState()) {
    case CPageChecker::State::Off: text = res::LoadString(res::IDS_CHECK_OFF); break;
    case CPageChecker::State::Waiting: text = res::LoadString(res::IDS_CHECK_WAITING); break;
    case CPageChecker::State::TooLarge: text = res::LoadString(res::IDS_CHECK_TOO_LARGE); break;
    case CPageChecker::State::Checked:
        text = m_checker->ProblemCount() == 0
                   ? res::LoadString(res::IDS_CHECK_NONE)
                   : res::LoadString(res::IDS_CHECK_PROBLEMS).arg(m_checker->ProblemCount());
        break;
    }
    m_checkPane->setText(text);
    m_checkPane->setAccessibleDescription(text); // what a screen reader reads beside the name
}
