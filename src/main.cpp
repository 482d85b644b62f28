#include "app/CEditorApp.h"
#include "app/CommandLine.h"
#include "io/FileIo.h"
#include "io/FileNames.h"
#include "res/Usage.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

QString Environment(const char* name) {
    return QString::fromLocal8Bit(std::getenv(name));
}

// --help and --version are answered before the application exists, so they
// need no display.
bool AnswerInTerminal(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const TerminalRequest request = FindTerminalRequest(arguments);
    if (request == TerminalRequest::None)
        return false;
    const QString text =
        request == TerminalRequest::Version
            ? res::VersionText()
            : res::UsageText(UsageInJapanese(Environment("LC_ALL"), Environment("LC_MESSAGES"),
                                             Environment("LANG")));
    std::fputs(text.toUtf8().constData(), stdout);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (AnswerInTerminal(argc, argv))
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    // A file-size limit makes a save fail instead of ending the program.
    io::IgnoreFileSizeSignal();
    QApplication application(argc, argv);
    CEditorApp theApp;
    // File names as their bytes: QApplication::arguments() would turn bytes
    // that are not UTF-8 into U+FFFD. Qt's own options are gone from argv.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << io::DecodeName(QByteArray(argv[i]));
    // The command line's file could not be opened, or was printed: the end.
    QObject::connect(
        &theApp, &CEditorApp::startupEnded, &application,
        [&theApp](bool goOn) {
            if (!goOn)
                QCoreApplication::exit(theApp.ExitCode());
        },
        Qt::QueuedConnection);
    if (!theApp.InitInstance(arguments))
        return theApp.ExitInstance();
    const int result = QApplication::exec();
    const int exitCode = theApp.ExitInstance();
    return result != 0 ? result : exitCode;
}
