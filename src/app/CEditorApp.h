#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include "app/CommandLine.h"
#include "app/RecentFileList.h"
#include "doc/CmdTarget.h"

#include <QObject>

#include <memory>

class CEditorDoc;
class CEditorView;
class CMainFrame;

// The application: starts the program, owns the document and the main
// window, and handles the application-wide commands.
class CEditorApp : public QObject, public CCmdTarget {
    Q_OBJECT

public:
    explicit CEditorApp(QObject* parent = nullptr);
    ~CEditorApp() override;

    // Start-up; false ends the program at once (with ExitCode()).
    bool InitInstance(const QStringList& arguments);
    // Writes the settings (not after they were removed by the "Unregister"
    // switch); returns the program's exit code.
    int ExitInstance();
    int ExitCode() const { return m_exitCode; }

    CEditorDoc* GetDocument() const { return m_document.get(); }
    CMainFrame* GetMainFrame() const { return m_frame.get(); }
    CEditorView* GetView() const;

    enum class OpenResult { Opened, AlreadyOpen, Cancelled, Failed };
    // Opens `path` as the document, asking first to save a modified one.
    OpenResult OpenDocumentFile(const QString& path);

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

protected:
    // Every event of the program passes here first: the splash screen takes
    // the input that closes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ProcessShellCommand(const CCommandLineInfo& info);
    void LoadStdProfileSettings();
    void SaveRecentFileList() const;

    CRecentFileList m_recentFiles{4};
    int m_previewPages = 0;
    int m_exitCode = 0;
    bool m_unregistered = false;
    std::unique_ptr<CEditorDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
};
