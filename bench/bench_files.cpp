// Times opening, saving and one selection replacement on generated
// Shift-JIS HTML files of 1 MiB and 16 MiB, and reports the peak memory.
// Saving is timed on both ways a save takes: atomic (a new file renamed over
// the old one) and in place (a file with a second hard link). For 16 MiB the
// figures are set beside their goals.
// Each size runs in a process of its own so that its peak is its own.
//
//   bench_files            runs both sizes
//   bench_files <MiB>      runs one size

#include "BenchSupport.h"
#include "app/Platform.h"
#include "pane/BlockTextCache.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "pane/PaneBytes.h"
#include "io/CodePage932.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdio>
#include <unistd.h>

namespace {


using bench::Ms;
using bench::PeakMiB;

int RunOne(int mebibytes) {
    platform::Initialize();
    QTemporaryDir dir;
    // Safety copies of the in-place save stay in the bench's own folder.
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
    const QString path = dir.filePath(QStringLiteral("bench.html"));
    const QByteArray bytes = bench::GeneratePage(qsizetype(mebibytes) * 1024 * 1024);
    if (!bench::WriteInput(path, bytes))
        return 2;
    const double baseMiB = PeakMiB();

    bench::ShownDocument shown;
    CEditorDoc& doc = shown.doc;
    CEditorView& view = shown.view;

    QElapsedTimer t;
    t.start();
    if (!bench::Load(doc, path))
        return 3;
    QApplication::processEvents();
    const double openMs = Ms(t);
    // The program's recovery keeper has the pane's paragraph texts follow it
    // from the open on; a save reads them.
    view.BlockTexts();

    // A ten-character selection in the middle.
    QTextCursor c = view.textCursor();
    const int middle = view.document()->characterCount() / 2;
    c.setPosition(middle);
    c.setPosition(middle + 10, QTextCursor::KeepAnchor);
    view.setTextCursor(c);
    t.restart();
    const QString selected = view.GetSelectedText();
    view.ReplaceSelection(QStringLiteral("<B>") + selected + QStringLiteral("</B>"), false);
    QApplication::processEvents();
    const double replaceMs = Ms(t);

    t.restart();
    if (!doc.OnSaveDocument(path))
        return 4;
    const double saveMs = Ms(t);

    // A second name makes the next save rewrite the file in place.
    const QString other = dir.filePath(QStringLiteral("bench-link.html"));
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) != 0)
        return 5;
    view.ReplaceSelection(QStringLiteral("<I>") + selected + QStringLiteral("</I>"), false);
    t.restart();
    if (!doc.OnSaveDocument(path))
        return 6;
    const double inPlaceMs = Ms(t);

    if (mebibytes == 16) {
        // The steps of a save alone.
        t.restart();
        const QString whole = view.GetWholeText();
        const double wholeMs = Ms(t);
        t.restart();
        qsizetype pieces = 0;
        CPaneBytes source(&view.Model(), doc.TextFormat());
        for (QString piece = source.NextText(); !piece.isEmpty(); piece = source.NextText())
            pieces += piece.size();
        const double piecesMs = Ms(t);
        t.restart();
        qsizetype blocks = 0;
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
            blocks += b.text().size();
        const double blocksMs = Ms(t);
        t.restart();
        const QByteArray encoded = cp932::Encode(whole, doc.TextFormat());
        const double encodeMs = Ms(t);
        t.restart();
        const bool same = !cp932::FirstRoundTripDifference(whole, encoded);
        const double roundTripMs = Ms(t);
        std::printf("         save steps: whole text %.1f ms, in pieces %.1f ms, block by block %.1f ms, "
                    "encode %.1f ms, read back as the same text %.1f ms%s\n",
                    wholeMs, piecesMs, blocksMs, encodeMs, roundTripMs,
                    same && pieces == whole.size() && blocks > 0 ? "" : " (DIFFERENT)");
    }

    const double peakMiB = PeakMiB();
    std::printf("%3d MiB  open %8.1f ms  save %7.1f ms (in place %7.1f ms)  select+replace %6.2f ms  "
                "peak memory %6.1f MiB (%.1f x file; before opening %.1f MiB)\n",
                mebibytes, openMs, saveMs, inPlaceMs, replaceMs, peakMiB, peakMiB / mebibytes,
                baseMiB);
    if (mebibytes == 16) {
        const auto goal = [](const char* what, double ms, double goalMs) {
            std::printf("  %-26s %8.1f ms  goal <= %5.0f ms  %s\n", what, ms, goalMs,
                        ms <= goalMs ? "ok" : "MISSED");
        };
        goal("open", openMs, 700);
        goal("save, atomic", saveMs, 200);
        goal("save, in place", inPlaceMs, 300);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    bench::UseOffscreen();
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        return RunOne(args[1].toInt());
    int result = 0;
    for (const char* size : {"1", "16"})
        result |= bench::RunChild({QString::fromLatin1(size)});
    return result;
}
