#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_fds[2] = {-1, -1};

void OnSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    // Async-signal-safe; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
    errno = saved;
}

} // namespace

CTerminationSignals* CTerminationSignals::Instance() {
    static QPointer<CTerminationSignals> instance;
    if (!instance)
        instance = new CTerminationSignals;
    return instance;
}

CTerminationSignals::CTerminationSignals() : QObject(QCoreApplication::instance()) {
    if (g_fds[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0)
            return;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int s : {SIGTERM, SIGHUP, SIGINT})
            ::sigaction(s, &action, nullptr);
    }
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationSignals::OnReadable);
}

void CTerminationSignals::OnReadable() {
    char bytes[16];
    const ssize_t n = ::read(g_fds[1], bytes, sizeof bytes);
    for (ssize_t i = 0; i < n; ++i)
        emit received(int(bytes[i]));
}
