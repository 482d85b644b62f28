#include "app/DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

CDesktopServicesShell g_desktop;
CDesktopShell* g_shell = &g_desktop;

} // namespace

CDesktopShell::~CDesktopShell() = default;

CDesktopShell& CDesktopShell::Get() { return *g_shell; }

CDesktopShell* CDesktopShell::Set(CDesktopShell* shell) {
    CDesktopShell* previous = g_shell;
    g_shell = shell ? shell : &g_desktop;
    return previous;
}

void CDesktopServicesShell::Open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}
