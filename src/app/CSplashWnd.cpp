#include "app/CSplashWnd.h"

#include "res/StringTable.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

bool CSplashWnd::s_showSplash = false;
CSplashWnd* CSplashWnd::s_splash = nullptr;

namespace {

const QString kSplashBitmap = u":/images/splash.png"_s;
std::chrono::milliseconds g_interval{1500};

// The key whose shortcut check closed the splash screen. Qt delivers the key
// press itself right after that check; it must not arrive either.
std::optional<int> g_closingKey;

bool IsClosingButton(Qt::MouseButton button) {
    return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}

// A key pressed (Alt held or not), or the left, right or middle mouse button
// pressed inside or on the frame of any window of the program.
bool ClosesSplash(const QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        return IsClosingButton(static_cast<const QMouseEvent*>(event)->button());
    default:
        return false;
    }
}

} // namespace

CSplashWnd::CSplashWnd(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(u"CSplashWnd"_s);
    setAccessibleName(res::LoadString(res::IDS_APP_TITLE));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The picture covers every pixel: no background is drawn first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::ArrowCursor);
}

CSplashWnd::~CSplashWnd() {
    if (s_splash == this)
        s_splash = nullptr;
}

void CSplashWnd::EnableSplash(bool enable) { s_showSplash = enable; }

std::chrono::milliseconds CSplashWnd::Interval() { return g_interval; }

void CSplashWnd::SetInterval(std::chrono::milliseconds interval) { g_interval = interval; }

void CSplashWnd::ShowSplash(QWidget* parent) {
    if (!s_showSplash || s_splash)
        return;
    s_splash = new CSplashWnd(parent);
    if (!s_splash->Create(parent)) {
        delete s_splash; // empties s_splash
        return;
    }
    s_splash->repaint();
}

bool CSplashWnd::Create(QWidget* parent) {
    if (!m_splashBitmap.load(kSplashBitmap))
        return false;
    setFixedSize(m_splashBitmap.size());
    move(0, 0);
    CenterWindow();
    // Stay above the owner once it shows up.
    if (parent)
        parent->installEventFilter(this);
    show();
    m_timer.start(int(g_interval.count()), this);
    return true;
}

void CSplashWnd::CenterWindow() {
    QWidget* owner = parentWidget();
    QRect area;
    if (owner && owner->isVisible() && !owner->isMinimized()) {
        area = owner->frameGeometry();
    } else {
        QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        area = screen->availableGeometry();
    }
    QRect placed(QPoint(), size());
    placed.moveCenter(area.center());
    move(placed.topLeft());
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
    // A window manager stacks the owner on top when it maps it and again
    // when it activates it; the picture goes back above it each time.
    const bool restacked = event->type() == QEvent::Show || event->type() == QEvent::WindowActivate;
    if (watched == parentWidget() && restacked)
        QTimer::singleShot(0, this, [this] { raise(); });
    return QWidget::eventFilter(watched, event);
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_splashBitmap);
}

void CSplashWnd::timerEvent(QTimerEvent*) { HideSplash(); }

void CSplashWnd::HideSplash() {
    CSplashWnd* splash = s_splash;
    if (!splash)
        return;
    s_splash = nullptr;
    splash->m_timer.stop();
    QWidget* owner = splash->parentWidget();
    if (owner)
        owner->removeEventFilter(splash);
    splash->close(); // deletes it
    if (owner && owner->isVisible())
        owner->repaint();
}

bool CSplashWnd::FilterSplashMessage(QObject*, QEvent* event) {
    if (g_closingKey && event->type() == QEvent::KeyPress) {
        const bool same = static_cast<const QKeyEvent*>(event)->key() == *g_closingKey;
        g_closingKey.reset();
        if (same)
            return true;
    }
    if (!s_splash || !ClosesSplash(event))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claiming the key keeps every shortcut from matching it.
        event->accept();
        g_closingKey = static_cast<const QKeyEvent*>(event)->key();
        QTimer::singleShot(0, [] { g_closingKey.reset(); });
    }
    HideSplash();
    return true;
}
