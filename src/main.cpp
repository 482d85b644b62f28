#include "app/CEditorApp.h"
#include "io/FileIo.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // A file-size limit makes a save fail instead of ending the program.
    io::IgnoreFileSizeSignal();
    QApplication application(argc, argv);
    CEditorApp theApp;
    if (!theApp.InitInstance(QApplication::arguments().mid(1)))
        return theApp.ExitInstance();
    const int result = QApplication::exec();
    const int exitCode = theApp.ExitInstance();
    return result != 0 ? result : exitCode;
}
