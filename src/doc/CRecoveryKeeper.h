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

// The pane's text as one string per block, in runs of a few hundred blocks,
// kept up to date from the document's change notifications. A copy of the
// whole text costs a reference count, and a change after a copy copies only
// the run it touches, not a walk over the document.
class CBlockTextCache : public QObject {
    Q_OBJECT

public:
    explicit CBlockTextCache(QTextDocument* document, QObject* parent = nullptr);

    // The blocks as they are now (implicitly shared).
    io::TextLines Blocks();
    // Joins blocks as QTextDocument::toRawText() does, but directly at
    // `splits` (positions in that text).
    static QString Join(const io::TextLines& blocks, const io::TextSplits& splits = {});

    // The longest time one change took to follow, a whole new text aside
    // (nanoseconds).
    qint64 LongestUpdateNs() const { return m_longestUpdateNs; }
    void ResetLongestUpdate() { m_longestUpdateNs = 0; }
    // How often the whole text was read again because a change could not be
    // followed.
    int Rebuilds() const { return m_rebuilds; }

private:
    struct Place {
        qsizetype run;
        qsizetype index;
    };
    // Where block `number` is; the end of the last run for the block count.
    Place Locate(qsizetype number) const;
    void OnContentsChange(int position, int removed, int added);
    void Rebuild();

    QTextDocument* m_document;
    io::TextLines m_runs;
    qsizetype m_count = 0;
    qint64 m_longestUpdateNs = 0;
    int m_rebuilds = -1; // the first build is no rebuild
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
    void OnTrigger();
    void OnWritten(quint64 generation, io::JournalError error, int code);
    void Retarget(const QString& path);
    // Writes the state on this thread into the current file.
    bool WriteSync(Content content);
    // Where the pane holds one line as several paragraphs.
    io::TextSplits Splits() const;
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
