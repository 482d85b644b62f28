#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QBasicTimer>
#include <QPixmap>
#include <QWidget>

#include <chrono>

// The splash screen: a borderless picture over the main window while it is
// built. It closes by itself after a moment, or at the first key or mouse
// button press anywhere in the program, which does nothing else. The window
// deletes itself once it has been closed.
class CSplashWnd : public QWidget {
    Q_OBJECT

public:
    ~CSplashWnd() override;

    // Whether the splash screen may be shown; set once at start-up.
    static void EnableSplash(bool enable);
    // Shows the splash screen over `parent` (may be null), if it is enabled
    // and not shown already. Nothing is shown if the picture cannot be loaded.
    static void ShowSplash(QWidget* parent);
    // Offered every event before anything else sees it: true when the event
    // closed the splash screen and must go no further.
    static bool FilterSplashMessage(QObject* receiver, QEvent* event);
    // Closes the splash screen and repaints the main window at once.
    static void HideSplash();

    // The splash screen while it is shown, else null.
    static CSplashWnd* Current() { return s_splash; }
    static bool IsEnabled() { return s_showSplash; }

    // How long the splash screen stays without input: 1.5 s unless changed.
    static std::chrono::milliseconds Interval();
    static void SetInterval(std::chrono::milliseconds interval);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    explicit CSplashWnd(QWidget* parent);
    bool Create(QWidget* parent);
    void CenterWindow();

    QPixmap m_splashBitmap;
    QBasicTimer m_timer;

    static bool s_showSplash;
    static CSplashWnd* s_splash;
};
