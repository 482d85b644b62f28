// The cost of the recovery journal for a 16 MiB document: the time the UI
// thread spends per journal write, the worker's time, and the longest
// keystroke handling while journals are being written.

#include "BenchSupport.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "doc/CRecoveryKeeper.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextCursor>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {


QByteArray LoadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').value(0) : QByteArray("?");
}

double Ms(qint64 ns) {
    return double(ns) / 1e6;
}

void Report(const char* what, double ms, double goalMs) {
    std::printf("  %-52s %9.2f ms   goal <= %6.1f ms  %s\n", what, ms, goalMs,
                ms <= goalMs ? "ok" : "OVER");
}

void Key(QWidget* target, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

} // namespace

int main(int argc, char* argv[]) {
    bench::UseOffscreen();
    QApplication app(argc, argv);
    platform::Initialize();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.html"));
    if (!bench::WriteInput(path, bench::GeneratePage(16 * 1024 * 1024)))
        return 2;

    bench::ShownDocument shown;
    CEditorDoc& doc = shown.doc;
    CEditorView& view = shown.view;
    QElapsedTimer t;
    t.start();
    CRecoveryKeeper keeper(&doc);
    const double keeperMs = Ms(t.nsecsElapsed());
    keeper.SetFolder(dir.filePath(QStringLiteral("recovery")));
    keeper.SetIntervals(100, 30000);
    t.restart();
    if (!doc.OnOpenDocument(path))
        return 3;
    doc.SetPathName(path, false);
    QApplication::processEvents();
    const double openMs = Ms(t.nsecsElapsed());
    QTextCursor c = view.textCursor();
    c.setPosition(view.document()->characterCount() / 2);
    view.setTextCursor(c);

    std::printf("16 MiB document, %d lines (open %.0f ms; keeper set up in %.1f ms; "
                "load average %s)\n",
                view.document()->blockCount(), openMs, keeperMs, LoadAverage().constData());

    // The copy a naive snapshot would take.
    double rawMs = 1e9;
    for (int i = 0; i < 3; ++i) {
        t.restart();
        const QString raw = view.document()->toRawText();
        rawMs = std::min(rawMs, Ms(t.nsecsElapsed()));
    }
    std::printf("  %-52s %9.2f ms   (not used: over the UI goal)\n",
                "QTextDocument::toRawText() for comparison", rawMs);

    // Typing in the middle: a letter every few milliseconds, a line break
    // after every 40th, pauses now and then so that the idle timer fires.
    struct Typed {
        int keys = 0;
        double longestLetterMs = 0;
        double longestReturnMs = 0;
        std::vector<double> returns;
        double MedianReturnMs() {
            if (returns.empty())
                return 0;
            std::sort(returns.begin(), returns.end());
            return returns[returns.size() / 2];
        }
    };
    const auto typeFor = [&](int ms, auto&& each) {
        Typed typed;
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < ms) {
            t.restart();
            Key(&view, Qt::Key_A, QStringLiteral("a"));
            QApplication::processEvents();
            typed.longestLetterMs = std::max(typed.longestLetterMs, Ms(t.nsecsElapsed()));
            if (typed.keys % 40 == 39) {
                t.restart();
                Key(&view, Qt::Key_Return, QStringLiteral("\r"));
                QApplication::processEvents();
                typed.returns.push_back(Ms(t.nsecsElapsed()));
                typed.longestReturnMs = std::max(typed.longestReturnMs, typed.returns.back());
            }
            each();
            ++typed.keys;
            const QDeadlineTimer pause(typed.keys % 25 == 0 ? 150 : 5);
            while (!pause.hasExpired())
                QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return typed;
    };

    // The same typing without journal writes, for comparison.
    keeper.SetIntervals(1000000, 1000000);
    std::printf("  %-52s %9.2f ms\n", "text copy: longest update while opening",
                Ms(keeper.LongestCacheUpdateNs()));
    keeper.ResetMeasurements();
    Typed base = typeFor(4000, [] {});
    std::printf("  without journal writes (%d keystrokes):\n", base.keys);
    std::printf("  %-52s %9.2f ms\n", "  longest letter", base.longestLetterMs);
    std::printf("  %-52s %9.2f ms   (median %.2f ms: the pane's own cost)\n",
                "  longest line break", base.longestReturnMs, base.MedianReturnMs());
    std::printf("  %-52s %9.2f ms\n", "  text copy: longest update per keystroke",
                Ms(keeper.LongestCacheUpdateNs()));
    keeper.ResetMeasurements();
    keeper.WriteNow();
    keeper.SetIntervals(100, 30000);

    int writes = 0;
    QObject::connect(&keeper, &CRecoveryKeeper::journalWritten, [&writes](bool ok) {
        if (ok)
            ++writes;
    });
    double longestSnapshotMs = 0, longestWorkerMs = 0, longestWorkerCpuMs = 0;
    Typed typed = typeFor(4000, [&] {
        longestSnapshotMs = std::max(longestSnapshotMs, Ms(keeper.LastSnapshotNs()));
        longestWorkerMs = std::max(longestWorkerMs, Ms(keeper.LastWorkerNs()));
        longestWorkerCpuMs = std::max(longestWorkerCpuMs, Ms(keeper.LastWorkerCpuNs()));
    });
    keeper.WaitForWorker();
    QApplication::processEvents();
    longestWorkerMs = std::max(longestWorkerMs, Ms(keeper.LastWorkerNs()));
    longestWorkerCpuMs = std::max(longestWorkerCpuMs, Ms(keeper.LastWorkerCpuNs()));

    std::printf("  with journal writes (%d keystrokes, %d journals of %.1f MiB written):\n",
                typed.keys, writes, QFile(keeper.JournalFile()).size() / 1048576.0);
    Report("UI thread per journal write (text copy), longest", longestSnapshotMs, 2);
    Report("worker per journal write (serialise, write, fsync)", longestWorkerMs, 300);
    std::printf("  %-52s %9.2f ms   (processor time; the rest is waiting for the disk\n"
                "  %-52s              and, on a busy machine, for a processor)\n",
                "  of it working", longestWorkerCpuMs, "");
    Report("longest keystroke while writing: letter", typed.longestLetterMs, 16);
    Report("longest keystroke while writing: line break", typed.longestReturnMs, 16);
    std::printf("  %-52s %9.2f ms\n", "  median line break", typed.MedianReturnMs());
    std::printf("  %-52s %9.2f ms\n", "  text copy: longest update per keystroke",
                Ms(keeper.LongestCacheUpdateNs()));
    keeper.Release();
    return writes > 0 ? 0 : 1;
}
