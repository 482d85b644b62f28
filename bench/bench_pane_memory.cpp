// Measures what the editing pane costs per line, per paragraph and per
// character: the growth of the process's data size and resident size when
// the shown pane takes n lines of 8, of 72 and of 600 characters (short lines
// of a long text share paragraphs; lines of 600 cannot, each is a paragraph).
//
//   bench_pane_memory                 runs each shape in its own process
//   bench_pane_memory <width> <n>     n lines of `width` characters

#include "BenchSupport.h"
#include "app/Platform.h"
#include "doc/CEditorView.h"
#include "pane/PaneMemory.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <malloc.h>

namespace {

// Data size and resident size in bytes.
std::pair<qint64, qint64> Usage() {
    QFile status(QStringLiteral("/proc/self/status"));
    qint64 data = 0, resident = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() >= 2 && parts[0] == "VmData:")
                data = parts[1].toLongLong() * 1024;
            if (parts.size() >= 2 && parts[0] == "VmRSS:")
                resident = parts[1].toLongLong() * 1024;
        }
    return {data, resident};
}

double Measure(int width, qint64 n) {
    CEditorView view;
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    QString line = QStringLiteral("<P>") + QString(width - 7, QLatin1Char('a')) +
                   QStringLiteral("</P>\n");
    QString text;
    text.reserve(n * line.size());
    for (qint64 i = 0; i < n; ++i)
        text += line;
    malloc_trim(0);
    const auto before = Usage();
    view.SetWholeText(text);
    QApplication::processEvents();
    const auto after = Usage();
    const qint64 data = after.first - before.first;
    const qint64 resident = after.second - before.second;
    const int paragraphs = view.document()->blockCount();
    std::printf("%lld lines of %d characters in %d paragraphs: data +%lld bytes, resident +%lld "
                "bytes; per line: data %.1f, resident %.1f; per paragraph: data %.1f\n",
                static_cast<long long>(n), width, paragraphs, static_cast<long long>(data),
                static_cast<long long>(resident), double(data) / double(n),
                double(resident) / double(n), double(data) / double(paragraphs));
    std::fflush(stdout);
    return double(qMax(data, resident)) / double(n);
}

} // namespace

int main(int argc, char** argv) {
    bench::UseOffscreen();
    QApplication app(argc, argv);
    platform::Initialize();
    const QStringList args = app.arguments();
    if (args.size() == 3) {
        Measure(args[1].toInt(), args[2].toLongLong());
        return 0;
    }
    for (const auto& [width, n] : {std::pair{8, 1000000}, std::pair{8, 3000000},
                                   std::pair{72, 1000000}, std::pair{600, 100000}}) {
        bench::RunChild({QString::number(width), QString::number(n)});
    }
    std::printf("estimate used by the document: %lld bytes per paragraph, %lld per character, "
                "%lld per line\n",
                static_cast<long long>(kPaneBytesPerParagraph), static_cast<long long>(kPaneBytesPerChar),
                static_cast<long long>(kPaneBytesPerLine));
    return 0;
}
