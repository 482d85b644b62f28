#include "check/CPageChecker.h"

#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"

#include <QElapsedTimer>
#include <QTextCursor>
#include <QTextDocument>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kPauseMs = 1000;

// Processor time of the calling thread.
qint64 ThreadNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct CheckJob {
    io::ParagraphBatches paragraphs;
    io::TextSplits splits;
    quint64 generation = 0;
};

} // namespace

// One thread checks one page at a time; a newer job replaces a waiting one,
// and a job whose generation is no longer the latest stops early. A stop
// takes effect between two tags of the page, and one tag can cost the
// library seconds on some pages (tens of thousands of elements left open):
// the thread owns what it uses, so the worker can let it finish alone.
class CCheckWorker {
public:
    using Done = std::function<void(quint64 generation, check::Result result)>;

    explicit CCheckWorker(Done done) : m_shared(std::make_shared<Shared>()) {
        m_shared->done = std::move(done);
        std::thread([shared = m_shared] { Run(*shared); }).detach();
    }

    ~CCheckWorker() {
        Shared& s = *m_shared;
        std::unique_lock lock(s.mutex);
        s.stop = true;
        s.pending.reset();
        s.latest = 0; // the running check stops
        s.wake.notify_all();
        // Waits briefly for the thread to end; past that it ends alone.
        s.wake.wait_for(lock, std::chrono::milliseconds(200), [&s] { return s.ended; });
    }

    // Makes every job older than `generation` stale; never waits.
    void Outdate(quint64 generation) { m_shared->latest = generation; }

    void Submit(CheckJob job) {
        Shared& s = *m_shared;
        s.latest = job.generation;
        {
            std::lock_guard lock(s.mutex);
            s.pending = std::move(job);
        }
        s.wake.notify_all();
    }

    void WaitIdle() {
        Shared& s = *m_shared;
        std::unique_lock lock(s.mutex);
        s.wake.wait(lock, [&s] { return !s.busy && !s.pending; });
    }

    qint64 LastNs() const {
        std::lock_guard lock(m_shared->mutex);
        return m_shared->lastNs;
    }

private:
    struct Shared {
        Done done;
        std::mutex mutex;
        std::condition_variable wake;
        std::optional<CheckJob> pending;
        std::atomic<quint64> latest{0};
        bool busy = false;
        bool stop = false;
        bool ended = false;
        qint64 lastNs = 0;
    };

    static void Run(Shared& s) {
        // Below the UI thread: on a busy machine typing goes first.
        ::setpriority(PRIO_PROCESS, pid_t(::gettid()), 10);
        for (;;) {
            CheckJob job;
            {
                std::unique_lock lock(s.mutex);
                s.wake.wait(lock, [&s] { return s.stop || s.pending; });
                if (s.stop) {
                    s.ended = true;
                    s.wake.notify_all();
                    return;
                }
                job = std::move(*s.pending);
                s.pending.reset();
                s.busy = true;
            }
            QElapsedTimer timer;
            timer.start();
            const auto stale = [&s, generation = job.generation] { return s.latest != generation; };
            check::Result result;
            if (check::TooLargeToCheck(job.paragraphs)) {
                result.outcome = check::Outcome::TooLarge;
            } else {
                const check::Page page = check::PageOf(job.paragraphs, job.splits);
                job.paragraphs.clear(); // the pane's runs are let go as early as possible
                result = check::CheckPage(page, stale);
            }
            job.paragraphs.clear();
            if (!stale())
                s.done(job.generation, std::move(result));
            {
                std::lock_guard lock(s.mutex);
                s.busy = false;
                s.lastNs = timer.nsecsElapsed();
            }
            s.wake.notify_all();
        }
    }

    std::shared_ptr<Shared> m_shared;
};

CPageChecker::CPageChecker(CEditorView* view, QObject* parent) : QObject(parent), m_view(view) {
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseMs);
    connect(&m_pause, &QTimer::timeout, this, &CPageChecker::CheckNow);

    QPointer<CPageChecker> self(this);
    m_worker = std::make_unique<CCheckWorker>([self](quint64 generation, check::Result result) {
        QMetaObject::invokeMethod(
            self.get(),
            [self, generation, result = std::move(result)] {
                if (self)
                    self->OnResult(generation, result);
            },
            Qt::QueuedConnection);
    });

    Watch();
    connect(view, &CEditorView::documentAdopted, this, [this] {
        Watch();
        Forget();
    });
    if (CEditorDoc* document = view->GetDocument())
        connect(document, &CEditorDoc::documentReplaced, this, &CPageChecker::Forget);
    m_pause.start(); // the text the pane starts with
}

CPageChecker::~CPageChecker() { m_worker.reset(); }

void CPageChecker::Watch() {
    connect(m_view->document(), &QTextDocument::contentsChange, this, &CPageChecker::OnChanged,
            Qt::UniqueConnection);
}

qint64 CPageChecker::LastWorkerNs() const { return m_worker->LastNs(); }

void CPageChecker::WaitForWorker() { m_worker->WaitIdle(); }

void CPageChecker::OnChanged() {
    m_worker->Outdate(++m_generation);
    if (m_state != State::Off)
        m_pause.start(); // restarted by every change
}

void CPageChecker::Forget() {
    OnChanged();
    if (m_state == State::Off)
        return;
    m_problems.clear();
    m_total = 0;
    m_view->SetLineMarks({});
    Changed(State::Waiting);
}

void CPageChecker::CheckNow() {
    if (m_state == State::Off || !m_view)
        return;
    if (const CEditorDoc* document = m_view->GetDocument(); document && document->IsLoading()) {
        m_pause.start(); // the text is still coming
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const qint64 cpu = ThreadNs();
    io::ParagraphText text = m_view->Model().Paragraphs(false);
    m_worker->Submit({std::move(text.paragraphs), std::move(text.splits), ++m_generation});
    m_pause.stop(); // the text taken is the latest
    m_lastSubmitNs = timer.nsecsElapsed();
    m_lastSubmitCpuNs = ThreadNs() - cpu;
}

void CPageChecker::OnResult(quint64 generation, const check::Result& result) {
    if (generation != m_generation || m_state == State::Off || !m_view) {
        ++m_dropped;
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const qint64 cpu = ThreadNs();
    const auto measured = [&] {
        m_lastApplyNs = timer.nsecsElapsed();
        m_lastApplyCpuNs = ThreadNs() - cpu;
    };
    if (result.outcome == check::Outcome::TooLarge) {
        m_problems.clear();
        m_total = 0;
        m_view->SetLineMarks({});
        measured();
        return SetState(State::TooLarge);
    }
    m_problems = result.problems;
    m_total = result.total;
    std::vector<CEditorView::LineMark> marks;
    marks.reserve(m_problems.size());
    for (int i = 0; i < int(m_problems.size()); ++i) {
        const check::Problem& p = m_problems[size_t(i)];
        const int start = m_view->PanePosition(p.position);
        const int end = m_view->PanePosition(p.position + p.length);
        marks.push_back({start, end - start, p.message, i});
    }
    m_view->SetLineMarks(std::move(marks));
    measured();
    Changed(State::Checked);
}

void CPageChecker::SetState(State state) {
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

void CPageChecker::Changed(State state) {
    const bool same = state == m_state;
    SetState(state);
    if (same)
        emit stateChanged(); // the problems changed
}

void CPageChecker::SetEnabled(bool enabled) {
    if (enabled == IsEnabled())
        return;
    m_worker->Outdate(++m_generation);
    m_problems.clear();
    m_total = 0;
    if (m_view)
        m_view->SetLineMarks({});
    if (enabled) {
        SetState(State::Waiting);
        m_pause.start();
    } else {
        m_pause.stop();
        SetState(State::Off);
    }
}

void CPageChecker::GoTo(int index) {
    // Not while print preview covers the pane (it is disabled then).
    if (!m_view || !m_view->isEnabled() || index < 0 || index >= int(m_problems.size()))
        return;
    int position = m_view->PanePosition(m_problems[size_t(index)].position);
    for (const CEditorView::LineMark& mark : m_view->LineMarks())
        if (mark.id == index) {
            position = mark.position;
            break;
        }
    QTextCursor cursor(m_view->document());
    cursor.setPosition(std::clamp(position, 0, m_view->document()->characterCount() - 1));
    m_view->setTextCursor(cursor);
    m_view->ensureCursorVisible();
    m_view->setFocus(Qt::OtherFocusReason);
}
