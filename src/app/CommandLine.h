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

// A request that a terminal answers without a window: `--help` (or `-h`)
// and `--version`. The first one on the line counts; the other arguments
// are then ignored.
enum class TerminalRequest { None, Help, Version };
TerminalRequest FindTerminalRequest(const QStringList& arguments);

// Whether the usage speaks Japanese: the messages locale is the first set of
// LC_ALL, LC_MESSAGES and LANG; Japanese when its language is "ja" and its
// character set UTF-8 or unnamed (other sets would garble the text).
bool UsageInJapanese(const QString& lcAll, const QString& lcMessages, const QString& lang);
