// Times opening and saving the same 16 MiB page in UTF-8 beside Shift-JIS,
// as the program opens it from the command line (text in the pane) and
// saves it after a typed key, and the peak memory after the open; each
// figure is the best of kRuns runs, each run a process of its own. The
// UTF-8 file is 16 MiB; the Shift-JIS one holds the same text.
//
//   bench_encodings

#include "BenchSupport.h"
#include "app/CEditorApp.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "io/EncodingDetect.h"
#include "io/FileIo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace {

using bench::Ms;

constexpr qint64 kSize = qint64(16) << 20;
// Runs of each, alternating; the machine's load varies between them.
constexpr int kRuns = 5;

// The page: the benchmark's Shift-JIS lines, in `encoding`, as many as make
// kSize bytes of UTF-8.
bool WritePage(const QString& path, io::Encoding encoding) {
    const QString line = codec::Decode(bench::kPageLine, io::Encoding::ShiftJis)->text;
    const QString start = codec::Decode(bench::kPageStart, io::Encoding::ShiftJis)->text;
    io::TextFormat format;
    format.encoding = encoding;
    const qint64 lines = (kSize - start.toUtf8().size()) / line.toUtf8().size();
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(codec::Encode(start, format));
    const QByteArray block = codec::Encode(line.repeated(256), format);
    for (qint64 i = 0; i + 256 <= lines; i += 256)
        f.write(block);
    return f.error() == QFileDevice::NoError;
}

// One open and save in this process; prints "open save peak detection
// encoding", in ms and MiB.
int RunOne(const QString& path) {
    QElapsedTimer clock;
    clock.start();
    CEditorApp app;
    if (!app.InitInstance({path, QStringLiteral("-Embedding")}))
        return 3;
    bench::WaitForStartup(app);
    QApplication::processEvents();
    const double openMs = Ms(clock);
    const double peak = bench::PeakMiB();
    CEditorView* view = app.GetView();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(view, &press);
    QApplication::processEvents();
    QElapsedTimer saveClock;
    saveClock.start();
    if (!app.GetDocument()->OnSaveDocument(path))
        return 4;
    const double saveMs = Ms(saveClock);
    app.GetDocument()->SetModifiedFlag(false);
    // Detection and decoding alone, on the bytes as saved.
    QByteArray bytes;
    if (ReadWholeFile(path, bytes) != FileError::None)
        return 5;
    // What deciding the encoding adds to decoding in it (each result let go
    // before the next is made).
    const io::Encoding encoding = app.GetDocument()->TextFormat().encoding;
    if (!codec::Decode(bytes, encoding)) // the memory it takes made once
        return 6;
    double decodeMs = 1e9, detectAndDecodeMs = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (!codec::Decode(bytes, encoding))
            return 6;
        decodeMs = std::min(decodeMs, Ms(t));
        t.restart();
        if (!codec::DetectAndDecode(bytes))
            return 6;
        detectAndDecodeMs = std::min(detectAndDecodeMs, Ms(t));
    }
    const double detectMs = detectAndDecodeMs - decodeMs;
    // Encoding the whole text once, as a save does twice (write, read-back).
    const QString text = view->GetWholeText();
    double encodeMs = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (codec::Encode(text, app.GetDocument()->TextFormat()).isEmpty())
            return 7;
        encodeMs = std::min(encodeMs, Ms(t));
    }
    std::printf("%f %f %f %f %f\n", openMs, saveMs, peak, detectMs, encodeMs);
    return 0;
}

struct Figures {
    double openMs = 1e9, saveMs = 1e9, peakMiB = 1e9, detectMs = 1e9, encodeMs = 1e9;
};

bool Measure(const QString& path, Figures& best) {
    QTemporaryDir state; // settings and journals of this run alone
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("run"), path, state.path()});
    child.waitForFinished(-1);
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || f.size() != 5)
        return false;
    best.openMs = std::min(best.openMs, f[0].toDouble());
    best.saveMs = std::min(best.saveMs, f[1].toDouble());
    best.peakMiB = std::min(best.peakMiB, f[2].toDouble());
    best.detectMs = std::min(best.detectMs, f[3].toDouble());
    best.encodeMs = std::min(best.encodeMs, f[4].toDouble());
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 3 && QByteArray(argv[1]) == "run") {
        bench::UseOwnFolder(argv[3]);
        QApplication app(argc, argv);
        return RunOne(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString sjis = dir.filePath(QStringLiteral("sjis.html"));
    const QString utf8 = dir.filePath(QStringLiteral("utf8.html"));
    if (!WritePage(sjis, io::Encoding::ShiftJis) || !WritePage(utf8, io::Encoding::Utf8))
        return 2;
    Figures s, u;
    for (int run = 0; run < kRuns; ++run)
        if (!Measure(sjis, s) || !Measure(utf8, u))
            return 3;
    std::printf("16 MiB UTF-8 page (%.1f MiB in Shift-JIS), best of %d:\n",
                double(QFileInfo(sjis).size()) / (1 << 20), kRuns);
    for (const auto& [name, f, path] : {std::tuple{"Shift-JIS", s, sjis}, std::tuple{"UTF-8", u, utf8}})
        std::printf("  %-10s open %7.1f ms  save %6.1f ms (encoding %5.1f ms, %4.1f MiB)  peak %6.1f MiB  "
                    "detection %5.1f ms\n",
                    name, f.openMs, f.saveMs, f.encodeMs, double(QFileInfo(path).size()) / (1 << 20),
                    f.peakMiB, f.detectMs);
    const auto ratio = [](const char* what, double value, double goal) {
        std::printf("  %-38s %5.2f   goal <= %4.2f  %s\n", what, value, goal,
                    value <= goal ? "ok" : "MISSED");
    };
    ratio("open: UTF-8 / Shift-JIS", u.openMs / s.openMs, 1.1);
    ratio("save: UTF-8 / Shift-JIS", u.saveMs / s.saveMs, 1.1);
    ratio("peak memory: UTF-8 / Shift-JIS", u.peakMiB / s.peakMiB, 1.0);
    ratio("detection share of the UTF-8 open", u.detectMs / u.openMs, 0.1);
    ratio("detection share of the Shift-JIS open", s.detectMs / s.openMs, 0.1);
    return 0;
}
