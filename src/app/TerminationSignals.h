#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT, delivered through the event loop: the handler
// only writes the signal's number into a socket pair, whose other end wakes
// the loop.
class CTerminationSignals : public QObject {
    Q_OBJECT

public:
    // The one instance of the process; installs the handlers on first use.
    static CTerminationSignals* Instance();

signals:
    void received(int signal);

private:
    CTerminationSignals();
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
};
