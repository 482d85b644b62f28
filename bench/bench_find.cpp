// Times find next and replace all in a generated 16 MiB document in the
// pane: a match near the end found from the start, then every "<TD>"
// replaced in one step (and the step undone).
#include "BenchSupport.h"
#include "app/Platform.h"
#include "doc/CEditorView.h"
#include "find/FindReplace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QString GeneratedText(qsizetype bytes) {
    // Table rows with Japanese cells; about 40 characters a line.
    const QString row = u"<TR><TD>表の中身 %1</TD><TD>abc</TD></TR>\r\n"_s;
    QString text;
    text.reserve(bytes + 100);
    for (int i = 0; text.size() < bytes; ++i)
        text += row.arg(i);
    return text;
}

void Report(const char* what, qint64 ms) {
    std::printf("%-40s %8lld ms\n", what, (long long)ms);
}

} // namespace

int main(int argc, char* argv[]) {
    bench::UseOffscreen();
    QApplication app(argc, argv);
    platform::Initialize();
    find::SetBeep(nullptr);

    CEditorView view;
    view.resize(800, 600);
    view.OnInitialUpdate();
    view.show();

    QElapsedTimer timer;
    timer.start();
    QString text = GeneratedText(16 * 1024 * 1024 - 64);
    text += u"<P>LateMatch</P>"_s;
    text += u"<TR><TD>x</TD></TR>"_s;
    view.SetWholeText(text);
    Report("load 16 MiB into the pane", timer.restart());
    std::printf("characters: %lld, lines: %d\n", (long long)view.document()->characterCount(),
                view.document()->blockCount());

    view.moveCursor(QTextCursor::Start);
    find::FindOptions late;
    late.what = u"latematch"_s;
    timer.restart();
    const bool found = find::FindNextInView(&view, late);
    Report("find a late match (first search)", timer.restart());
    view.moveCursor(QTextCursor::Start);
    timer.restart();
    find::FindNextInView(&view, late);
    Report("find a late match (ignoring case)", timer.restart());
    late.matchCase = true;
    late.what = u"LateMatch"_s;
    view.moveCursor(QTextCursor::Start);
    timer.restart();
    find::FindNextInView(&view, late);
    Report("find a late match (matching case)", timer.restart());
    late.wholeWord = true;
    view.moveCursor(QTextCursor::Start);
    timer.restart();
    find::FindNextInView(&view, late);
    Report("find a late match (whole word)", timer.restart());

    find::FindOptions td;
    td.what = u"<TD>"_s;
    timer.restart();
    const qsizetype replaced = find::ReplaceAllInView(&view, td, u"<TH>"_s);
    Report("replace all", timer.restart());
    QApplication::processEvents();
    Report("repaint after replace all", timer.restart());
    view.undo();
    Report("undo replace all", timer.restart());
    std::printf("found: %s, replaced: %lld\n", found ? "yes" : "no", (long long)replaced);
    return found && replaced > 0 ? 0 : 1;
}
