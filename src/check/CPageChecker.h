#pragma once

// check: the HTML check of the page while it is edited. May include doc, io
// and res.

#include "check/HtmlCheck.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class CEditorView;
class CCheckWorker;

// Checks the pane's page in the background: a pause after the last change
// (and after an open) hands a copy of the text to a worker thread; an edit
// while it runs makes its result stale, and a stale result is dropped. The
// problems of the last check are marks in the pane, which move with the
// text until the next check.
class CPageChecker : public QObject {
    Q_OBJECT

public:
    explicit CPageChecker(CEditorView* view, QObject* parent = nullptr);
    ~CPageChecker() override;

    enum class State {
        Off,      // checking is switched off
        Waiting,  // no check has ended since checking was switched on
        Checked,  // Problems() are the last check's
        TooLarge, // the page is above the size limit
    };
    State GetState() const { return m_state; }

    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_state != State::Off; }

    // The problems of the last check (lines and columns as they were then).
    const std::vector<check::Problem>& Problems() const { return m_problems; }
    // All problems the last check found, those not kept too.
    qsizetype ProblemCount() const { return m_total; }
    // Moves the caret to problem `index`, where its mark is now.
    void GoTo(int index);

    // The pause after the last change before a check starts.
    void SetPause(int ms) { m_pause.setInterval(ms); }
    // Hands the text to the worker now, without the pause.
    void CheckNow();
    // For tests and measurements: waits until the worker is idle.
    void WaitForWorker();
    // Results dropped because the text changed while they were made.
    int DroppedResults() const { return m_dropped; }
    // This thread's time for the last check: taking the text and showing the
    // result (nanoseconds, elapsed and processor time); the worker's time.
    qint64 LastUiNs() const { return m_lastSubmitNs + m_lastApplyNs; }
    qint64 LastUiCpuNs() const { return m_lastSubmitCpuNs + m_lastApplyCpuNs; }
    qint64 LastWorkerNs() const;

signals:
    // The state or the problems changed.
    void stateChanged();

private:
    void Watch();
    void OnChanged();
    // Another text is in the pane: what was found in the old one goes.
    void Forget();
    void OnResult(quint64 generation, const check::Result& result);
    void SetState(State state);
    // The problems changed, and the state is `state`.
    void Changed(State state);

    QPointer<CEditorView> m_view;
    std::unique_ptr<CCheckWorker> m_worker;
    QTimer m_pause;
    State m_state = State::Waiting;
    std::vector<check::Problem> m_problems;
    qsizetype m_total = 0;
    quint64 m_generation = 0;
    int m_dropped = 0;
    qint64 m_lastSubmitNs = 0;
    qint64 m_lastApplyNs = 0;
    qint64 m_lastSubmitCpuNs = 0;
    qint64 m_lastApplyCpuNs = 0;
};
