#include "app/CommandLine.h"

using namespace Qt::StringLiterals;

namespace {

bool IsKnownSwitch(const QString& name) {
    auto is = [&name](QStringView other) {
        return name.compare(other, Qt::CaseInsensitive) == 0;
    };
    return name == u"p"_s || name == u"pt"_s || name == u"dde"_s || is(u"Unregister") ||
           is(u"Unregserver") || is(u"Embedding") || is(u"Automation");
}

void ParseSwitch(const QString& name, CCommandLineInfo& info) {
    auto is = [&name](QStringView other) {
        return name.compare(other, Qt::CaseInsensitive) == 0;
    };
    if (name == u"pt"_s) {
        info.m_nShellCommand = CCommandLineInfo::FilePrintTo;
    } else if (name == u"p"_s) {
        info.m_nShellCommand = CCommandLineInfo::FilePrint;
    } else if (is(u"Unregister") || is(u"Unregserver")) {
        info.m_nShellCommand = CCommandLineInfo::AppUnregister;
    } else if (name == u"dde"_s) {
        info.m_nShellCommand = CCommandLineInfo::FileDDE;
    } else if (is(u"Embedding")) {
        info.m_bRunEmbedded = true;
    } else if (is(u"Automation")) {
        info.m_bRunAutomated = true;
    }
}

void ParseParameter(const QString& value, CCommandLineInfo& info) {
    if (info.m_strFileName.isEmpty())
        info.m_strFileName = value;
    else if (info.m_nShellCommand == CCommandLineInfo::FilePrintTo && info.m_strPrinterName.isEmpty())
        info.m_strPrinterName = value;
    else if (info.m_nShellCommand == CCommandLineInfo::FilePrintTo && info.m_strDriverName.isEmpty())
        info.m_strDriverName = value;
    else if (info.m_nShellCommand == CCommandLineInfo::FilePrintTo && info.m_strPortName.isEmpty())
        info.m_strPortName = value;
}

} // namespace

CCommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CCommandLineInfo info;
    for (const QString& argument : arguments) {
        // A '/' starts a switch only when a switch name follows, as absolute
        // paths begin with it too.
        const bool isSwitch =
            argument.size() > 1 &&
            (argument.startsWith(u'-') || (argument.startsWith(u'/') && IsKnownSwitch(argument.mid(1))));
        if (isSwitch)
            ParseSwitch(argument.mid(1), info);
        else if (!argument.isEmpty())
            ParseParameter(argument, info);
    }
    if (info.m_nShellCommand == CCommandLineInfo::FileNew && !info.m_strFileName.isEmpty())
        info.m_nShellCommand = CCommandLineInfo::FileOpen;
    info.m_bShowSplash = !info.m_bRunEmbedded && !info.m_bRunAutomated;
    return info;
}

TerminalRequest FindTerminalRequest(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == u"--help"_s || argument == u"-h"_s)
            return TerminalRequest::Help;
        if (argument == u"--version"_s)
            return TerminalRequest::Version;
    }
    return TerminalRequest::None;
}

bool UsageInJapanese(const QString& lcAll, const QString& lcMessages, const QString& lang) {
    const QString locale = !lcAll.isEmpty() ? lcAll : !lcMessages.isEmpty() ? lcMessages : lang;
    // language[_territory][.codeset][@modifier]
    const qsizetype dot = locale.indexOf(u'.');
    const qsizetype at = locale.indexOf(u'@');
    const QString language = locale.left(qMin(dot < 0 ? locale.size() : dot, at < 0 ? locale.size() : at))
                                 .section(u'_', 0, 0);
    if (language != u"ja"_s)
        return false;
    if (dot < 0)
        return true;
    const QString codeset = locale.mid(dot + 1, at > dot ? at - dot - 1 : -1);
    return codeset.compare(u"UTF-8"_s, Qt::CaseInsensitive) == 0 ||
           codeset.compare(u"utf8"_s, Qt::CaseInsensitive) == 0;
}
