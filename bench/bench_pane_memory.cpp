// Measures what the editing pane costs per line and per character: the
// growth of the process's data size and resident size when the pane takes
// many short lines, and when it takes one long paragraph.
//
//   bench_pane_memory               runs both shapes, each in its own process
//   bench_pane_memory lines <n>     n lines of 8 characters
//   bench_pane_memory chars <n>     one line of n characters

#include "app/Platform.h"
#include "doc/CEditorView.h"
#include "doc/PaneMemory.h"

#include <QApplication>
#include <QFile>
#include <QProcess>

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

int Measure(const QString& shape, qint64 n) {
    CEditorView view;
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    QString text;
    if (shape == QLatin1String("lines")) {
        text.reserve(n * 9);
        for (qint64 i = 0; i < n; ++i)
            text += QStringLiteral("<P>a</P>\n");
    } else {
        text.fill(QLatin1Char('a'), n);
    }
    malloc_trim(0);
    const auto before = Usage();
    view.SetWholeText(text);
    QApplication::processEvents();
    const auto after = Usage();
    const qint64 data = after.first - before.first;
    const qint64 resident = after.second - before.second;
    std::printf("%s %lld: data +%lld bytes, resident +%lld bytes; per %s: data %.1f, resident %.1f\n",
                qPrintable(shape), static_cast<long long>(n), static_cast<long long>(data),
                static_cast<long long>(resident), shape == QLatin1String("lines") ? "line" : "char",
                double(data) / double(n), double(resident) / double(n));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::Initialize();
    const QStringList args = app.arguments();
    if (args.size() == 3)
        return Measure(args[1], args[2].toLongLong());
    for (const auto& [shape, n] : {std::pair{"lines", 1000000}, std::pair{"lines", 4000000},
                                   std::pair{"chars", 16000000}, std::pair{"chars", 64000000}}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(args[0], {QString::fromLatin1(shape), QString::number(n)});
        child.waitForFinished(-1);
    }
    std::printf("estimate used by the document: %lld bytes per line, %lld bytes per character\n",
                static_cast<long long>(kPaneBytesPerLine), static_cast<long long>(kPaneBytesPerChar));
    return 0;
}
