// The cost of the recovery journal for a 16 MiB document: the time the UI
// thread spends per journal write, the worker's time, and the longest
// keystroke handling while journals are being written.

#include "BenchSupport.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "app/CRecoveryKeeper.h"
#include "io/RecoveryJournal.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCursor>

#include <algorithm>
#include <sys/resource.h>
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

// Bytes this process has handed to write() so far, all threads.
qint64 BytesWritten() {
    QFile f(QStringLiteral("/proc/self/io"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

// Processor time of the process, all threads (nanoseconds).
qint64 ProcessCpuNs() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000000000 +
           (qint64(u.ru_utime.tv_usec) + u.ru_stime.tv_usec) * 1000;
}

void ReportBytes(const char* what, double bytes, double goal) {
    std::printf("  %-52s %9.0f B    goal <= %8.0f B  %s\n", what, bytes, goal,
                bytes <= goal ? "ok" : "OVER");
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
    if (!bench::Load(doc, path))
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

    // One letter and a pause, the journal's base already written: what the
    // pause costs, and the letter with it.
    keeper.SetIntervals(1000000, 1000000); // the pauses come when said below
    keeper.WriteChanges(true);
    keeper.WaitForWorker();
    qint64 letterBytes = 0, letterCpu = 0, pauseCpu = 0;
    for (int i = 0; i < 5; ++i) {
        const qint64 bytes = BytesWritten(), cpu = ProcessCpuNs();
        Key(&view, Qt::Key_B, QStringLiteral("b"));
        const qint64 typed = ProcessCpuNs();
        keeper.WriteChanges();
        keeper.WaitForWorker();
        letterCpu = std::max(letterCpu, ProcessCpuNs() - cpu);
        pauseCpu = std::max(pauseCpu, ProcessCpuNs() - typed);
        letterBytes = std::max(letterBytes, BytesWritten() - bytes);
    }
    std::printf("  one letter and a pause (16 MiB page, worst of 5):\n");
    ReportBytes("  bytes written", double(letterBytes), 4096);
    Report("  processor time of the pause, all threads", Ms(pauseCpu), 2);
    std::printf("  %-52s %9.2f ms   (with the keystroke itself)\n", "", Ms(letterCpu));

    // An hour of editing at a fast clock: a letter every 200 ms at a place
    // that moves every minute, a line break after every 40th, a write every
    // 30 s (the longest interval) and at the pause that ends each minute.
    // It begins with a new base (the whole page) and counts it.
    QRandomGenerator random(25);
    const qint64 hourBytes = BytesWritten();
    const qint64 hourCpu = ProcessCpuNs();
    keeper.WriteChanges(true);
    keeper.WaitForWorker();
    for (int minute = 0; minute < 60; ++minute) {
        QTextCursor at = view.textCursor();
        at.setPosition(int(random.bounded(view.document()->characterCount() - 1)));
        view.setTextCursor(at);
        for (int letter = 1; letter <= 300; ++letter) {
            Key(&view, Qt::Key_C, QStringLiteral("c"));
            if (letter % 40 == 0)
                Key(&view, Qt::Key_Return, QStringLiteral("\r"));
            if (letter % 150 == 0) {
                keeper.WriteChanges();
                keeper.WaitForWorker();
            }
        }
    }
    QApplication::processEvents();
    const double hourMiB = double(BytesWritten() - hourBytes) / 1048576.0;
    std::printf("  an hour of editing (18,000 letters, 120 writes, %.1f s of processor time):\n",
                Ms(ProcessCpuNs() - hourCpu) / 1000);
    std::printf("  %-52s %9.1f MiB  goal <= %6.0f MiB  %s\n", "  bytes written, the first base included",
                hourMiB, 50.0, hourMiB <= 50 ? "ok" : "OVER");
    std::printf("  %-52s %9.1f MiB\n", "  journal file at the end",
                QFile(keeper.JournalFile()).size() / 1048576.0);
    io::Journal recovered;
    t.restart();
    const io::JournalError error = io::ReadJournal(keeper.JournalFile(), recovered);
    const double recoverMs = Ms(t.nsecsElapsed());
    Report("  recovery of that journal (read, check, replay)", recoverMs, 1000);
    const bool same = error == io::JournalError::None && recovered.text == view.GetWholeText();
    std::printf("  %-52s %9d      %s\n", "  edits replayed; the text is the pane's",
                recovered.edits, same ? "yes" : "NO");
    keeper.Release();
    return writes > 0 && same ? 0 : 1;
}
