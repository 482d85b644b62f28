// Times typing in the middle of a generated 16 MiB Shift-JIS page in the real
// main window (status bar, toolbars, the checker, the recovery keeper and
// every handler the program connects take part): 200 keys, letters with an
// Enter and a Backspace now and then, each a key press and, apart from it, its
// release sent to the pane. For each key it measures the UI thread's CPU time
// from the press until the pane is painted and the work that the press and
// the release posted is done (the journal's worker thread takes no part), and
// the time from the press until the pane's paint for it is done. Prints the
// median and the 95th percentile of both beside their goals.
// Runs in a process of its own, with its own settings and state, on the
// offscreen platform unless QT_QPA_PLATFORM names another: run it with
// QT_QPA_PLATFORM=xcb on an X server (Xvfb will do) for the figures a user
// meets, where the status bar and the clipboard ask the server.
//
//   bench_keystroke          types the keys
//   bench_keystroke perf     ten times as many keys, waiting for Enter before
//                            the first (time to attach a profiler)

#include "BenchSupport.h"
#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kKeys = 200;



// The i-th key typed: mostly letters, an Enter every 40 keys and a Backspace
// every 25.
void KeyAt(int i, Qt::Key& key, QString& text) {
    if (i % 40 == 39) {
        key = Qt::Key_Return;
        text = QStringLiteral("\r");
    } else if (i % 25 == 24) {
        key = Qt::Key_Backspace;
        text = QStringLiteral("\b");
    } else {
        key = Qt::Key(Qt::Key_A + i % 26);
        text = QChar(u'a' + i % 26);
    }
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

// Prints a figure beside its goal, to a hundredth.
void Row(const char* what, double value, double goal) {
    std::printf("  %-34s %8.2f ms  goal <= %5.1f ms  %s\n", what, value, goal,
                value <= goal ? "ok" : "MISSED");
}

int Run(const QString& folder, bool waitForProfiler) {
    const int keys = waitForProfiler ? 10 * kKeys : kKeys;
    const QString path = folder + QStringLiteral("/bench.html");
    if (!bench::WritePage(path, qint64(16) << 20))
        return 2;
    CEditorApp app;
    if (!bench::StartAndSettle(app, path, qint64(16) << 20))
        return 3;
    CEditorView* view = app.GetView();

    // The caret 12 characters into a file line in the middle of the middle
    // paragraph (one that many short lines share).
    QTextDocument* doc = view->document();
    const QTextBlock block = doc->findBlockByNumber(doc->blockCount() / 2);
    const QString text = block.text();
    const qsizetype line = text.lastIndexOf(QChar::LineSeparator, text.size() / 2) + 1;
    QTextCursor c(block);
    c.setPosition(block.position() + int(std::min<qsizetype>(line + 12, text.size())));
    view->setTextCursor(c);
    view->centerCursor();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    std::printf("%s, 16 MiB, %d paragraphs, the caret in paragraph %d of %lld lines, pane %dx%d, "
                "%d keys\n",
                qPrintable(QGuiApplication::platformName()), doc->blockCount(),
                block.blockNumber() + 1,
                static_cast<long long>(text.count(QChar::LineSeparator) + 1),
                view->viewport()->width(), view->viewport()->height(), keys);
    if (waitForProfiler) {
        std::printf("press Enter to start\n");
        std::fflush(stdout);
        std::getchar();
    }

    QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : view;
    bench::PaintWatch watch(view->viewport());
    std::vector<double> cpu, screen;
    std::vector<double> enterCpu, backspaceCpu; // for information
    int unpainted = 0;
    for (int i = 0; i < keys; ++i) {
        Qt::Key key;
        QString typed;
        KeyAt(i, key, typed);
        watch.paints = 0;
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = bench::ThreadCpuMs();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
        QApplication::sendEvent(to, &press);
        // Until the pane's text is painted for the key.
        while (watch.paints == 0 && wall.elapsed() < 1000)
            QApplication::processEvents();
        const double screenMs = bench::Ms(wall);
        // The work the key posted (zero timers: command states, repairs),
        // and its release, as the keyboard sends it apart.
        QApplication::processEvents();
        QApplication::processEvents();
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
        QApplication::sendEvent(to, &release);
        QApplication::processEvents();
        QApplication::processEvents();
        cpu.push_back(bench::ThreadCpuMs() - cpu0);
        if (key == Qt::Key_Return)
            enterCpu.push_back(cpu.back());
        if (key == Qt::Key_Backspace)
            backspaceCpu.push_back(cpu.back());
        screen.push_back(screenMs);
        unpainted += watch.paints == 0;
        // A pause, as between typed keys; its work is not counted.
        QEventLoop pause;
        QTimer::singleShot(5, &pause, &QEventLoop::quit);
        pause.exec();
    }
    if (unpainted)
        std::printf("  (%d keys not painted within a second)\n", unpainted);

    std::printf("per key: UI-thread CPU median %.2f ms, p95 %.2f ms, worst %.2f ms; "
                "to the screen median %.2f ms, p95 %.2f ms, worst %.2f ms\n",
                Percentile(cpu, 0.5), Percentile(cpu, 0.95), Percentile(cpu, 1),
                Percentile(screen, 0.5), Percentile(screen, 0.95), Percentile(screen, 1));
    std::printf("  (information) UI-thread CPU, median of %zu Enters %.2f ms, of %zu Backspaces "
                "%.2f ms\n",
                enterCpu.size(), Percentile(enterCpu, 0.5), backspaceCpu.size(),
                Percentile(backspaceCpu, 0.5));
    Row("key, UI-thread CPU, median", Percentile(cpu, 0.5), 1.3);
    Row("key, UI-thread CPU, p95", Percentile(cpu, 0.95), 1.3);
    Row("key to the screen, median", Percentile(screen, 0.5), 4.4);
    Row("key to the screen, p95", Percentile(screen, 0.95), 4.4);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) { return bench::RunOwnProcess(argc, argv, Run); }
