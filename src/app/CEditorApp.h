#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include "app/CommandLine.h"
#include "app/RecentFileList.h"
#include "io/EncodingChoices.h"
#include "doc/CmdTarget.h"

#include <QObject>

#include <functional>
#include <memory>

class CEditorDoc;
class CEditorView;
class CMainFrame;
class CRecoveryKeeper;

namespace io {
struct Journal;
}

// The application: starts the program, owns the document and the main
// window, and handles the application-wide commands.
class CEditorApp : public QObject, public CCmdTarget {
    Q_OBJECT

public:
    explicit CEditorApp(QObject* parent = nullptr);
    ~CEditorApp() override;

    // Start-up; false ends the program at once (with ExitCode()). A file
    // named on the command line is still loading when it returns
    // (IsStarting); startupEnded tells how that ended.
    bool InitInstance(const QStringList& arguments);
    bool IsStarting() const { return m_starting; }
    // Writes the settings (not after they were removed by the "Unregister"
    // switch); returns the program's exit code.
    int ExitInstance();
    int ExitCode() const { return m_exitCode; }

    CEditorDoc* GetDocument() const { return m_document.get(); }
    CMainFrame* GetMainFrame() const { return m_frame.get(); }
    CEditorView* GetView() const;
    CRecoveryKeeper* GetRecoveryKeeper() const { return m_keeper.get(); }

    enum class OpenResult { Opened, AlreadyOpen, Cancelled, Failed };
    // Opens `path` as the document, asking first to save a modified one.
    // Journals of the file are offered first: another window's (opened
    // anyway only when the user says so) and a crashed one's (recovered when
    // the user chooses it, which counts as opened). `done` is told the
    // outcome, at once or when the load has ended; after it the keys typed
    // during the load go in.
    using OpenDone = std::function<void(OpenResult)>;
    void OpenDocumentFile(const QString& path, OpenDone done = {});

    // Offers, one at a time, the journals with unsaved text whose owner has
    // gone, except those of `except`; true when one was recovered.
    bool OfferRecoveries(const QString& except = QString());
    // Settles the saves in place that a process which has gone left
    // unfinished, telling the user what became of each file. Runs at start
    // before any journal is offered.
    void SettleInterruptedSaves();
    // SIGTERM, SIGHUP, SIGINT: the journal of a modified document is written
    // and the program ends without a question.
    void OnTerminationSignal();

    void OnFileNew();
    void OnFileOpen();
    void OnAppExit();
    void OnFilePrintSetup();
    void OnOpenRecentFile(int id);
    // Runs the about box.
    void OnAppAbout();

    const CRecentFileList& RecentFiles() const { return m_recentFiles; }
    void AddToRecentFileList(const QString& path);

    int PreviewPages() const { return m_previewPages; }
    void SetPreviewPages(int pages) { m_previewPages = pages; }

    // Removes the program's settings; true when nothing of them is left.
    static bool Unregister();

signals:
    // Start-up's load of the command line's file has ended (IsStarting is
    // false again); without `goOn` the program is to end with ExitCode().
    void startupEnded(bool goOn);

protected:
    // Every event of the program passes here first: the splash screen takes
    // the input that closes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class RecoveryChoice { Recovered, Kept, Discarded, Cancelled };
    RecoveryChoice OfferRecovery(const QString& file, const io::Journal& journal);
    enum class JournalCheck { Proceed, Recovered, Cancelled };
    JournalCheck CheckJournalsOf(const QString& path);
    void OpenFile(const QString& path, bool checkJournals, OpenDone done);
    // The command line's file is open, or not: `goOn` false ends the
    // program with ExitCode().
    void EndStartup(bool goOn);
    bool ProcessShellCommand(const CCommandLineInfo& info);
    // Sizes, shows and activates the main window, once.
    void ShowMainWindow();
    void LoadStdProfileSettings();
    void SaveRecentFileList() const;

    CRecentFileList m_recentFiles{4};
    CEncodingChoices m_encodingChoices;
    int m_previewPages = 0;
    int m_exitCode = 0;
    bool m_unregistered = false;
    bool m_frameShown = false;
    bool m_terminating = false;
    bool m_starting = false;
    bool m_keepJournal = false; // the program ends with unsaved changes in it
    std::unique_ptr<CEditorDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CRecoveryKeeper> m_keeper;
};
