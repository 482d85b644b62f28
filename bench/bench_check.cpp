// The cost of the HTML check: the worker's time for a 1 MiB and a 16 MiB
// page, the UI thread's time per check, and the longest keystroke while
// checks run.

#include "BenchSupport.h"
#include "check/CPageChecker.h"
#include "check/HtmlCheck.h"
#include "doc/CEditorView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextCursor>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// A hand-written page of about `size` UTF-16 units: markup, Japanese text,
// and every 100th row an element left open.
QString GenerateHtml(qsizetype size) {
    const QString row = QStringLiteral(
        "<TR><TD><FONT COLOR=\"#FF0000\">日本語のテキスト</FONT> <A HREF=\"a.html\">link</A> "
        "&amp; text</TD></TR>\n");
    const QString open = QStringLiteral("<TR><TD><B>日本語のテキスト</TD></TR>\n");
    QString page = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n"
                                  "<HTML><HEAD><TITLE>t</TITLE></HEAD>\n"
                                  "<BODY>\n<TABLE>\n");
    page.reserve(size + row.size());
    for (int i = 0; page.size() + row.size() < size; ++i)
        page += i % 100 == 99 ? open : row;
    return page;
}

void Key(QWidget* target, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// Types letters for `ms`, pausing now and then so that checks start and
// end; the longest keystroke.
double LongestKeystroke(CEditorView& view, int ms) {
    double longest = 0;
    QElapsedTimer total, t;
    total.start();
    for (int keys = 1; total.elapsed() < ms; ++keys) {
        t.start();
        Key(&view, Qt::Key_A, QStringLiteral("a"));
        QApplication::processEvents();
        longest = std::max(longest, bench::Ms(t));
        const QDeadlineTimer pause(keys % 20 == 0 ? 2500 : 5);
        while (!pause.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return longest;
}

} // namespace

int main(int argc, char* argv[]) {
    bench::UseOffscreen();
    QApplication app(argc, argv);
    QElapsedTimer t;

    std::printf("The check on the worker thread (one page at a time):\n");
    for (const qsizetype mib : {1, 16}) {
        const QString text = GenerateHtml(mib * 1024 * 1024);
        const io::ParagraphBatches lines{text.split(u'\n')};
        t.start();
        const bool tooLarge = check::TooLargeToCheck(lines);
        const double refuseMs = bench::Ms(t);
        const double before = bench::PeakMiB();
        t.start();
        const check::Result result = check::CheckPage(check::PageOf(lines));
        const double checkMs = bench::Ms(t);
        std::printf("  %lld MiB page (%lld problems, %s):\n", static_cast<long long>(mib),
                    static_cast<long long>(result.total),
                    tooLarge ? "above the size limit, not checked in the program"
                             : "below the size limit");
        if (tooLarge) {
            bench::Goal("telling it is too large", refuseMs, 50, "ms");
            std::printf("  %-34s %8.1f ms  (were it checked)\n", "check", checkMs);
        } else {
            bench::Goal("check", checkMs, 500, "ms");
            bench::Goal("memory of the check", bench::PeakMiB() - before, 64, "MiB");
        }
    }

    // As in the program, the pane's copy of the text follows it from the
    // start (the journal keeps it), and the pane shows the page.
    std::printf("In the pane (main thread, wall / processor time):\n");
    CEditorView view;
    view.resize(800, 600);
    view.show();
    view.BlockTexts();
    CPageChecker checker(&view);
    checker.SetPause(3600 * 1000);
    int ended = 0;
    QObject::connect(&checker, &CPageChecker::stateChanged, [&] { ++ended; });
    for (const auto& [name, page] : {std::pair{"1 MiB page", GenerateHtml(1024 * 1024)},
                                     std::pair{"1 MiB, most problems kept",
                                               GenerateHtml(1024 * 1024).replace(
                                                   QStringLiteral("</FONT>"), QString())}}) {
        view.SetWholeText(page);
        qint64 ui = 0, uiCpu = 0, worker = 0;
        for (int i = 0; i < 7; ++i) {
            checker.CheckNow();
            checker.WaitForWorker();
            QApplication::processEvents();
            ui = std::max(ui, checker.LastUiNs());
            uiCpu = std::max(uiCpu, checker.LastUiCpuNs());
            worker = std::max(worker, checker.LastWorkerNs());
        }
        std::printf("  %s: %lld problems, %zu marks\n", name,
                    static_cast<long long>(checker.ProblemCount()), view.LineMarks().size());
        std::printf("  %-34s %8.2f ms  (wall, longest of 7)\n", "UI thread per check", double(ui) / 1e6);
        bench::Goal("UI thread per check, processor", double(uiCpu) / 1e6, 2, "ms");
        std::printf("  %-34s %8.1f ms\n", "worker per check, longest", double(worker) / 1e6);
    }

    view.SetWholeText(GenerateHtml(1024 * 1024));
    QTextCursor middle(view.document());
    middle.setPosition(view.document()->characterCount() / 2);
    view.setTextCursor(middle);
    checker.SetEnabled(false);
    const double base = LongestKeystroke(view, 4000);
    checker.SetEnabled(true);
    checker.SetPause(100);
    ended = 0;
    const double checking = LongestKeystroke(view, 12000);
    std::printf("  1 MiB page, typing in the middle:\n");
    std::printf("  %-34s %8.1f ms\n", "longest keystroke, check off", base);
    bench::Goal("longest keystroke, checks running", checking, 16, "ms");
    std::printf("  (checks ended while typing: %d, results dropped as stale: %d)\n", ended,
                checker.DroppedResults());

    // A page on which one tag costs the library seconds: the checker goes
    // (the window closes) without waiting for it.
    {
        CEditorView slow;
        slow.SetWholeText(QStringLiteral("<!DOCTYPE html><title>t</title>") +
                          QStringLiteral("<b>").repeated(50000) + QStringLiteral("<p>x").repeated(5000));
        auto worst = std::make_unique<CPageChecker>(&slow);
        worst->CheckNow();
        QThread::msleep(500);
        t.start();
        worst.reset();
        bench::Goal("closing during a slow check", bench::Ms(t), 250, "ms");
    }
    return 0;
}
