#include "app/CRecoveryKeeper.h"

#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "io/FileIo.h"
#include "io/FileNames.h"
#include "io/ParagraphDiff.h"
#include "res/StringTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextDocument>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

using namespace Qt::StringLiterals;


// ---------------------------------------------------------------------------
// The worker: one write at a time; a newer job replaces a waiting one.

qint64 ThreadCpuNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct JournalJob {
    QString file;
    io::Journal journal; // without its text
    io::ParagraphBatches paragraphs;
    io::TextSplits splits;
    quint64 generation = 0;
    bool rebase = false; // the base written anew when edits follow it
};

// What the journal file holds: a base and the edits appended since, and the
// text they make (sharing the runs of the text copy that did not change).
class CJournalLog {
public:
    io::JournalError Write(JournalJob& job, int* code) {
        io::TextSnapshot now = io::MakeSnapshot(std::move(job.paragraphs), std::move(job.splits),
                                                m_valid ? &m_last : nullptr);
        const bool sameBase = m_valid && m_file == job.file && SameHeader(m_meta, job.journal);
        if (sameBase && job.journal.hasText && !(job.rebase && m_logBytes > 0)) {
            const std::vector<io::JournalEdit> edits = io::DiffSnapshots(m_last, now);
            if (edits.empty()) {
                m_last = std::move(now);
                return io::JournalError::None;
            }
            const QByteArray records = io::SerializeEdits(edits, job.journal.written);
            // A log as large as the base is replaced by a new base.
            if (m_logBytes + records.size() <= m_baseBytes) {
                const io::JournalError error = io::AppendJournalFile(job.file, records, code);
                if (error != io::JournalError::None) {
                    m_valid = false; // it may end in a torn record
                    return error;
                }
                m_logBytes += records.size();
                m_last = std::move(now);
                return error;
            }
        }
        const io::JournalError error =
            io::WriteJournal(job.file, job.journal, now.batches, now.splits, code);
        m_valid = error == io::JournalError::None;
        if (m_valid) {
            m_file = job.file;
            m_meta = job.journal;
            m_baseBytes = QFileInfo(job.file).size();
            m_logBytes = 0;
            m_last = job.journal.hasText ? std::move(now) : io::TextSnapshot();
        }
        return error;
    }

    void Forget() {
        m_valid = false;
        m_last = {};
    }

private:
    static bool SameHeader(const io::Journal& a, const io::Journal& b) {
        return a.path == b.path && a.identity == b.identity && a.format == b.format &&
               a.owner == b.owner && a.hasText == b.hasText;
    }

    bool m_valid = false;
    QString m_file;
    io::Journal m_meta;
    io::TextSnapshot m_last;
    qint64 m_baseBytes = 0;
    qint64 m_logBytes = 0;
};

class CJournalWorker {
public:
    using Done = std::function<void(quint64 generation, io::JournalError error, int code)>;

    explicit CJournalWorker(Done done) : m_done(std::move(done)), m_thread([this] { Run(); }) {}

    ~CJournalWorker() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
            m_pending.reset();
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void Submit(JournalJob job) {
        {
            std::lock_guard lock(m_mutex);
            job.rebase = job.rebase || (m_pending && m_pending->rebase); // not lost by replacing
            m_pending = std::move(job);
        }
        m_wake.notify_all();
    }

    // Drops a waiting job and waits for the running one.
    void Cancel() {
        std::unique_lock lock(m_mutex);
        m_pending.reset();
        m_wake.wait(lock, [this] { return !m_busy; });
    }

    // Drops a waiting job and runs `job` on this thread.
    io::JournalError RunNow(JournalJob job, int* code) {
        Cancel();
        return m_log.Write(job, code); // the worker waits for a job meanwhile
    }

    // The file is gone: the next write is a base.
    void Forget() {
        Cancel();
        m_log.Forget();
    }

    void WaitIdle() {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_busy && !m_pending; });
    }

    qint64 LastNs() const {
        std::lock_guard lock(m_mutex);
        return m_lastNs;
    }
    qint64 LastCpuNs() const {
        std::lock_guard lock(m_mutex);
        return m_lastCpuNs;
    }

private:
    void Run() {
        // Below the UI thread: on a busy machine typing goes first.
        ::setpriority(PRIO_PROCESS, pid_t(::gettid()), 10);
        for (;;) {
            JournalJob job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || m_pending; });
                if (m_stop)
                    return;
                job = std::move(*m_pending);
                m_pending.reset();
                m_busy = true;
            }
            QElapsedTimer timer;
            timer.start();
            const qint64 cpuStart = ThreadCpuNs();
            int code = 0;
            const io::JournalError error = m_log.Write(job, &code);
            const quint64 generation = job.generation;
            job = {};
            {
                std::lock_guard lock(m_mutex);
                m_busy = false;
                m_lastNs = timer.nsecsElapsed();
                m_lastCpuNs = ThreadCpuNs() - cpuStart;
            }
            m_wake.notify_all();
            m_done(generation, error, code);
        }
    }

    Done m_done;
    CJournalLog m_log; // the worker's while it is busy, the caller's of RunNow otherwise
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<JournalJob> m_pending;
    bool m_busy = false;
    bool m_stop = false;
    qint64 m_lastNs = 0;
    qint64 m_lastCpuNs = 0;
    std::thread m_thread; // last: starts when everything above is ready
};

// ---------------------------------------------------------------------------
// The keeper

io::ParagraphText CRecoveryKeeper::Text() {
    CEditorView* view = m_document->GetView();
    return view ? view->Model().Paragraphs(false) : io::ParagraphText();
}

CRecoveryKeeper::CRecoveryKeeper(CEditorDoc* document, QObject* parent)
    : QObject(parent), m_document(document), m_folder(io::JournalFolder()) {
    m_idle.setSingleShot(true);
    m_max.setSingleShot(true);
    SetIntervals(2000, 30000);
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(60000);
    connect(&m_idle, &QTimer::timeout, this, [this] { WriteChanges(); });
    connect(&m_max, &QTimer::timeout, this, [this] { WriteChanges(); });
    // After a quiet minute the edits go into a new base, on the worker.
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_fileHasText)
            WriteChanges(true);
    });

    QPointer<CRecoveryKeeper> self(this);
    m_worker = std::make_unique<CJournalWorker>(
        [self](quint64 generation, io::JournalError error, int code) {
            QMetaObject::invokeMethod(
                self.get(),
                [self, generation, error, code] {
                    if (self)
                        self->OnWritten(generation, error, code);
                },
                Qt::QueuedConnection);
        });

    if (CEditorView* view = m_document->GetView()) {
        m_cache = &view->BlockTexts(); // it follows the changes before this does
        const auto watch = [this](QTextDocument* text) {
            connect(text, &QTextDocument::contentsChange, this, &CRecoveryKeeper::OnChanged);
            connect(text, &QTextDocument::modificationChanged, this, [this](bool modified) {
                if (modified)
                    OnChanged();
            });
        };
        watch(view->document());
        connect(view, &CEditorView::documentAdopted, this,
                [view, watch] { watch(view->document()); });
    }
    connect(m_document, &CEditorDoc::documentReplaced, this, [this] {
        m_idle.stop();
        m_max.stop();
        m_quiet.stop();
        // A document read again from its path keeps it: the record that the
        // file is open here is written anew. One that leaves it (a new
        // document, another file, whose path follows) takes it away.
        if (m_document->GetPathName().isEmpty())
            RemoveFile();
        else
            WriteSync(Wanted());
    });
    connect(m_document, &CEditorDoc::pathNameSet, this,
            [this](const QString& path) { Retarget(path); });
    // A conversion changes what a save writes, maybe without a text change.
    connect(m_document, &CEditorDoc::encodingChanged, this, [this] {
        if (m_document->IsModified())
            OnChanged();
    });
    connect(m_document, &CEditorDoc::documentSaved, this, [this] {
        m_idle.stop();
        m_max.stop();
        m_quiet.stop();
        WriteSync(Wanted());
    });
    connect(m_document, &CEditorDoc::changesDiscarded, this, [this] {
        m_idle.stop();
        m_max.stop();
        m_quiet.stop();
        WriteSync(m_document->GetPathName().isEmpty() ? Content::Nothing : Content::Owner);
    });
}

CRecoveryKeeper::~CRecoveryKeeper() {
    // The worker finishes its write before the keeper goes.
    m_worker.reset();
}

void CRecoveryKeeper::SetIntervals(int idleMs, int maxMs) {
    m_idle.setInterval(idleMs);
    m_max.setInterval(maxMs);
}

qint64 CRecoveryKeeper::LastWorkerNs() const {
    return m_worker->LastNs();
}
qint64 CRecoveryKeeper::LastWorkerCpuNs() const {
    return m_worker->LastCpuNs();
}

CRecoveryKeeper::Content CRecoveryKeeper::Wanted() const {
    if (m_document->IsModified())
        return Content::Text;
    return m_document->GetPathName().isEmpty() ? Content::Nothing : Content::Owner;
}

io::Journal CRecoveryKeeper::Metadata(Content content) const {
    io::Journal j;
    j.path = m_document->GetPathName();
    j.identity = m_document->FileIdentity();
    j.format = m_document->TextFormat();
    j.written = QDateTime::currentDateTimeUtc();
    j.owner = io::CurrentOwner();
    j.hasText = content == Content::Text;
    return j;
}

QString CRecoveryKeeper::FileFor(const QString& path) {
    if (path.isEmpty())
        return QDir(m_folder).filePath(
            io::JournalFileName(QString(), io::CurrentOwner(), ++m_untitledCount));
    return QDir(m_folder).filePath(io::JournalFileName(path, io::CurrentOwner(), 0));
}

void CRecoveryKeeper::OnChanged() {
    m_idle.start(); // restarted by every change
    m_quiet.start();
    if (!m_max.isActive())
        m_max.start(); // not restarted: continuous typing still writes
}

void CRecoveryKeeper::WriteChanges(bool rebase) {
    m_idle.stop();
    m_max.stop();
    const Content wanted = Wanted();
    if (wanted != Content::Text) {
        if (m_fileHasText)
            WriteSync(wanted); // undone back to the saved text: small, at once
        return;
    }
    if (!FolderReady(Content::Text)) {
        m_max.start(); // tried again later
        return;
    }
    if (m_file.isEmpty())
        m_file = FileFor(m_document->GetPathName());

    QElapsedTimer timer;
    timer.start();
    ++m_generation;
    JournalJob job = Job(Content::Text, rebase);
    m_lastSnapshotNs = timer.nsecsElapsed();
    m_fileHasText = true;
    m_worker->Submit(std::move(job));
}

JournalJob CRecoveryKeeper::Job(Content content, bool rebase) {
    JournalJob job;
    if (content == Content::Text) {
        io::ParagraphText text = Text();
        job.paragraphs = std::move(text.paragraphs);
        job.splits = std::move(text.splits);
    }
    job.journal = Metadata(content);
    job.file = m_file;
    job.generation = m_generation;
    job.rebase = rebase;
    return job;
}

void CRecoveryKeeper::OnWritten(quint64 generation, io::JournalError error, int code) {
    if (error == io::JournalError::None) {
        m_failureShown = false;
    } else if (generation == m_generation) {
        ReportFailure(code, Content::Text);
        if (!m_max.isActive())
            m_max.start(); // tried again later
    }
    emit journalWritten(error == io::JournalError::None);
}

void CRecoveryKeeper::ReportFailure(int code, Content content) {
    // Without its text the journal is the record that the file is open here.
    Report(res::LoadString(content == Content::Owner ? res::IDS_LOCK_NOT_WRITTEN
                                                     : res::IDS_JOURNAL_WRITE_FAILED)
               .arg(QDir::toNativeSeparators(io::DisplayName(m_folder)),
                    QString::fromLocal8Bit(std::strerror(code))));
}

void CRecoveryKeeper::Report(const QString& text) {
    if (m_failureShown)
        return;
    m_failureShown = true;
    emit messageText(text);
}

bool CRecoveryKeeper::FolderReady(Content content) {
    const io::FolderCheck check = io::MakePrivateFolder(m_folder);
    if (check.trust == io::FolderTrust::Own)
        return true;
    // A folder that cannot be made costs an open file its lock first.
    const bool unusable =
        check.trust == io::FolderTrust::Missing || check.trust == io::FolderTrust::Unusable;
    if (unusable && content == Content::Owner)
        Report(res::LoadString(res::IDS_LOCK_NOT_WRITTEN)
                   .arg(QDir::toNativeSeparators(io::DisplayName(check.folder)),
                        io::FolderReason(check)));
    else
        Report(io::FolderProblem(check));
    return false;
}

void CRecoveryKeeper::CheckFolder() {
    const io::FolderCheck check = io::CheckPrivateFolder(m_folder);
    // One that cannot be made is said when something is to be written.
    if (check.trust != io::FolderTrust::Own && check.trust != io::FolderTrust::Missing &&
        check.trust != io::FolderTrust::Unusable)
        Report(io::FolderProblem(check));
}

void CRecoveryKeeper::Retarget(const QString& path) {
    const QString file = FileFor(path);
    if (file == m_file)
        return;
    RemoveFile();
    m_file = file;
    WriteSync(Wanted());
}

bool CRecoveryKeeper::WriteNow() {
    m_idle.stop();
    m_max.stop();
    m_quiet.stop();
    return WriteSync(Wanted());
}

bool CRecoveryKeeper::WriteSync(Content content) {
    m_worker->Cancel();
    ++m_generation; // a result still on its way is older than this
    if (content == Content::Nothing) {
        RemoveFile();
        return true;
    }
    if (!FolderReady(content))
        return false;
    int code = 0;
    if (m_file.isEmpty())
        m_file = FileFor(m_document->GetPathName());
    const io::JournalError error = m_worker->RunNow(Job(content, false), &code);
    if (error != io::JournalError::None) {
        ReportFailure(code, content);
        return false;
    }
    m_fileHasText = content == Content::Text;
    m_failureShown = false;
    return true;
}

void CRecoveryKeeper::RemoveFile() {
    m_worker->Forget();
    ++m_generation;
    if (!m_file.isEmpty())
        io::RemoveJournalFile(m_file);
    m_file.clear();
    m_fileHasText = false;
}

void CRecoveryKeeper::Release() {
    m_idle.stop();
    m_max.stop();
    m_quiet.stop();
    RemoveFile();
}

void CRecoveryKeeper::WaitForWorker() {
    m_worker->WaitIdle();
}
