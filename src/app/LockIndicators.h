#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QObject>
#include <QTimer>

#include <array>

class QLabel;
class QStatusBar;

// The keyboard's lock states (kana, caps, num, scroll). Tests put their
// own in place.
class CLockIndicators {
public:
    enum Lock { Kana, Caps, Num, Scroll };
    static constexpr int kLockCount = 4;

    virtual ~CLockIndicators();
    // Whether `lock` is on now; false where that cannot be told.
    virtual bool IsOn(Lock lock) = 0;

    static CLockIndicators& Get();
    // Installs `indicators` (not owned; null restores the desktop's) and
    // returns the previous ones.
    static CLockIndicators* Set(CLockIndicators* indicators);
};

// The X server's keyboard indicators where the program runs on X11;
// elsewhere (offscreen, Wayland) every lock reads as off.
class CX11LockIndicators : public CLockIndicators {
public:
    bool IsOn(Lock lock) override;
};

// The four lock panes at the right of the status bar, each showing its
// text only while its lock is on. They follow the keyboard on every key
// event that types no text and on a slow timer.
class CLockIndicatorPanes : public QObject {
    Q_OBJECT

public:
    explicit CLockIndicatorPanes(QStatusBar* statusBar);
    ~CLockIndicatorPanes() override;

    // Reads the locks again and shows them.
    void Refresh();
    QLabel* Pane(CLockIndicators::Lock lock) const { return m_panes[lock]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLabel*, CLockIndicators::kLockCount> m_panes{};
    QTimer m_poll;
    QTimer m_afterKey;
};
