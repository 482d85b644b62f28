#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include "pane/BlockTextCache.h"
#include "doc/CEditorView.h"
#include "io/RecoveryJournal.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class CEditorDoc;
class QTextDocument;

class CJournalWorker;
struct JournalJob;

// Keeps the recovery journal of one document: while it has unsaved changes,
// what changed goes to the journal when typing pauses and at least at every
// longer interval, appended as edits to the text last written whole; while a file is open without changes, a record
// without text stands for this process as the file's editor. The copy is
// taken on this thread; serialising and writing run on a worker thread.
class CRecoveryKeeper : public QObject {
    Q_OBJECT

public:
    explicit CRecoveryKeeper(CEditorDoc* document, QObject* parent = nullptr);
    ~CRecoveryKeeper() override;

    // Where the journals go (by default io::JournalFolder()).
    void SetFolder(const QString& folder) { m_folder = folder; }
    QString Folder() const { return m_folder; }
    // The pause after the last change, and the longest time between writes
    // while the text keeps changing.
    void SetIntervals(int idleMs, int maxMs);

    // The journal file of the document (it may not exist yet).
    QString JournalFile() const { return m_file; }

    // Writes the document's state at once on this thread: the text when it
    // is modified, the owner record when it has a path, nothing otherwise.
    bool WriteNow();
    // What a pause in typing does: the changes since the last write go to the
    // journal on the worker, as edits appended to it or, with `rebase` or
    // when the edits would outgrow it, as a new base.
    void WriteChanges(bool rebase = false);
    // Removes the document's journal; the document ends unmodified or
    // discarded.
    void Release();
    // Says once in the status bar when the journal folder is there but not
    // used (a link, another user's, open to others).
    void CheckFolder();
    // Waits until the worker has finished what it was given.
    void WaitForWorker();

    // Time the last copy of the text took on this thread, and the worker's
    // time for the last write (nanoseconds). The worker runs below the UI
    // thread's priority, so on a busy machine its time grows first.
    qint64 LastSnapshotNs() const { return m_lastSnapshotNs; }
    qint64 LastWorkerNs() const;
    // The processor time of the worker's last write.
    qint64 LastWorkerCpuNs() const;
    // The longest time the text copy took to follow one change.
    qint64 LongestCacheUpdateNs() const { return m_cache ? m_cache->LongestUpdateNs() : 0; }
    void ResetMeasurements() {
        if (m_cache)
            m_cache->ResetLongestUpdate();
    }

signals:
    // A text for the status bar's message pane.
    void messageText(const QString& text);
    // A write by the worker has ended (successfully or not).
    void journalWritten(bool ok);

private:
    enum class Content { Nothing, Owner, Text };
    Content Wanted() const;
    io::Journal Metadata(Content content) const;
    QString FileFor(const QString& path);
    void OnChanged();
    JournalJob Job(Content content, bool rebase);
    void OnWritten(quint64 generation, io::JournalError error, int code);
    void Retarget(const QString& path);
    // Writes the state on this thread into the current file.
    bool WriteSync(Content content);
    // The pane's text as the journal takes it.
    io::ParagraphText Text();
    void RemoveFile();
    // The journal folder, made when missing; false (said once) when it
    // cannot be made or is not the user's own.
    bool FolderReady(Content content);
    void ReportFailure(int code, Content content);
    void Report(const QString& text);

    CEditorDoc* m_document;
    CBlockTextCache* m_cache = nullptr; // the view's
    std::unique_ptr<CJournalWorker> m_worker;
    QString m_folder;
    QString m_file;
    bool m_fileHasText = false;
    bool m_failureShown = false;
    int m_untitledCount = 0;
    quint64 m_generation = 0;
    qint64 m_lastSnapshotNs = 0;
    QTimer m_idle;
    QTimer m_max;
    QTimer m_quiet; // a minute without changes
};
