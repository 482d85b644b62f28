#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QString>
#include <QStringList>

// What the command line asks for.
struct CCommandLineInfo {
    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister };

    ShellCommand m_nShellCommand = FileNew;
    QString m_strFileName;
    QString m_strPrinterName;
    QString m_strDriverName;
    QString m_strPortName;
    bool m_bShowSplash = true;
    bool m_bRunEmbedded = false;
    bool m_bRunAutomated = false;
};

// Reads the program's arguments (without the program name). A switch begins
// with '-', or with '/' when a switch name follows ("/tmp/a.html" stays a
// path); "p", "pt" and "dde" are matched with exact case, the other switches
// in any case; unknown switches are ignored.
CCommandLineInfo ParseCommandLine(const QStringList& arguments);
