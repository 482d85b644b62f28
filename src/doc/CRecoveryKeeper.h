#pragma once

// doc: the document, the editing pane, the command table and routing, the
// seams to the user. May include io and res.

#include "io/RecoveryJournal.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class CEditorDoc;
class QTextDocument;

// The pane's text as one string per block, kept up to date from the
// document's change notifications, so that a copy of the whole text costs a
// reference count and not a walk over the document.
class CBlockTextCache : public QObject {
    Q_OBJECT

public:
    explicit CBlockTextCache(QTextDocument* document, QObject* parent = nullptr);

    // The blocks as they are now (implicitly shared).
    QStringList Blocks();
    // Joins blocks as QTextDocument::toRawText() does.
    static QString Join(const QStringList& blocks);

private:
    void OnContentsChange(int position, int removed, int added);
    void Rebuild();

    QTextDocument* m_document;
    QStringList m_blocks;
};

class CJournalWorker;

// Keeps the recovery journal of one document: while it has unsaved changes,
// a copy of its text goes to the journal when typing pauses and at least at
// every longer interval; while a file is open without changes, a record
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
    // Removes the document's journal; the document ends unmodified or
    // discarded.
    void Release();
    // Waits until the worker has finished what it was given.
    void WaitForWorker();

    // Time the last copy of the text took on this thread, and the worker's
    // time for the last write (nanoseconds).
    qint64 LastSnapshotNs() const { return m_lastSnapshotNs; }
    qint64 LastWorkerNs() const;

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
    void OnTrigger();
    void OnWritten(quint64 generation, io::JournalError error, int code);
    void Retarget(const QString& path);
    // Writes the state on this thread into the current file.
    bool WriteSync(Content content);
    void RemoveFile();
    void ReportFailure(int code);

    CEditorDoc* m_document;
    std::unique_ptr<CBlockTextCache> m_cache;
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
};
