// Times paging through a generated 16 MiB Shift-JIS page in the real main
// window (status bar, toolbars and every handler the program connects take
// part): bursts of 50 PageDowns posted at once to the pane, each from a place
// not shown before, measured from the posting until the last frame is
// painted, in CPU time of the whole process and in wall time. Prints the
// median and the worst burst beside the goal, and for information bursts of
// 50 PageUps and 50 Down-arrow repeats.
// Runs in a process of its own, with its own settings and state.
//
//   bench_scroll          runs the bursts
//   bench_scroll perf     the same, waiting for Enter before the first burst
//                         (time to attach a profiler)

#include "BenchSupport.h"
#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kKeys = 50;



// Counts the pane's handled key releases and the paints of its text after
// the last of them.
class BurstWatch : public QObject {
public:
    explicit BurstWatch(CEditorView* view) : m_view(view) {}
    int released = 0;
    int paintsAfterLast = 0;
    int expected = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyRelease && watched == m_view)
            ++released;
        if (event->type() == QEvent::Paint && watched == m_view->viewport() && released >= expected)
            ++paintsAfterLast;
        return false;
    }

private:
    CEditorView* m_view;
};

struct Burst {
    double cpuMs = 0;
    double wallMs = 0;
    int firstLine = 0; // the caret's paragraph before and after
    int lastLine = 0;
};

// Shows the paragraph at `fraction` of the text in the middle, the caret
// `column` characters into it.
void PlaceAt(CEditorView* view, double fraction, int column) {
    QTextDocument* doc = view->document();
    const QTextBlock block = doc->findBlockByNumber(int(doc->blockCount() * fraction));
    QTextCursor c(block);
    c.setPosition(block.position() + std::min(column, block.length() - 1));
    view->setTextCursor(c);
    view->centerCursor();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

Burst RunBurst(CEditorView* view, Qt::Key key) {
    QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : view;
    BurstWatch watch(view);
    watch.expected = kKeys;
    qApp->installEventFilter(&watch);
    Burst burst;
    burst.firstLine = view->textCursor().blockNumber();
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = bench::ProcessCpuMs();
    for (int i = 0; i < kKeys; ++i) {
        QApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, {},
                                                  i > 0 && key == Qt::Key_Down));
        QApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, {},
                                                  i > 0 && key == Qt::Key_Down));
    }
    // Until every key is handled and the pane painted after the last one
    // (a pane at the end of the text may have nothing left to paint).
    while ((watch.released < kKeys || watch.paintsAfterLast == 0) && wall.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents);
    burst.cpuMs = bench::ProcessCpuMs() - cpu0;
    burst.wallMs = double(wall.nsecsElapsed()) / 1e6;
    qApp->removeEventFilter(&watch);
    burst.lastLine = view->textCursor().blockNumber();
    if (watch.released < kKeys || watch.paintsAfterLast == 0)
        std::printf("  (burst not finished: %d keys, %d paints)\n", watch.released,
                    watch.paintsAfterLast);
    return burst;
}

struct Series {
    std::vector<Burst> bursts;
    double MedianCpu() const {
        std::vector<double> v;
        for (const Burst& b : bursts)
            v.push_back(b.cpuMs);
        std::sort(v.begin(), v.end());
        return v.empty()      ? 0
               : v.size() % 2 ? v[v.size() / 2]
                              : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    double WorstCpu() const {
        double worst = 0;
        for (const Burst& b : bursts)
            worst = std::max(worst, b.cpuMs);
        return worst;
    }
    double WorstWall() const {
        double worst = 0;
        for (const Burst& b : bursts)
            worst = std::max(worst, b.wallMs);
        return worst;
    }
};

Series RunSeries(CEditorView* view, Qt::Key key, const char* name,
                 std::initializer_list<double> places) {
    Series series;
    int column = 0;
    for (const double place : places) {
        // The caret at the start of a line, and inside one (every line it
        // passes is then shaped to keep its place across).
        PlaceAt(view, place, column);
        const Burst b = RunBurst(view, key);
        std::printf("  %-10s from %3.0f %%, column %2d: paragraph %6d -> %6d  cpu %6.1f ms  "
                    "wall %6.1f ms\n",
                    name, place * 100, column, b.firstLine + 1, b.lastLine + 1, b.cpuMs, b.wallMs);
        column = column ? 0 : 12;
        series.bursts.push_back(b);
    }
    return series;
}

int Run(const QString& folder, bool waitForProfiler) {
    const QString path = folder + QStringLiteral("/bench.html");
    if (!bench::WritePage(path, qint64(16) << 20))
        return 2;
    CEditorApp app;
    if (!bench::StartAndSettle(app, path, qint64(16) << 20))
        return 3;
    CEditorView* view = app.GetView();
    std::printf("16 MiB, %lld lines in %d paragraphs, pane %dx%d, %d keys per burst\n",
                static_cast<long long>(view->GetWholeText().count(QChar::ParagraphSeparator) + 1),
                view->document()->blockCount(), view->viewport()->width(),
                view->viewport()->height(), kKeys);
    if (waitForProfiler) {
        std::printf("press Enter to start\n");
        std::fflush(stdout);
        std::getchar();
    }

    // Each burst starts where nothing was laid out yet.
    const Series down =
        RunSeries(view, Qt::Key_PageDown, "PageDown", {0.0, 0.5, 0.1, 0.6, 0.2, 0.7, 0.3, 0.55});
    const Series up = RunSeries(view, Qt::Key_PageUp, "PageUp", {0.45, 0.95, 0.85});
    const Series arrows = RunSeries(view, Qt::Key_Down, "Down", {0.35, 0.8, 0.4});

    std::printf("50 PageDowns: median cpu %.1f ms, worst cpu %.1f ms, worst wall %.1f ms\n",
                down.MedianCpu(), down.WorstCpu(), down.WorstWall());
    bench::Goal("50 PageDowns, median CPU", down.MedianCpu(), 60, "ms");
    bench::Goal("50 PageDowns, worst CPU", down.WorstCpu(), 60, "ms");
    std::printf("  (information) 50 PageUps: median cpu %.1f ms, worst %.1f ms; "
                "50 Down repeats: median cpu %.1f ms, worst %.1f ms\n",
                up.MedianCpu(), up.WorstCpu(), arrows.MedianCpu(), arrows.WorstCpu());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) { return bench::RunOwnProcess(argc, argv, Run); }
