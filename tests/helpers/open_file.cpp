// Opens one file in a document and pane as the program does, offscreen, and
// says on standard output how it went: "opened" or the warning shown.
//
//   open_file <path>     opens the file
//   open_file --vmsize   prints the address space in use once all is set up

#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "io/MemoryRoom.h"
#include "support/TestSupport.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::Initialize();
    testing::FakeUi ui;
    CEditorDoc doc;
    CEditorView view;
    doc.SetView(&view);
    view.show();
    QApplication::processEvents();
    const QStringList args = app.arguments();
    if (args.size() != 2)
        return 2;
    if (args[1] == QLatin1String("--vmsize")) {
        std::printf("%lld\n", static_cast<long long>(io::CurrentMemoryRoom().addressUsed));
        return 0;
    }
    const bool opened = testing::Load(doc, args[1]) == CDocumentLoad::Result::Loaded;
    QApplication::processEvents();
    if (opened)
        std::printf("opened %lld\n", static_cast<long long>(view.blockCount()));
    for (const QString& warning : ui.warnings)
        std::printf("%s\n", warning.toUtf8().constData());
    return 0;
}
