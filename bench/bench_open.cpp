// Times the program's start on a generated 16 MiB Shift-JIS page (main window
// shown, text shown, peak memory after opening; a save of it, its time and
// the memory it takes beyond the pane) and, on 1 MiB, the time from
// opening to a typed key shown; each figure beside its goal. Also times the
// steps of an open one by one (read, decode, filling the pane at once and in
// slices).
// Each size runs in a process of its own, with its own settings and state.
//
//   bench_open            runs both
//   bench_open <MiB>      runs one size

#include "BenchSupport.h"
#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "pane/BlockTextCache.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "io/CodePage932.h"
#include "io/FileIo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {


using bench::Ms;
using bench::PeakMiB;

// A figure of /proc/self/status (VmRSS, VmHWM) in MiB.
double ResidentMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

// Starts the peak resident memory (VmHWM) afresh from the current one.
bool ResetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1 && clear.flush();
}

// Notes the first time the main window is shown and painted.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer& clock) : m_clock(clock) {}
    double shownMs = -1;
    double paintedMs = -1;
    double textPaintedMs = -1; // the pane painted with text in it

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (qobject_cast<CMainFrame*>(watched)) {
            if (event->type() == QEvent::Show && shownMs < 0)
                shownMs = Ms(m_clock);
            if (event->type() == QEvent::Paint && paintedMs < 0)
                paintedMs = Ms(m_clock);
        }
        if (event->type() == QEvent::Paint && textPaintedMs < 0)
            if (auto* view = qobject_cast<CEditorView*>(watched->parent()))
                if (watched == view->viewport() && !view->document()->isEmpty())
                    textPaintedMs = Ms(m_clock);
        return false;
    }

private:
    const QElapsedTimer& m_clock;
};

void TypeKey(QWidget* to, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

// CEditorApp::OpenDocumentFile, the event loop running until it is done.
CEditorApp::OpenResult Open(CEditorApp& app, const QString& path) {
    std::optional<CEditorApp::OpenResult> opened;
    QEventLoop loop;
    app.OpenDocumentFile(path, [&](CEditorApp::OpenResult result) {
        opened = result;
        loop.quit();
    });
    if (!opened)
        loop.exec();
    return *opened;
}

int RunOne(int mebibytes, const QString& folder) {
    const QString path = folder + QStringLiteral("/bench.html");
    if (!bench::WritePage(path, qint64(mebibytes) << 20))
        return 2;

    if (mebibytes >= 16) {
        // The start, as the program does it, with the file on the command line.
        QElapsedTimer clock;
        clock.start();
        FirstPaint first(clock);
        qApp->installEventFilter(&first);
        CEditorApp app;
        if (!app.InitInstance({path, QStringLiteral("-Embedding")}))
            return 3;
        bench::WaitForStartup(app);
        QApplication::processEvents(); // the pane paints its text
        const double wholeMs = Ms(clock);
        const double textMs = first.textPaintedMs;
        qApp->removeEventFilter(&first);
        // (A copy of the text would add to the peak.)
        if (app.GetView()->document()->characterCount() < (mebibytes << 19))
            return 4;
        const double peak = PeakMiB();

        // A save of the changed file, as the program makes it, with the
        // memory it takes beyond what the process holds before it.
        CEditorDoc* doc = app.GetDocument();
        TypeKey(app.GetView(), Qt::Key_X, QStringLiteral("x"));
        QApplication::processEvents();
        const double beforeSaveMiB = ResidentMiB("VmRSS");
        const bool peakReset = ResetPeak();
        QElapsedTimer saveClock;
        saveClock.start();
        if (!doc->OnSaveDocument(path))
            return 6;
        const double saveMs = Ms(saveClock);
        const double saveExtraMiB = ResidentMiB("VmHWM") - beforeSaveMiB;

        // Another file as big opened over the document: the longest time
        // the window's events waited while it loaded.
        const QString other = folder + QStringLiteral("/other.html");
        if (!bench::WritePage(other, qint64(mebibytes) << 20))
            return 2;
        double longestPauseMs = 0;
        QElapsedTimer sinceTick;
        QTimer tick;
        bool wasLoading = false;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            // A pause counts when the load ran at either end of it.
            const bool loading = doc->IsLoading();
            if (loading || wasLoading)
                longestPauseMs = std::max(longestPauseMs, Ms(sinceTick));
            wasLoading = loading;
            sinceTick.restart();
        });
        sinceTick.start();
        tick.start(0);
        QElapsedTimer reopenClock;
        reopenClock.start();
        if (Open(app, other) != CEditorApp::OpenResult::Opened)
            return 7;
        const double reopenMs = Ms(reopenClock);
        QApplication::processEvents(); // the pause that ends the load
        tick.stop();

        // The steps one by one.
        QElapsedTimer t;
        t.start();
        QByteArray bytes;
        if (ReadWholeFile(path, bytes) != FileError::None)
            return 5;
        const double readMs = Ms(t);
        t.restart();
        const QString text = cp932::Decode(bytes);
        const double decodeMs = Ms(t);
        bytes = QByteArray();
        CEditorView view;
        view.resize(800, 600);
        view.show();
        t.restart();
        view.SetWholeText(text);
        const double fillMs = Ms(t);
        CEditorView sliced;
        sliced.resize(800, 600);
        sliced.show();
        t.restart();
        sliced.FillInSlices(text, CEditorDoc::kSliceLength, [](qsizetype) {
            QApplication::processEvents();
            return true;
        });
        const double slicesMs = Ms(t);
        CEditorView followed;
        followed.resize(800, 600);
        followed.show();
        followed.BlockTexts(); // as the recovery keeper has it
        t.restart();
        followed.FillInSlices(text, CEditorDoc::kSliceLength, [](qsizetype) {
            QApplication::processEvents();
            return true;
        });
        const double followedMs = Ms(t);

        std::printf("%3d MiB  window shown %.1f ms (painted %.1f ms), text shown %.1f ms, "
                    "all of it in the pane %.1f ms;\n         alone: read %.1f ms, decode "
                    "%.1f ms, fill the pane at once %.1f ms, in slices %.1f ms (%.1f ms with the "
                    "paragraph texts following)\n",
                    mebibytes, first.shownMs, first.paintedMs, textMs, wholeMs, readMs, decodeMs,
                    fillMs, slicesMs, followedMs);
        bench::Goal("start -> window mapped", first.paintedMs, 250, "ms");
        bench::Goal("start -> text shown", textMs, 500, "ms");
        bench::Goal("peak memory after open", peak, 160, "MiB");
        bench::Goal("save, checks included", saveMs, 150, "ms");
        std::printf("  (information) another 16 MiB file opened over it in %.0f ms; the window's "
                    "events waited %.0f ms at most\n",
                    reopenMs, longestPauseMs);
        if (peakReset)
            bench::Goal("save: memory beyond the pane", saveExtraMiB, 8, "MiB");
        else
            std::printf("  (the peak memory of the save cannot be told here)\n");
        return 0;
    }

    CEditorApp app;
    if (!app.InitInstance({QStringLiteral("-Embedding")}))
        return 3;
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    if (Open(app, path) != CEditorApp::OpenResult::Opened)
        return 4;
    CEditorView* view = app.GetView();
    TypeKey(view, Qt::Key_X, QStringLiteral("x"));
    QApplication::processEvents(); // the key painted
    const double keyMs = Ms(t);
    if (!view->GetWholeText().startsWith(QLatin1Char('x')))
        return 5;
    std::printf("%3d MiB  open to typed key shown %.1f ms\n", mebibytes, keyMs);
    bench::Goal("open -> typed key shown", keyMs, 120, "ms");
    // Nothing is asked on the way out.
    app.GetDocument()->SetModifiedFlag(false);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 2)
        return bench::RunInOwnFolder(argc, argv, [](const QByteArray& size, const QString& folder) {
            return RunOne(size.toInt(), folder);
        });
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QStringList sizes = args.size() > 1 ? QStringList{args[1]} : QStringList{"16", "1"};
    int result = 0;
    for (const QString& size : sizes) {
        QTemporaryDir dir;
        result |= bench::RunChild({size, dir.path()});
    }
    return result;
}
