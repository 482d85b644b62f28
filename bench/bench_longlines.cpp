// Opens files with very long lines (and two large ordinary ones) in the pane
// and times what a user waits for: the pane ready after opening, one
// keystroke at the end of the long line, and paging through a long line.
// Prints each figure beside its goal. Each input runs in a process of its
// own so that its peak memory is its own.
//
//   bench_longlines          runs every input
//   bench_longlines <name>   runs one input

#include "BenchSupport.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextCursor>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr qsizetype kMiB = 1024 * 1024;

struct Input {
    const char* name;
    const char* title;
    std::function<QByteArray()> generate;
    double openGoalMs;
    double keyGoalMs;
    double peakGoalMiB; // 0: none
    bool pageThrough;
};

QByteArray Repeat(QByteArray unit, qsizetype size) {
    QByteArray out;
    out.reserve(size + unit.size());
    while (out.size() < size)
        out += unit;
    out.truncate(size);
    return out;
}

const QByteArray kHtmlRow = "<TR><TD><FONT COLOR=\"#FF0000\">\x93\xfa\x96\x7b\x8c\xea\x82\xcc"
                            "\x83\x65\x83\x4c\x83\x58\x83\x67 \xc3\xbd\xc4 sample text</FONT></TD>"
                            "</TR>";

QByteArray OrdinaryPage(qsizetype size) {
    QByteArray page = "<HTML>\r\n<BODY>\r\n<TABLE>\r\n";
    const QByteArray line = kHtmlRow + "\r\n";
    page.reserve(size + line.size());
    while (page.size() + line.size() < size)
        page += line;
    return page;
}

const std::vector<Input>& Inputs() {
    static const std::vector<Input> inputs = {
        {"letter", "1 MiB single line of one letter", [] { return QByteArray(kMiB, 'a'); }, 500,
         30, 0, false},
        {"nospace", "10 MiB single line without spaces",
         [] { return Repeat("<a>0123456789ABCDEFghijklmnopqrstuvwxyz</a>", 10 * kMiB); }, 2000,
         50, 0, true},
        {"nul", "1 MiB of NUL bytes", [] { return QByteArray(kMiB, '\0'); }, 500, 30, 0, false},
        {"japanese", "1 MiB single line of Japanese HTML", [] { return Repeat(kHtmlRow, kMiB); },
         500, 30, 0, false},
        {"lf", "4 MiB of LF only", [] { return QByteArray(4 * kMiB, '\n'); }, 2000, 16, 250.0e6 / kMiB,
         false},
        {"html", "16 MiB ordinary HTML", [] { return OrdinaryPage(16 * kMiB); }, 500, 16, 200,
         false},
    };
    return inputs;
}

using bench::Ms;
using bench::PeakMiB;

void Press(CEditorView& view, Qt::Key key, const QString& text = QString(),
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&view, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(&view, &release);
}

// The pane as the user sees it after an event: laid out and painted.
void Settle(CEditorView& view) {
    QApplication::processEvents();
    view.viewport()->repaint();
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}
double Median(const std::vector<double>& v) { return Percentile(v, 0.5); }

void Row(const char* what, double figure, const char* unit, double goal) {
    std::printf("  %-34s %10.1f %-3s  goal <= %7.1f %-3s  %s\n", what, figure, unit, goal, unit,
                figure <= goal ? "ok" : "MISSED");
}

int RunOne(const Input& input) {
    platform::Initialize();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.html"));
    if (!bench::WriteInput(path, input.generate()))
        return 2;

    bench::ShownDocument shown;
    CEditorDoc& doc = shown.doc;
    CEditorView& view = shown.view;
    Settle(view);

    QElapsedTimer t;
    t.start();
    if (!bench::Load(doc, path))
        return 3;
    Settle(view);
    const double openMs = Ms(t);
    const double openPeak = PeakMiB();

    // Keystrokes at the end of the long line (the end of the text).
    Press(view, Qt::Key_End, QString(), Qt::ControlModifier);
    Settle(view);
    std::vector<double> keys;
    for (int i = 0; i < 9; ++i) {
        t.restart();
        Press(view, Qt::Key_X, QStringLiteral("x"));
        Settle(view);
        keys.push_back(Ms(t));
    }

    std::vector<double> pages;
    if (input.pageThrough) {
        Press(view, Qt::Key_Home, QString(), Qt::ControlModifier);
        Settle(view);
        const int total = view.document()->characterCount();
        int before = -1;
        while (view.textCursor().position() < total - 1 && view.textCursor().position() != before) {
            before = view.textCursor().position();
            t.restart();
            Press(view, Qt::Key_PageDown);
            Settle(view);
            pages.push_back(Ms(t));
            if (qEnvironmentVariableIsSet("BENCH_TRACE"))
                std::printf("%d %.2f\n", view.textCursor().position(), pages.back());
        }
        if (view.textCursor().position() < total - 1 - 10000)
            std::printf("  PageDown stopped at %d of %d\n", view.textCursor().position(), total);
    }

    const double peak = PeakMiB();
    std::printf("%s\n", input.title);
    Row("open, pane ready", openMs, "ms", input.openGoalMs);
    Row("keystroke at the end (median of 9)", Median(keys), "ms", input.keyGoalMs);
    std::printf("  %-34s %10.1f ms\n", "keystroke, slowest of 9", *std::max_element(keys.begin(), keys.end()));
    if (!pages.empty()) {
        Row("PageDown, median page", Median(pages), "ms", 16);
        Row("PageDown, 95th percentile page", Percentile(pages, 0.95), "ms", 16);
        Row("PageDown, slowest page", *std::max_element(pages.begin(), pages.end()), "ms", 16);
        std::printf("  %-34s %10zu\n", "pages", pages.size());
    }
    std::printf("  %-34s %10.1f MiB\n", "peak memory when opened", openPeak);
    if (input.peakGoalMiB > 0)
        Row("peak memory", peak, "MiB", input.peakGoalMiB);
    else
        std::printf("  %-34s %10.1f MiB\n", "peak memory", peak);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    bench::UseOffscreen();
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        for (const Input& input : Inputs())
            if (args[1] == QLatin1String(input.name))
                return RunOne(input);
        std::fprintf(stderr, "unknown input\n");
        return 1;
    }
    int result = 0;
    for (const Input& input : Inputs())
        result |= bench::RunChild({QString::fromLatin1(input.name)});
    return result;
}
