#include "app/CMainFrame.h"

#include "app/CSplashWnd.h"
#include "app/Platform.h"
#include "app/RecentFileList.h"
#include "dict/DictionaryCommand.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "res/CommandTable.h"
#include "find/FindReplace.h"
#include "print/Printing.h"
#include "res/CommandIds.h"
#include "res/Menus.h"
#include "res/StringTable.h"
#include "tags/TagCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QFontMetrics>
#include <QProxyStyle>
#include <QStatusBar>
#include <QStatusTipEvent>

using namespace Qt::StringLiterals;

namespace {

// The application's style, with disabled menu items that can be the current
// item, so that their prompts show while the pointer rests on them too.
class MenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

CMainFrame::CMainFrame(CCmdTarget* app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setObjectName(u"CMainFrame"_s);
    m_idleUpdate.setSingleShot(true);
    m_idleUpdate.setInterval(0);
    connect(&m_idleUpdate, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
}

CMainFrame::~CMainFrame() { OnDestroy(); }

bool CMainFrame::Create(CEditorDoc* document) {
    m_document = document;
    m_view = new CEditorView(this);
    setCentralWidget(m_view);
    m_tagCommands = std::make_unique<CTagCommands>(*m_view);
    m_findCommands = std::make_unique<CFindCommands>(*m_view);
    m_printCommands = std::make_unique<CPrintCommands>(*m_view);
    m_dictionaryCommands = std::make_unique<CDictionaryCommands>(*m_view);
    m_document->SetView(m_view);

    if (!CreateMenus() || !CreateMainToolBar() || !CreateStatusBar() || !DockMainToolBar() ||
        !CreateColorBar())
        return false;
    BindAccelerators();
    CreateCheck();
    CreateColouringPane();

    connect(m_view, &CEditorView::commandStateChanged, this, &CMainFrame::ScheduleCommandUIUpdate);
    connect(m_view, &CEditorView::acceleratorPending, this, &CMainFrame::UpdateCommandUI);
    connect(m_document, &CEditorDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    connect(m_document, &CEditorDoc::loadStarted, this, &CMainFrame::UpdateCommandUI);
    connect(m_document, &CEditorDoc::loadProgress, this, [this](int percent) {
        SetMessageText(res::LoadString(res::IDS_LOADING).arg(percent));
        if (!m_busyPointer) {
            m_busyPointer = true;
            m_paneCursor = m_view->viewport()->cursor().shape();
            m_view->viewport()->setCursor(Qt::BusyCursor);
        }
    });
    connect(m_document, &CEditorDoc::loadEnded, this, [this] {
        if (m_busyPointer) {
            m_busyPointer = false;
            m_view->viewport()->setCursor(m_paneCursor);
            SetMessageText(res::LoadString(res::IDS_IDLE_MESSAGE));
        }
        UpdateCommandUI();
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &CMainFrame::ScheduleCommandUIUpdate);
    UpdateTitle();
    UpdateCommandUI();
    CSplashWnd::ShowSplash(this);
    return true;
}

QAction* CMainFrame::Action(int id) {
    if (const auto it = m_actions.find(id); it != m_actions.end())
        return it->second;
    auto* action = new QAction(this);
    action->setObjectName(u"ID_%1"_s.arg(id));
    action->setData(id);
    action->setStatusTip(CommandPrompt(id));
    const QString tooltip = CommandTooltip(id);
    action->setToolTip(tooltip);
    action->setText(tooltip);
    connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
    action->setEnabled(IsCommandEnabled(id));
    m_actions.emplace(id, action);
    return action;
}

bool CMainFrame::RouteCommand(int id) {
    // While a file loads, Esc cancels it and nothing else runs.
    if (m_document && m_document->IsLoading()) {
        if (id != ID_CANCEL_EDIT)
            return false;
        m_document->CancelLoad();
        return true;
    }
    CCmdTarget* const target = CommandTarget(id);
    if (!target)
        return false;
    target->OnCmdMsg(id);
    ScheduleCommandUIUpdate();
    return true;
}

bool CMainFrame::IsCommandEnabled(int id) {
    if (m_document && m_document->IsLoading())
        return id == ID_CANCEL_EDIT;
    const CCmdTarget* const target = CommandTarget(id);
    return target && target->IsCommandEnabled(id);
}

CCmdTarget* CMainFrame::CommandTarget(int id) {
    // Print preview takes the place of the view and of the commands that
    // act on it.
    std::vector<CCmdTarget*> chain;
    if (m_previewTarget)
        chain = {m_previewTarget};
    else
        chain = {m_view, m_tagCommands.get(), m_findCommands.get(), m_printCommands.get(),
                 m_dictionaryCommands.get()};
    chain.insert(chain.end(), {m_document, this, m_app});
    for (CCmdTarget* target : chain)
        if (target && target->HasCommand(id))
            return target;
    return nullptr;
}

void CMainFrame::SetPreviewTarget(CCmdTarget* target) {
    m_previewTarget = target;
    UpdateCommandUI();
}

void CMainFrame::UpdateCommandUI() {
    for (const auto& [id, action] : m_actions)
        action->setEnabled(IsCommandEnabled(id));
}

void CMainFrame::ScheduleCommandUIUpdate() { m_idleUpdate.start(); }

bool CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    if (!bar)
        return false;
    for (const res::Menu& menuDef : res::MainMenu()) {
        QMenu* menu = bar->addMenu(QString::fromUtf16(menuDef.title));
        menu->setObjectName(u"menu_"_s + res::MenuLabel({0, menuDef.title}));
        menu->setStyle(platform::SharedProxyStyle<MenuStyle>());
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        for (const res::MenuItem& item : menuDef.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            if (item.id == ID_FILE_MRU_FILE1) {
                // The recent files take the place of the placeholder item.
                for (int i = 0; i < kRecentFileCount; ++i) {
                    QAction* recent = Action(ID_FILE_MRU_FILE1 + i);
                    menu->addAction(recent);
                    m_recentActions << recent;
                    menu->setToolTipsVisible(true);
                }
                continue;
            }
            QAction* action = Action(item.id);
            action->setText(QString::fromUtf16(item.text));
            menu->addAction(action);
        }
    }
    UpdateRecentFileMenu(CRecentFileList());
    return true;
}

bool CMainFrame::CreateStatusBar() {
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(u"m_statusBar"_s);
    m_messagePane = new QLabel(m_statusBar);
    m_messagePane->setObjectName(u"messagePane"_s);
    m_messagePane->setAccessibleName(u"メッセージ"_s);
    m_messagePane->setTextFormat(Qt::PlainText); // prompts such as "<B>で囲みます" show as written
    m_statusBar->addWidget(m_messagePane, 1);
    setStatusBar(m_statusBar);
    SetMessageText(res::LoadString(res::IDS_IDLE_MESSAGE));
    return StepDone(CreateStep::StatusBar) && SetIndicators();
}

void CMainFrame::BindAccelerators() {
    std::map<int, QList<QKeySequence>> keys;
    for (const res::Accelerator& a : res::MainAccelerators()) {
        keys[a.id] << QKeySequence(a.key);
        if (a.key.key() == Qt::Key_Return) // the keypad's Enter is the same key
            keys[a.id] << QKeySequence(QKeyCombination(a.key.keyboardModifiers(), Qt::Key_Enter))
                       << QKeySequence(QKeyCombination(
                              a.key.keyboardModifiers() | Qt::KeypadModifier, Qt::Key_Enter));
    }
    for (const auto& [id, sequences] : keys) {
        QAction* action = Action(id);
        action->setShortcuts(sequences);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action); // shortcuts work without a menu item too
    }
}

void CMainFrame::UpdateRecentFileMenu(const CRecentFileList& files) {
    // A long path loses its middle, as the platform shortens paths; the
    // whole one is the item's tooltip.
    const QMenu* menu = nullptr;
    for (QObject* shownIn : m_recentActions.isEmpty() ? QObjectList() : m_recentActions[0]->associatedObjects())
        if (!menu)
            menu = qobject_cast<QMenu*>(shownIn);
    const QFontMetrics metrics(menu ? menu->font() : font());
    const int widest =
        qMin(metrics.averageCharWidth() * 60, screen() ? screen()->availableGeometry().width() / 3 : 600);
    const auto shorten = [&](const QString& path) {
        return metrics.elidedText(path, Qt::ElideMiddle, widest);
    };
    for (int i = 0; i < m_recentActions.size(); ++i) {
        QAction* action = m_recentActions[i];
        if (i < files.Files().size()) {
            action->setText(files.MenuLabel(i, shorten));
            action->setToolTip(files.ShownPath(i));
            action->setVisible(true);
        } else if (i == 0) {
            action->setText(res::LoadString(res::IDS_RECENT_FILE_PLACEHOLDER));
            action->setToolTip(QString());
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateTitle() {
    const QString title = m_document ? m_document->GetTitle() : QString();
    setWindowTitle(title + u" - "_s + res::LoadString(res::IDS_APP_TITLE));
}

QString CMainFrame::MessageText() const { return m_messagePane ? m_messagePane->text() : QString(); }

void CMainFrame::SetMessageText(const QString& text) {
    if (m_messagePane)
        m_messagePane->setText(text);
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        SetMessageText(tip.isEmpty() ? res::LoadString(res::IDS_IDLE_MESSAGE) : tip);
        return true;
    }
    if (event->type() == QEvent::WindowActivate && m_document) {
        // Looked at once the activation is over, and not while a modal box
        // or dialog is up (closing it activates the window again).
        QTimer::singleShot(0, this, [this] {
            if (m_document && !QApplication::activeModalWidget())
                m_document->CheckFileOnDisk();
        });
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A load is cancelled first; the window closes once it has ended.
    if (m_document && m_document->IsLoading()) {
        if (!m_closeAfterLoad) {
            m_closeAfterLoad = true;
            connect(
                m_document, &CEditorDoc::loadEnded, this,
                [this] {
                    m_closeAfterLoad = false;
                    close();
                },
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        }
        m_document->CancelLoad();
        event->ignore();
        return;
    }
    if (canClose && !canClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
