#include "doc/CRecoveryKeeper.h"

#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "res/StringTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
// The block cache

namespace {
constexpr qsizetype kRun = 512; // blocks per run; a run is split at twice that
}

CBlockTextCache::CBlockTextCache(QTextDocument* document, QObject* parent)
    : QObject(parent), m_document(document) {
    connect(m_document, &QTextDocument::contentsChange, this, &CBlockTextCache::OnContentsChange);
    Rebuild();
}

void CBlockTextCache::Rebuild() {
    ++m_rebuilds;
    m_runs.clear();
    m_count = m_document->blockCount();
    m_runs.reserve(m_count / kRun + 1);
    QStringList run;
    run.reserve(kRun);
    for (QTextBlock b = m_document->begin(); b.isValid(); b = b.next()) {
        run.append(b.text());
        if (run.size() == kRun) {
            m_runs.append(run);
            run = QStringList();
            run.reserve(kRun);
        }
    }
    if (!run.isEmpty() || m_runs.isEmpty())
        m_runs.append(run);
}

CBlockTextCache::Place CBlockTextCache::Locate(qsizetype number) const {
    qsizetype start = 0;
    for (qsizetype r = 0; r < m_runs.size(); ++r) {
        const qsizetype size = m_runs[r].size();
        if (number < start + size)
            return {r, number - start};
        start += size;
    }
    return {m_runs.size() - 1, m_runs.constLast().size()};
}

void CBlockTextCache::OnContentsChange(int position, int, int added) {
    QElapsedTimer timer;
    timer.start();
    const int count = m_document->blockCount();
    const int first = m_document->findBlock(position).blockNumber();
    QTextBlock lastBlock = m_document->findBlock(position + added);
    const int last = lastBlock.isValid() ? lastBlock.blockNumber() : count - 1;
    // Blocks before `first` and after `last` are the old ones, shifted.
    const int oldLast = last - (count - int(m_count));
    if (first < 0 || last < first || oldLast < first - 1 || oldLast >= m_count) {
        Rebuild();
        return;
    }
    const auto measured =
        qScopeGuard([&] { m_longestUpdateNs = qMax(m_longestUpdateNs, timer.nsecsElapsed()); });

    // The blocks both have in common are overwritten in place.
    Place at = Locate(first);
    QTextBlock b = m_document->findBlockByNumber(first);
    for (qsizetype left = qMin(last, oldLast) - first + 1; left > 0;) {
        QStringList& run = m_runs[at.run];
        for (; at.index < run.size() && left > 0; ++at.index, --left, b = b.next())
            run[at.index] = b.text();
        if (left > 0)
            at = {at.run + 1, 0};
    }
    if (last > oldLast) {
        QStringList& run = m_runs[at.run];
        QStringList inserted;
        for (int i = oldLast + 1; i <= last; ++i, b = b.next())
            inserted.append(b.text());
        run = run.first(at.index) + inserted + run.sliced(at.index);
        if (run.size() >= 2 * kRun) {
            QStringList whole = std::move(run);
            m_runs.removeAt(at.run);
            for (qsizetype i = 0; i < whole.size(); i += kRun)
                m_runs.insert(at.run + i / kRun, whole.mid(i, kRun));
        }
    } else {
        for (qsizetype left = oldLast - last; left > 0;) {
            if (at.index == m_runs[at.run].size()) {
                at = {at.run + 1, 0};
                continue;
            }
            QStringList& run = m_runs[at.run];
            const qsizetype taken = qMin(left, run.size() - at.index);
            run.remove(at.index, taken);
            left -= taken;
            if (run.isEmpty() && m_runs.size() > 1)
                m_runs.removeAt(at.run);
        }
    }
    m_count = count;
}

io::TextLines CBlockTextCache::Blocks() {
    if (m_count != m_document->blockCount())
        Rebuild();
    return m_runs;
}

QString CBlockTextCache::Join(const io::TextLines& blocks, const io::TextSplits& splits) {
    qsizetype size = 0;
    for (const QStringList& run : blocks)
        for (const QString& line : run)
            size += line.size() + 1;
    QString text;
    text.reserve(size);
    qsizetype position = 0; // counting every separator, as `splits` does
    auto split = splits.begin();
    bool first = true;
    for (const QStringList& run : blocks)
        for (const QString& line : run) {
            if (!first) {
                while (split != splits.end() && *split < position)
                    ++split;
                if (split == splits.end() || *split != position)
                    text += QChar::ParagraphSeparator;
                ++position;
            }
            text += line;
            position += line.size();
            first = false;
        }
    return text;
}

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
    io::TextLines blocks;
    io::TextSplits splits;
    quint64 generation = 0;
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
            const io::JournalError error =
                io::WriteJournal(job.file, job.journal, job.blocks, job.splits, &code);
            job.blocks.clear();
            {
                std::lock_guard lock(m_mutex);
                m_busy = false;
                m_lastNs = timer.nsecsElapsed();
                m_lastCpuNs = ThreadCpuNs() - cpuStart;
            }
            m_wake.notify_all();
            m_done(job.generation, error, code);
        }
    }

    Done m_done;
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

io::TextSplits CRecoveryKeeper::Splits() const {
    const CEditorView* view = m_document->GetView();
    return view ? view->SplitPositions() : io::TextSplits();
}

CRecoveryKeeper::CRecoveryKeeper(CEditorDoc* document, QObject* parent)
    : QObject(parent), m_document(document), m_folder(io::JournalFolder()) {
    m_idle.setSingleShot(true);
    m_max.setSingleShot(true);
    SetIntervals(2000, 30000);
    connect(&m_idle, &QTimer::timeout, this, &CRecoveryKeeper::OnTrigger);
    connect(&m_max, &QTimer::timeout, this, &CRecoveryKeeper::OnTrigger);

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
        QTextDocument* text = view->document();
        m_cache = std::make_unique<CBlockTextCache>(text);
        connect(text, &QTextDocument::contentsChange, this, &CRecoveryKeeper::OnChanged);
        connect(text, &QTextDocument::modificationChanged, this, [this](bool modified) {
            if (modified)
                OnChanged();
        });
    }
    connect(m_document, &CEditorDoc::documentReplaced, this, [this] {
        m_idle.stop();
        m_max.stop();
        RemoveFile();
    });
    connect(m_document, &CEditorDoc::pathNameSet, this,
            [this](const QString& path) { Retarget(path); });
    connect(m_document, &CEditorDoc::documentSaved, this, [this] {
        m_idle.stop();
        m_max.stop();
        WriteSync(Wanted());
    });
    connect(m_document, &CEditorDoc::changesDiscarded, this, [this] {
        m_idle.stop();
        m_max.stop();
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
    if (!m_max.isActive())
        m_max.start(); // not restarted: continuous typing still writes
}

void CRecoveryKeeper::OnTrigger() {
    m_idle.stop();
    m_max.stop();
    const Content wanted = Wanted();
    if (wanted != Content::Text) {
        if (m_fileHasText)
            WriteSync(wanted); // undone back to the saved text: small, at once
        return;
    }
    int code = 0;
    if (!io::EnsureJournalFolder(m_folder, &code)) {
        ReportFailure(code);
        m_max.start(); // tried again later
        return;
    }
    if (m_file.isEmpty())
        m_file = FileFor(m_document->GetPathName());

    QElapsedTimer timer;
    timer.start();
    JournalJob job;
    job.splits = Splits(); // first: it may cut a paragraph that grew
    job.blocks = m_cache ? m_cache->Blocks() : io::TextLines();
    job.journal = Metadata(Content::Text);
    job.file = m_file;
    job.generation = ++m_generation;
    m_lastSnapshotNs = timer.nsecsElapsed();
    m_fileHasText = true;
    m_worker->Submit(std::move(job));
}

void CRecoveryKeeper::OnWritten(quint64 generation, io::JournalError error, int code) {
    if (error == io::JournalError::None) {
        m_failureShown = false;
    } else if (generation == m_generation) {
        ReportFailure(code);
        if (!m_max.isActive())
            m_max.start(); // tried again later
    }
    emit journalWritten(error == io::JournalError::None);
}

void CRecoveryKeeper::ReportFailure(int code) {
    if (m_failureShown)
        return;
    m_failureShown = true;
    emit messageText(
        res::LoadString(res::IDS_JOURNAL_WRITE_FAILED)
            .arg(QDir::toNativeSeparators(m_folder), QString::fromLocal8Bit(std::strerror(code))));
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
    return WriteSync(Wanted());
}

bool CRecoveryKeeper::WriteSync(Content content) {
    m_worker->Cancel();
    ++m_generation; // a result still on its way is older than this
    if (content == Content::Nothing) {
        RemoveFile();
        return true;
    }
    int code = 0;
    if (!io::EnsureJournalFolder(m_folder, &code)) {
        ReportFailure(code);
        return false;
    }
    if (m_file.isEmpty())
        m_file = FileFor(m_document->GetPathName());
    const io::TextSplits splits = Splits();
    const io::JournalError error = io::WriteJournal(
        m_file, Metadata(content), m_cache ? m_cache->Blocks() : io::TextLines(), splits, &code);
    if (error != io::JournalError::None) {
        ReportFailure(code);
        return false;
    }
    m_fileHasText = content == Content::Text;
    m_failureShown = false;
    return true;
}

void CRecoveryKeeper::RemoveFile() {
    m_worker->Cancel();
    ++m_generation;
    if (!m_file.isEmpty())
        io::RemoveJournalFile(m_file);
    m_file.clear();
    m_fileHasText = false;
}

void CRecoveryKeeper::Release() {
    m_idle.stop();
    m_max.stop();
    RemoveFile();
}

void CRecoveryKeeper::WaitForWorker() {
    m_worker->WaitIdle();
}
