// What the HTML colours cost: the same measures with colouring on and off,
// each in a process of its own (its own peak memory), in the real main
// window, printed beside their goals.
//   - a generated 16 MiB page: open until the text is shown, then bursts of
//     50 PageDowns; the process's peak memory
//   - single keys typed in the middle of it: median CPU of the UI thread
//   - "<!--" typed at the start of its first line: the worst key, whether
//     the screen shows the comment colour after each key's paint, and how
//     many paragraphs the key itself had lexed
//   - a 10 MiB page on one line: open and a key typed at its end

#include "BenchSupport.h"
#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "doc/PaneColouring.h"
#include "pane/HtmlTheme.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

namespace {




void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents();
}

// Posts `count` presses and releases of `key` (text `text`), and runs the
// event loop until the pane has painted after the last; wall ms.
double Keys(CEditorView* view, int key, const QString& text, int count, bench::PaintWatch& watch) {
    QElapsedTimer wall;
    wall.start();
    // Posted events come before the paint they cause (none is pending).
    const int before = watch.paints;
    for (int i = 0; i < count; ++i) {
        QApplication::postEvent(view, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
        QApplication::postEvent(view, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    }
    while (watch.paints == before && wall.elapsed() < 20000)
        QApplication::processEvents();
    return bench::Ms(wall);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Whether the paragraphs on the screen are coloured as a comment over all
// their text.
bool ScreenIsComment(CEditorView* view) {
    const QColor comment = pane::ThemeColour(pane::HtmlClass::Comment);
    QTextBlock block = view->cursorForPosition(QPoint(0, 0)).block();
    const QTextBlock last = view->cursorForPosition(QPoint(0, view->viewport()->height() - 1)).block();
    for (;; block = block.next()) {
        int covered = int(block.text().count(QChar::LineSeparator));
        for (const QTextLayout::FormatRange& r : block.layout()->formats())
            if (r.format.foreground().color() == comment)
                covered += r.length;
        if (covered < block.length() - 1)
            return false;
        if (block == last || !block.next().isValid())
            return true;
    }
}

CEditorApp* Open(const QString& path, bool on, double& shownMs) {
    QElapsedTimer wall;
    wall.start();
    auto* app = new CEditorApp;
    if (!app->InitInstance({path, QStringLiteral("-Embedding")}))
        return nullptr;
    app->GetMainFrame()->SetColouringEnabled(on);
    app->GetMainFrame()->resize(1000, 700);
    app->GetView()->setFocus();
    while (app->GetDocument()->IsLoading() && wall.elapsed() < 60000)
        QApplication::processEvents();
    bench::PaintWatch watch(app->GetView()->viewport());
    app->GetView()->viewport()->update();
    while (watch.paints == 0 && wall.elapsed() < 60000)
        QApplication::processEvents();
    shownMs = bench::Ms(wall);
    return app;
}

int Page(const QString& folder, bool on) {
    const QString path = folder + QStringLiteral("/page.html");
    if (!bench::WritePage(path, qint64(16) << 20))
        return 2;
    double shown = 0;
    const double cpu0 = bench::ProcessCpuMs();
    CEditorApp* app = Open(path, on, shown);
    if (!app)
        return 3;
    const double shownCpu = bench::ProcessCpuMs() - cpu0;
    CEditorView* view = app->GetView();
    bench::PaintWatch watch(view->viewport());
    double pages = 0, pagesCpu = 0;
    for (const double place : {0.0, 0.3, 0.6}) {
        QTextCursor c(view->document()->findBlockByNumber(int(view->document()->blockCount() * place)));
        view->setTextCursor(c);
        Settle(200);
        const double before = bench::ProcessCpuMs();
        pages += Keys(view, Qt::Key_PageDown, {}, 50, watch);
        pagesCpu += bench::ProcessCpuMs() - before;
    }
    std::printf("RESULT open %.1f\nRESULT pages %.1f\nRESULT peak %.1f\n", shown, pages, bench::PeakMiB());
    std::printf("RESULT open-cpu %.1f\nRESULT pages-cpu %.1f\n", shownCpu, pagesCpu);

    // Keys in the middle, one at a time.
    QTextCursor middle(view->document()->findBlockByNumber(view->document()->blockCount() / 2));
    middle.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, 20);
    view->setTextCursor(middle);
    view->centerCursor();
    Settle(300);
    std::vector<double> cpu;
    for (int i = 0; i < 40; ++i) {
        const double before = bench::ThreadCpuMs();
        Keys(view, Qt::Key_X, QStringLiteral("x"), 1, watch);
        cpu.push_back(bench::ThreadCpuMs() - before);
        Settle(20);
    }
    std::printf("RESULT key %.2f\n", Median(cpu));

    // "<!--" at the start of the first line, after the whole page was seen.
    view->moveCursor(QTextCursor::End);
    Settle(300);
    view->moveCursor(QTextCursor::Start);
    Settle(2000); // any cascade of colour ends
    double worst = 0;
    bool shownAsComment = true;
    qint64 lexedByKeys = 0;
    for (const QChar c : QStringLiteral("<!--")) {
        const int key = c == u'<' ? Qt::Key_Less : c == u'!' ? Qt::Key_Exclam : Qt::Key_Minus;
        worst = std::max(worst, Keys(view, key, c, 1, watch));
        lexedByKeys = std::max(lexedByKeys, view->Colouring()->LexedByLastPaint());
        Settle(50);
    }
    shownAsComment = ScreenIsComment(view);
    std::printf("RESULT comment-worst %.1f\nRESULT comment-shown %d\nRESULT comment-lexed %lld\n"
                "RESULT paragraphs %d\n",
                worst, shownAsComment ? 1 : 0, static_cast<long long>(lexedByKeys),
                view->document()->blockCount());
    std::fflush(stdout);
    std::_Exit(0); // no closing questions about the changed page
}

int Line(const QString& folder, bool on) {
    const QString path = folder + QStringLiteral("/line.html");
    QByteArray line = bench::kPageLine;
    line.chop(2);
    QByteArray page;
    while (page.size() + line.size() < (qint64(10) << 20))
        page += line;
    if (!bench::WriteInput(path, page))
        return 2;
    double shown = 0;
    CEditorApp* app = Open(path, on, shown);
    if (!app)
        return 3;
    CEditorView* view = app->GetView();
    bench::PaintWatch watch(view->viewport());
    QElapsedTimer wall;
    wall.start();
    view->moveCursor(QTextCursor::End);
    for (const int scrolled = watch.paints; watch.paints == scrolled && wall.elapsed() < 20000;)
        QApplication::processEvents();
    Keys(view, Qt::Key_X, QStringLiteral("x"), 1, watch);
    std::printf("RESULT line %.1f\n", shown + bench::Ms(wall));
    std::fflush(stdout);
    std::_Exit(0);
}

std::map<QString, double> Child(const QString& mode) {
    QTemporaryDir dir;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {mode, dir.path()});
    child.waitForFinished(-1);
    std::map<QString, double> figures;
    for (const QByteArray& row : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = row.split(' ');
        if (parts.size() == 3 && parts[0] == "RESULT")
            figures[QString::fromLatin1(parts[1])] = parts[2].toDouble();
    }
    return figures;
}

void Ratio(const char* what, double on, double off, double goal) {
    std::printf("  %-36s on %9.1f  off %9.1f  ratio %5.2f  goal <= %4.2f  %s\n", what, on, off,
                off > 0 ? on / off : 0, goal, off > 0 && on / off <= goal ? "ok" : "MISSED");
}

using Figures = std::map<QString, std::vector<double>>;

double MedianOf(const Figures& f, const char* name) {
    const auto it = f.find(QString::fromLatin1(name));
    return it == f.end() ? 0 : Median(it->second);
}
double WorstOf(const Figures& f, const char* name) {
    const auto it = f.find(QString::fromLatin1(name));
    return it == f.end() || it->second.empty() ? 0 : *std::max_element(it->second.begin(), it->second.end());
}
double LeastOf(const Figures& f, const char* name) {
    const auto it = f.find(QString::fromLatin1(name));
    return it == f.end() || it->second.empty() ? 0 : *std::min_element(it->second.begin(), it->second.end());
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 2)
        return bench::RunInOwnFolder(argc, argv, [](const QByteArray& mode, const QString& folder) {
            const bool on = mode.endsWith("-on");
            return mode.startsWith("page") ? Page(folder, on) : Line(folder, on);
        });
    QCoreApplication app(argc, argv);
    // Rounds of on and off in turn, so that a busy machine weighs on both.
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    std::map<QString, Figures> all;
    for (int round = 0; round < rounds; ++round) {
        for (const char* mode : {"page-on", "page-off", "line-on", "line-off"}) {
            const auto figures = Child(QString::fromLatin1(mode));
            if (figures.empty()) {
                std::printf("a measuring process (%s) failed\n", mode);
                return 1;
            }
            for (const auto& [name, value] : figures)
                all[QString::fromLatin1(mode)][name].push_back(value);
        }
    }
    const Figures &on = all["page-on"], &off = all["page-off"];
    std::printf("HTML colours on vs off, 16 MiB page (%.0f paragraphs), medians of %d rounds:\n",
                MedianOf(on, "paragraphs"), rounds);
    Ratio("open, text shown (ms)", MedianOf(on, "open"), MedianOf(off, "open"), 1.05);
    Ratio("open + 3 x 50 PageDowns (ms)", MedianOf(on, "open") + MedianOf(on, "pages"),
          MedianOf(off, "open") + MedianOf(off, "pages"), 1.05);
    Ratio("the same in CPU time (ms)", MedianOf(on, "open-cpu") + MedianOf(on, "pages-cpu"),
          MedianOf(off, "open-cpu") + MedianOf(off, "pages-cpu"), 1.05);
    Ratio("  of which 3 x 50 PageDowns, CPU (ms)", MedianOf(on, "pages-cpu"), MedianOf(off, "pages-cpu"), 1.05);
    Ratio("peak memory (MiB)", MedianOf(on, "peak"), MedianOf(off, "peak"), 1.10);
    const double keyOn = MedianOf(on, "key"), keyOff = MedianOf(off, "key");
    std::printf("  %-36s on %9.2f  off %9.2f  delta %5.2f  goal <= 1.00 ms  %s\n",
                "key in the middle, median CPU (ms)", keyOn, keyOff, keyOn - keyOff,
                keyOn - keyOff <= 1.0 ? "ok" : "MISSED");
    bench::Goal("\"<!--\" on line 1, worst key of all", WorstOf(on, "comment-worst"), 16, "ms");
    std::printf("  %-36s %s (paragraphs a key lexed in its paint: at most %.0f of %.0f)\n",
                "screen in comment colour after it", LeastOf(on, "comment-shown") > 0 ? "yes" : "NO",
                WorstOf(on, "comment-lexed"), MedianOf(on, "paragraphs"));
    std::printf("10 MiB on one line:\n");
    Ratio("open + key at the end (ms)", MedianOf(all["line-on"], "line"), MedianOf(all["line-off"], "line"), 1.10);
    return 0;
}
