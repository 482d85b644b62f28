#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QString>

// Hands an address to the desktop: a web page opens in the user's browser,
// a "mailto:" address starts a new mail message. Tests put their own in place.
class CDesktopShell {
public:
    virtual ~CDesktopShell();
    // Opens `address` in the desktop's default program. Whether a program
    // could be started is not reported.
    virtual void Open(const QString& address) = 0;

    static CDesktopShell& Get();
    // Installs `shell` (not owned; null restores the desktop's) and returns
    // the previous one.
    static CDesktopShell* Set(CDesktopShell* shell);
};

// The desktop's own services.
class CDesktopServicesShell : public CDesktopShell {
public:
    void Open(const QString& address) override;
};
