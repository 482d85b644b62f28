#include "app/LockIndicators.h"

#include "res/StringTable.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

using namespace Qt::StringLiterals;

namespace {

CX11LockIndicators g_x11Indicators;
CLockIndicators* g_indicators = &g_x11Indicators;

constexpr int kPollInterval = 1000; // ms

// The pane texts in the order of the locks.
constexpr res::StringId kPaneTexts[CLockIndicators::kLockCount] = {
    res::IDS_INDICATOR_KANA, res::IDS_INDICATOR_CAPS, res::IDS_INDICATOR_NUM,
    res::IDS_INDICATOR_SCRL};

// Whether the X server's indicator for `lock` is lit (defined at the end:
// the X headers define names that clash with Qt's).
bool ReadX11Indicator(void* display, int lock);

} // namespace

CLockIndicators::~CLockIndicators() = default;

CLockIndicators& CLockIndicators::Get() {
    return *g_indicators;
}

CLockIndicators* CLockIndicators::Set(CLockIndicators* indicators) {
    CLockIndicators* previous = g_indicators;
    g_indicators = indicators ? indicators : &g_x11Indicators;
    return previous;
}

bool CX11LockIndicators::IsOn(Lock lock) {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 && ReadX11Indicator(x11->display(), lock);
#else
    Q_UNUSED(lock);
    return false;
#endif
}

CLockIndicatorPanes::CLockIndicatorPanes(QStatusBar* statusBar) : QObject(statusBar) {
    for (int i = 0; i < CLockIndicators::kLockCount; ++i) {
        const QString text = res::LoadString(kPaneTexts[i]);
        auto* pane = new QLabel(statusBar);
        pane->setObjectName(u"indicator"_s + text);
        pane->setAccessibleName(text);
        pane->setAlignment(Qt::AlignCenter);
        // The pane keeps its width whether its text shows or not.
        pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(text) +
                            2 * pane->fontMetrics().averageCharWidth());
        statusBar->addPermanentWidget(pane);
        m_panes[i] = pane;
    }
    m_poll.setInterval(kPollInterval);
    connect(&m_poll, &QTimer::timeout, this, &CLockIndicatorPanes::Refresh);
    m_poll.start();
    // A lock key's new state is read once its event has been handled.
    m_afterKey.setSingleShot(true);
    m_afterKey.setInterval(0);
    connect(&m_afterKey, &QTimer::timeout, this, &CLockIndicatorPanes::Refresh);
    qApp->installEventFilter(this);
    Refresh();
}

CLockIndicatorPanes::~CLockIndicatorPanes() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void CLockIndicatorPanes::Refresh() {
    for (int i = 0; i < CLockIndicators::kLockCount; ++i) {
        const bool on = CLockIndicators::Get().IsOn(CLockIndicators::Lock(i));
        const QString text = on ? res::LoadString(kPaneTexts[i]) : QString();
        if (m_panes[i]->text() != text)
            m_panes[i]->setText(text);
    }
}

bool CLockIndicatorPanes::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // A lock key types nothing: a key with text leaves the locks as they
        // are, and reading them asks the X server (a round trip per key).
        if (!static_cast<QKeyEvent*>(event)->text().isEmpty())
            break;
        m_afterKey.start();
        break;
    case QEvent::ApplicationActivate:
        m_afterKey.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

#ifdef VELM_HAVE_XKB
#include <X11/XKBlib.h>
#endif

namespace {

bool ReadX11Indicator([[maybe_unused]] void* connection, [[maybe_unused]] int lock) {
#ifdef VELM_HAVE_XKB
    auto* display = static_cast<Display*>(connection);
    if (!display)
        return false;
    // The standard names of the keyboard indicators, in the order of the locks.
    static const char* const names[] = {"Kana", "Caps Lock", "Num Lock", "Scroll Lock"};
    const Atom name = XInternAtom(display, names[lock], True);
    if (name == None) // no indicator has this name
        return false;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, name, nullptr, &on, nullptr, nullptr))
        return false;
    return on;
#else
    return false;
#endif
}

} // namespace
