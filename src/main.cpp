#include "app/CEditorApp.h"
#include "io/FileIo.h"
#include "io/FileNames.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // A file-size limit makes a save fail instead of ending the program.
    io::IgnoreFileSizeSignal();
    QApplication application(argc, argv);
    CEditorApp theApp;
    // File names as their bytes: QApplication::arguments() would turn bytes
    // that are not UTF-8 into U+FFFD. Qt's own options are gone from argv.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << io::DecodeName(QByteArray(argv[i]));
    if (!theApp.InitInstance(arguments))
        return theApp.ExitInstance();
    const int result = QApplication::exec();
    const int exitCode = theApp.ExitInstance();
    return result != 0 ? result : exitCode;
}
