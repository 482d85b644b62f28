#pragma once

// doc: the document, the editing pane, its load, routing, the
// seams to the user. May include pane, io and res.

#include "doc/CEditorView.h"
#include "pane/FileLoader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>
#include <optional>

class CEditorDoc;

// One file being read into a document, driven by the event loop: the file
// is read and decoded on a worker (CFileLoader), then goes into the pane at
// once or, when large, a slice each turn of the event loop. Nothing in it
// waits; whoever started it goes on when `ended` comes.
//
// Started -> Progressing (the worker reports, slices go in) -> Finished,
// Failed (reported to the user first) or Cancelled. A large file goes into
// an empty new pane directly, which a cancel empties again; any other pane
// keeps its document until the new one, filled aside, is complete.
// Meanwhile the keys and input-method text given to the pane are kept in
// order, command keys among them (a key whose command is available now,
// Esc for the cancel, runs as ever). Once the load has finished they are
// applied after the handlers of `ended`, as if typed then; otherwise they
// are dropped.
class CDocumentLoad : public QObject {
    Q_OBJECT

public:
    enum class State { Started, Progressing, Finished, Cancelled, Failed };
    enum class Result { Loaded, Failed, Cancelled };

    State GetState() const { return m_state; }
    bool IsOver() const { return m_state > State::Progressing; }
    const QString& Path() const { return m_path; }
    // Asks the load to stop; `ended` comes with Cancelled unless it has
    // already finished.
    void Cancel();

signals:
    // The load is over (the document's loadEnded came before): the caller
    // takes its steps here (the path, the recent files). The object is
    // deleted afterwards.
    void ended(CDocumentLoad::Result result);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CEditorDoc;
    CDocumentLoad(CEditorDoc& document, const QString& path, std::optional<io::Encoding> encoding);
    void Begin();
    void Report(int percent);
    void OnRead();
    void FillStep();
    void Complete();
    // Sets the pane and the document back to taking input, tells the
    // document the load is over and, without an error to report, ends it.
    void Settle(State state);
    void End(Result result);
    void Fail(FileError error);
    // Input given to the pane: kept from Begin until End.
    void HoldInput(bool hold);
    void ApplyHeldInput();

    CEditorDoc& m_document;
    QPointer<CEditorView> m_view;
    QString m_path;
    std::optional<io::Encoding> m_encoding;
    State m_state = State::Started;
    CFileLoader m_loader;
    CFileLoader::Result m_read;
    std::unique_ptr<CEditorView::SliceFill> m_fill;
    QTimer m_fillTimer;    // a slice each turn of the event loop
    QTimer m_showProgress; // progress is shown once kProgressDelayMs passed
    QElapsedTimer m_started;
    QString m_titleBefore;
    bool m_busyBefore = false;
    bool m_wasReadOnly = false;
    bool m_sliced = false;
    bool m_intoPane = false;
    bool m_cancel = false;
    int m_percent = 0;
    qsizetype m_total = 0; // characters to fill in slices
    int m_readShare = 100; // of the percent shown
    std::vector<std::unique_ptr<QEvent>> m_held; // key presses and input-method events
};
