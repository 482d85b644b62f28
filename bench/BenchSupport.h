#pragma once

// Inputs and helpers shared by the benchmark programs.

#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>

#include <sys/resource.h>
#include <ctime>

namespace bench {

// Counts the paints of `widget` (the pane's viewport) while it lives.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) : m_widget(widget) { qApp->installEventFilter(this); }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == m_widget)
            ++paints;
        return false;
    }

private:
    QWidget* m_widget;
};

// Runs the event loop until the file named on `app`'s command line has loaded.
inline void WaitForStartup(CEditorApp& app) {
    if (!app.IsStarting())
        return;
    QEventLoop loop;
    QObject::connect(&app, &CEditorApp::startupEnded, &loop, &QEventLoop::quit);
    loop.exec();
}

// Reads `path` into `doc`, the event loop running until the load has ended.
inline bool Load(CEditorDoc& doc, const QString& path) {
    CDocumentLoad* load = doc.StartLoad(path);
    if (!load)
        return false;
    bool loaded = false;
    QEventLoop loop;
    QObject::connect(load, &CDocumentLoad::ended, &loop, [&](CDocumentLoad::Result result) {
        loaded = result == CDocumentLoad::Result::Loaded;
        loop.quit();
    });
    loop.exec();
    return loaded;
}

// One line of the generated pages.
inline const QByteArray kPageLine = "<TR><TD><FONT COLOR=\"#FF0000\">\x93\xfa\x96\x7b\x8c\xea\x82\xcc"
                                    "\x83\x65\x83\x4c\x83\x58\x83\x67 \xc3\xbd\xc4 sample text</FONT></TD>"
                                    "</TR>\r\n";
inline const QByteArray kPageStart = "<HTML>\r\n<BODY>\r\n<TABLE>\r\n";

// A Shift-JIS page of `size` bytes at most, as a hand-written one is:
// markup, Japanese text and half-width katakana on short CR LF lines.
inline QByteArray GeneratePage(qsizetype size) {
    const QByteArray& line = kPageLine;
    QByteArray page = kPageStart;
    page.reserve(size + line.size());
    while (page.size() + line.size() < size)
        page += line;
    return page;
}

// Writes the page GeneratePage(size) gives to a new file at `path`, a
// block at a time, so that the bench never holds the file itself.
inline bool WritePage(const QString& path, qint64 size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    qint64 written = f.write(kPageStart);
    QByteArray block;
    while (block.size() + kPageLine.size() <= 65536)
        block += kPageLine;
    while (written + block.size() < size)
        written += f.write(block);
    while (written + kPageLine.size() < size)
        written += f.write(kPageLine);
    return written > 0 && f.error() == QFileDevice::NoError;
}

// The offscreen platform, unless another is asked for.
inline void UseOffscreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Gives a child process its own settings, journals and state in `folder`,
// and the offscreen platform unless another is asked for.
inline void UseOwnFolder(const QByteArray& folder) {
    qputenv("HOME", folder);
    qputenv("XDG_CONFIG_HOME", folder + "/config");
    qputenv("XDG_STATE_HOME", folder + "/state");
    UseOffscreen();
}

// A child started with (argument, folder): runs `run(argument, folder)` in an
// application of its own, with its settings, journals and files in `folder`.
template <typename Run>
int RunInOwnFolder(int argc, char* argv[], Run&& run) {
    const QByteArray folder = argv[2];
    UseOwnFolder(folder);
    QApplication app(argc, argv);
    return run(QByteArray(argv[1]), QString::fromLocal8Bit(folder));
}

// Prints a figure beside its goal.
inline void Goal(const char* what, double value, double goal, const char* unit) {
    std::printf("  %-34s %8.1f %-3s goal <= %5.0f %-3s %s\n", what, value, unit, goal, unit,
                value <= goal ? "ok" : "MISSED");
}

// Runs this program again with `arguments`, in and output passed through,
// so that each measurement has a process (and a peak memory) of its own;
// its exit code.
inline int RunChild(const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setInputChannelMode(QProcess::ForwardedInputChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}

// The main of a bench measured in a child process of its own: `run(folder,
// perf)` there, where `perf` (the argument "perf") asks for the longer run
// a profiler is attached to.
template <typename Run>
int RunOwnProcess(int argc, char* argv[], Run&& run) {
    if (argc > 2)
        return RunInOwnFolder(argc, argv, [&](const QByteArray& mode, const QString& folder) {
            return run(folder, mode == "perf");
        });
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTemporaryDir dir;
    return RunChild({args.size() > 1 ? args[1] : QStringLiteral("run"), dir.path()});
}

// CPU time used so far, in milliseconds: by the whole process, or by the
// calling thread only.
inline double CpuMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
inline double ProcessCpuMs() { return CpuMs(CLOCK_PROCESS_CPUTIME_ID); }
inline double ThreadCpuMs() { return CpuMs(CLOCK_THREAD_CPUTIME_ID); }

// Starts `app` on `path` in its main window, 1000x700, and runs the event
// loop until the file has loaded and half a second has passed; false when
// the program did not start or the pane holds less than half of `size`.
inline bool StartAndSettle(CEditorApp& app, const QString& path, qint64 size) {
    if (!app.InitInstance({path, QStringLiteral("-Embedding")}))
        return false;
    app.GetMainFrame()->resize(1000, 700);
    app.GetMainFrame()->activateWindow();
    app.GetView()->setFocus();
    QElapsedTimer settle;
    settle.start();
    while ((app.GetDocument()->IsLoading() || settle.elapsed() < 500) && settle.elapsed() < 30000)
        QApplication::processEvents();
    return app.GetView()->document()->characterCount() >= size / 2;
}

inline double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// The process's peak resident memory so far.
inline double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Writes `bytes` to a new file at `path`; false when it could not.
inline bool WriteInput(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A document with its pane shown at the size the benchmarks measure with.
struct ShownDocument {
    CEditorDoc doc;
    CEditorView view;
    ShownDocument() {
        view.resize(800, 600);
        view.show();
        doc.SetView(&view);
    }
};

} // namespace bench
