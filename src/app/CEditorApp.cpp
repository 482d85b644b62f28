#include "app/CEditorApp.h"

#include "app/AppIcon.h"
#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CSplashWnd.h"
#include "app/Platform.h"
#include "app/TerminationSignals.h"
#include "doc/CEditorDoc.h"
#include "app/CRecoveryKeeper.h"
#include "doc/CEditorView.h"
#include "doc/UiServices.h"
#include "io/FileIo.h"
#include "io/FileNames.h"
#include "print/Printing.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QScreen>
#include <QFile>
#include <QFileInfo>
#include <QSessionManager>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {
const QString kSettingsSection = u"Settings"_s;
const QString kPreviewPages = u"PreviewPages"_s;
} // namespace

CEditorApp::CEditorApp(QObject* parent) : QObject(parent) {
    OnCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    OnCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    OnCommandRange(
        ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE4, [this](int id) { OnOpenRecentFile(id); },
        [this](int id) { return id - ID_FILE_MRU_FILE1 < m_recentFiles.Files().size(); });
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
}

CEditorApp::~CEditorApp() {
    // The keeper watches the pane; the window goes before the document whose
    // view it holds.
    m_keeper.reset();
    m_frame.reset();
    m_document.reset();
}

CEditorView* CEditorApp::GetView() const { return m_frame ? m_frame->GetActiveView() : nullptr; }

bool CEditorApp::InitInstance(const QStringList& arguments) {
    const CCommandLineInfo first = ParseCommandLine(arguments);
    CSplashWnd::EnableSplash(first.m_bShowSplash);

    platform::Initialize();
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(u"velm"_s); // the installed launcher
    LoadStdProfileSettings();

    const CCommandLineInfo info = ParseCommandLine(arguments);
    if (!ProcessShellCommand(info))
        return false;
    // A print from the command line shows no window.
    if (info.m_nShellCommand != CCommandLineInfo::FilePrint &&
        info.m_nShellCommand != CCommandLineInfo::FilePrintTo)
        ShowMainWindow();
    return true;
}

void CEditorApp::ShowMainWindow() {
    if (m_frameShown)
        return;
    m_frameShown = true;
    // Installed last, so that it sees every event before any other filter.
    qApp->installEventFilter(this);

    // The first size is the desktop's default share of the screen.
    if (const QScreen* screen = m_frame->screen()) {
        const QRect area = screen->availableGeometry();
        m_frame->resize(qMin(area.width() * 3 / 4, 1024), qMin(area.height() * 3 / 4, 768));
    }
    m_frame->show();
    m_frame->activateWindow();
}

int CEditorApp::ExitInstance() {
    if (m_unregistered)
        return m_exitCode;
    // A normal end has saved or discarded the changes.
    if (m_keeper && !m_keepJournal)
        m_keeper->Release();
    SaveRecentFileList();
    auto settings = platform::OpenSettings();
    settings->setValue(kSettingsSection + u'/' + kPreviewPages, m_previewPages);
    settings->sync();
    return m_exitCode;
}

void CEditorApp::LoadStdProfileSettings() {
    auto settings = platform::OpenSettings();
    m_recentFiles.ReadList(*settings);
    m_encodingChoices.Read(*settings);
    m_previewPages = settings->value(kSettingsSection + u'/' + kPreviewPages, 0).toInt();
}

void CEditorApp::SaveRecentFileList() const {
    auto settings = platform::OpenSettings();
    m_recentFiles.WriteList(*settings);
    settings->sync();
}

bool CEditorApp::ProcessShellCommand(const CCommandLineInfo& info) {
    if (info.m_nShellCommand == CCommandLineInfo::AppUnregister) {
        const bool done = Unregister();
        m_unregistered = true;
        CUiServices::Get().Information(
            res::LoadString(done ? res::IDS_UNREG_DONE : res::IDS_UNREG_FAILURE));
        m_exitCode = done ? 0 : 1;
        return false;
    }

    // The document template: document, main frame and view.
    m_document = std::make_unique<CEditorDoc>();
    m_frame = std::make_unique<CMainFrame>(this);
    if (!m_frame->Create(m_document.get())) {
        CUiServices::Get().Warning(res::LoadString(res::IDP_FAILED_TO_CREATE_DOC));
        m_frame.reset();
        m_exitCode = 1;
        return false;
    }
    m_frame->canClose = [this] { return m_document->SaveModified(); };
    m_document->recallEncoding = [this](const QString& path) { return m_encodingChoices.Find(path); };
    m_document->rememberEncoding = [this](const QString& path, io::Encoding encoding) {
        m_encodingChoices.Remember(path, encoding);
        auto settings = platform::OpenSettings();
        m_encodingChoices.Write(*settings);
        settings->sync();
    };
    m_frame->GetActiveView()->openDocument = [this](const QString& path) {
        OpenDocumentFile(path);
    };
    m_frame->PrintCommands().previewPages = [this] { return PreviewPages(); };
    m_frame->PrintCommands().setPreviewPages = [this](int pages) { SetPreviewPages(pages); };
    connect(m_document.get(), &CEditorDoc::pathNameSet, this,
            [this](const QString& path, bool addToRecentFiles) {
                if (addToRecentFiles)
                    AddToRecentFileList(path);
            });
    m_frame->UpdateRecentFileMenu(m_recentFiles);

    m_keeper = std::make_unique<CRecoveryKeeper>(m_document.get());
    connect(m_keeper.get(), &CRecoveryKeeper::messageText, m_frame.get(),
            &CMainFrame::SetMessageText);
    connect(CTerminationSignals::Instance(), &CTerminationSignals::received, this,
            &CEditorApp::OnTerminationSignal);
#ifndef QT_NO_SESSIONMANAGER
    // Logging out: the changes go to the journal, and nothing is asked.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { m_keeper->WriteNow(); });
#endif
    // Before anything else reads a file or a journal.
    SettleInterruptedSaves();
    m_keeper->CheckFolder();

    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
    case CCommandLineInfo::FileDDE: // nothing talks to the program: start as usual
        m_document->OnNewDocument();
        OfferRecoveries();
        return !m_terminating;
    case CCommandLineInfo::FileOpen: {
        m_document->OnNewDocument();
        // A recovered document comes first; the file then opens as any
        // other, with the save question for the recovered changes.
        const bool recovered = OfferRecoveries(info.m_strFileName);
        if (m_terminating)
            return false;
        // The window shows as the load begins, its title naming the file.
        const QMetaObject::Connection showing =
            connect(m_document.get(), &CEditorDoc::loadStarted, this, [this] { ShowMainWindow(); },
                    Qt::SingleShotConnection);
        m_starting = true;
        OpenDocumentFile(info.m_strFileName, [this, recovered](OpenResult opened) {
            // Declined (the file is open in another window): the empty pane stays.
            const bool goOn = opened == OpenResult::Opened || opened == OpenResult::Cancelled || recovered;
            if (!goOn)
                m_exitCode = 1;
            EndStartup(goOn);
        });
        disconnect(showing);
        if (m_terminating || (!m_starting && m_exitCode != 0))
            return false;
        ShowMainWindow(); // no load began
        return true;
    }
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo: {
        m_document->OnNewDocument();
        m_starting = true;
        // Printed without a dialog, and the program ends; a job that did not
        // print every page ends it with a failure.
        const QString printer = info.m_strPrinterName, port = info.m_strPortName;
        OpenFile(info.m_strFileName, false, [this, printer, port](OpenResult opened) {
            const bool printed = opened == OpenResult::Opened &&
                                 print::PrintDirect(m_frame->GetActiveView(), printer, port);
            m_exitCode = printed ? 0 : 1;
            EndStartup(false);
        });
        return m_starting;
    }
    case CCommandLineInfo::AppUnregister:
        break;
    }
    return false;
}

void CEditorApp::OpenDocumentFile(const QString& path, OpenDone done) {
    OpenFile(path, true, std::move(done));
}

void CEditorApp::OpenFile(const QString& path, bool checkJournals, OpenDone done) {
    const auto finish = [done = std::move(done)](OpenResult result) {
        if (done)
            done(result);
    };
    QString name = path;
    if (name.startsWith(u'"'))
        name.remove(0, 1);
    if (const qsizetype quote = name.lastIndexOf(u'"'); quote >= 0)
        name.truncate(quote);
    if (name.isEmpty())
        return finish(OpenResult::Failed);
    if (m_document->IsLoading())
        return finish(OpenResult::Cancelled); // one file at a time
    const QString full = io::AbsolutePath(name);

    if (IsSameFile(full, m_document->GetPathName())) {
        m_frame->raise();
        m_frame->activateWindow();
        return finish(OpenResult::AlreadyOpen);
    }
    if (checkJournals) {
        switch (CheckJournalsOf(full)) {
        case JournalCheck::Proceed:
            break;
        case JournalCheck::Recovered:
            return finish(OpenResult::Opened);
        case JournalCheck::Cancelled:
            return finish(OpenResult::Cancelled);
        }
    }
    if (!m_document->SaveModified())
        return finish(OpenResult::Cancelled);
    CDocumentLoad* load = m_document->StartLoad(full);
    if (!load)
        return finish(OpenResult::Cancelled);
    connect(load, &CDocumentLoad::ended, this, [this, full, finish](CDocumentLoad::Result result) {
        switch (result) {
        case CDocumentLoad::Result::Loaded:
            m_document->SetPathName(full);
            io::RemoveDeadTemporaries(full); // what a save cut off left beside it
            return finish(OpenResult::Opened);
        case CDocumentLoad::Result::Failed:
            return finish(OpenResult::Failed);
        case CDocumentLoad::Result::Cancelled:
            return finish(OpenResult::Cancelled);
        }
    });
}

void CEditorApp::EndStartup(bool goOn) {
    const bool wasStarting = std::exchange(m_starting, false);
    if (wasStarting)
        emit startupEnded(goOn);
}

void CEditorApp::OnFileNew() {
    if (!m_document->SaveModified())
        return;
    if (!m_document->OnNewDocument())
        CUiServices::Get().Warning(res::LoadString(res::IDP_FAILED_TO_CREATE_DOC));
}

void CEditorApp::OnFileOpen() {
    if (const auto path = CUiServices::Get().ChooseDocumentToOpen(m_frame.get()))
        OpenDocumentFile(*path);
}

void CEditorApp::OnFilePrintSetup() { print::RunPrintSetup(m_frame.get()); }

void CEditorApp::OnAppExit() { m_frame->close(); }

void CEditorApp::OnOpenRecentFile(int id) {
    const int index = id - ID_FILE_MRU_FILE1;
    if (index < 0 || index >= m_recentFiles.Files().size())
        return;
    const QString path = m_recentFiles.Files()[index];
    OpenDocumentFile(path, [this, path](OpenResult opened) {
        if (opened != OpenResult::Failed)
            return;
        // A file that cannot be read any more leaves the list.
        if (const qsizetype at = m_recentFiles.Files().indexOf(path); at >= 0) {
            m_recentFiles.Remove(int(at));
            SaveRecentFileList();
            m_frame->UpdateRecentFileMenu(m_recentFiles);
        }
    });
}

void CEditorApp::OnAppAbout() {
    CAboutDlg aboutDlg(m_frame.get());
    aboutDlg.exec();
}

bool CEditorApp::eventFilter(QObject* watched, QEvent* event) {
    if (CSplashWnd::FilterSplashMessage(watched, event))
        return true;
    return QObject::eventFilter(watched, event);
}

void CEditorApp::AddToRecentFileList(const QString& path) {
    m_recentFiles.Add(path);
    SaveRecentFileList();
    if (m_frame)
        m_frame->UpdateRecentFileMenu(m_recentFiles);
}

bool CEditorApp::Unregister() {
    auto settings = platform::OpenSettings();
    const QString file = settings->fileName();
    settings->clear();
    settings->sync();
    settings.reset();
    if (QFile::exists(file) && !QFile::remove(file))
        return false;
    return !QFile::exists(file);
}
